#include "previewpane.h"

#include "platform/picture.h"
#include "text/rtf.h"
#include "widgets/ui.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>
#include <QThreadPool>

#include <algorithm>
#include <memory>

namespace olv {

PreviewPane::PreviewPane(QWidget* parent) : QObject(parent) {
    setObjectName(QStringLiteral("previews"));
    m_noteReaders = new QThreadPool(this);
    m_noteReaders->setObjectName(QStringLiteral("noteReaders"));
    m_noteReaders->setMaxThreadCount(2); // a later note need not wait for a long one before it

    m_Image1 = named(new QLabel(parent), "Image1", "picture preview");
    m_Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_Image1->hide();
    m_Image1->installEventFilter(this);

    m_rtbNote = named(new QTextEdit(parent), "rtbNote", "note preview");
    m_rtbNote->setReadOnly(true);
    m_rtbNote->hide();
}

PreviewPane::~PreviewPane() {
    // Reads still under way report back to the pane: wait for them, and take what they bring
    // so that nothing is left behind.
    ++m_noteWanted;
    m_noteReaders->clear();
    m_noteReaders->waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void PreviewPane::clear() {
    hidePicture();
    hideNote();
}

void PreviewPane::showPicture(const QString& path) {
    // Never kept larger than the screen, whichever way round it is shown.
    const QSize screen = m_Image1->screen()->availableSize();
    const int most = std::max(screen.width(), screen.height());
    // One that cannot be read leaves the box as it was, shown: with the picture it had, which
    // after a click on any other row is none.
    if (QImage read = readPictureWithin(path, QSize(most, most)); !read.isNull()) {
        m_picture = std::move(read);
        fitPicture();
    }
    m_Image1->show();
}

void PreviewPane::hidePicture() {
    m_Image1->clear();
    m_picture = QImage();
    m_Image1->hide();
}

void PreviewPane::fitPicture() {
    if (m_picture.isNull()) {
        m_Image1->clear();
        return;
    }
    // Shown as it is, or shrunk to the room there is.
    QPixmap picture = QPixmap::fromImage(m_picture);
    if (picture.width() > m_Image1->width() || picture.height() > m_Image1->height())
        picture = picture.scaled(m_Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_Image1->setPixmap(picture);
}

bool PreviewPane::eventFilter(QObject* watched, QEvent* event) {
    // Fitted again when the window gives the box more room or less.
    if (watched == m_Image1 && event->type() == QEvent::Resize && m_Image1->isVisible()) fitPicture();
    return QObject::eventFilter(watched, event);
}

void PreviewPane::hideNote() {
    ++m_noteWanted; // a note still being read is no longer wanted
    m_noteReaders->clear();
    m_rtbNote->clear();
    m_rtbNote->setPlaceholderText(QString());
    m_rtbNote->hide();
}

void PreviewPane::readNote(const QString& path) {
    hideNote();
    const quint64 wanted = m_noteWanted;
    // Read beside the window, which keeps painting and answering meanwhile: a note may be as
    // long as 64 MB. The box shows that it is coming.
    m_rtbNote->setPlaceholderText(QStringLiteral("Reading the note ..."));
    m_rtbNote->show();
    m_noteReaders->start([this, path, wanted, font = m_rtbNote->font(), home = thread()] {
        // Read into a document of its own and handed over whole: the box then lays out only
        // what it shows and the rest a piece at a time, so a long note opens at once.
        auto doc = new QTextDocument;
        doc->setDefaultFont(font);
        const bool read = rtf::load(path, *doc);
        doc->moveToThread(home);
        QMetaObject::invokeMethod(this, [this, wanted, doc, read] { noteRead(wanted, doc, read); },
                                  Qt::QueuedConnection);
    });
}

void PreviewPane::noteRead(quint64 wanted, QTextDocument* doc, bool read) {
    std::unique_ptr<QTextDocument> owned(doc);
    // A later click asked for another note, or for none.
    if (wanted != m_noteWanted) return;
    m_rtbNote->setPlaceholderText(QString());
    // A note that cannot be read leaves the box empty and hidden.
    if (!read) {
        m_rtbNote->hide();
        return;
    }
    // The box deletes its first document itself; later ones are ours.
    owned.release()->setParent(m_rtbNote);
    QTextDocument* shown = m_rtbNote->document();
    const bool ours = shown->parent() == m_rtbNote;
    m_rtbNote->setDocument(doc);
    if (ours) delete shown;
}

} // namespace olv
