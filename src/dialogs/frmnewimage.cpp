#include "frmnewimage.h"

#include "commands/links.h"
#include "platform/picture.h"
#include "platform/prompter.h"
#include "widgets/controls.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QThreadPool>

namespace olv {

using namespace dialogs;

frmNewImage::frmNewImage(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmNewImage"));
    setWindowTitle(QStringLiteral("Olv - Add Image Link"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(6360), tw(5040));

    m_picPreview = named(new QLabel(this), "picPreview", QStringLiteral("picture preview"));
    m_picPreview->setGeometry(twRect(240, 840, 6015, 3255));
    m_picPreview->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_picPreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto cmdAdd = addButton(this, "cmdAdd", QStringLiteral("Add Image Link"), twRect(240, 4560, 2055, 375));
    connect(cmdAdd, &QPushButton::clicked, this, &frmNewImage::cmdAdd_Click);
    auto cmdOpen = addButton(this, "cmdOpen", QStringLiteral("select image"), twRect(3240, 480, 2055, 255));
    connect(cmdOpen, &QPushButton::clicked, this, &frmNewImage::cmdOpen_Click);
    m_txtProperty = addBox(this, "txtProperty", QStringLiteral("property"), QStringLiteral("property name"),
                           twRect(240, 450, 2895, 285));
    selectAllOnFocus(m_txtProperty);
    m_lblImageLink = addLabel(this, "lblImageLink", QStringLiteral("..."), twRect(240, 4200, 6015, 255));
    m_lblImageLink->setTextFormat(Qt::PlainText); // a file name is never markup
    addLabel(this, "lblProperty", QStringLiteral("set a property name with the image, e.g. ' front detail '"),
             twRect(240, 120, 3855, 255), tw(240 + 6015))
        ->setBuddy(m_txtProperty);

    setTabOrder(m_txtProperty, cmdOpen);
    setTabOrder(cmdOpen, cmdAdd);
    m_txtProperty->setFocus();
}

void frmNewImage::cmdOpen_Click() {
    const QString chosen =
        m_ctx.prompter->openFileName(this, QStringLiteral("please select an image"), QDir::homePath(), QString(),
                                     QStringLiteral("Pictures (*.bmp;*.gif;*.jpg)"));
    if (chosen.isEmpty()) return; // cancelled: the picture chosen before stays
    m_lblImageLink->setText(chosen);
    m_lblImageLink->setToolTip(chosen); // a long path is cut off at the label's end
    if (!LinkCommands::isImagePath(chosen)) {
        // Not shown as if it could be linked: the add button would refuse it.
        ++m_previewAsked;
        m_picPreview->clear();
        m_ctx.prompter->message(this, LinkCommands::kNotAnImage);
        return;
    }
    showPreview(chosen);
}

void frmNewImage::showPreview(const QString& path) {
    const int asked = ++m_previewAsked;
    m_picPreview->clear(); // the picture chosen before is not this one
    // A photo of many megapixels takes a while even at the preview's size; the window stays
    // usable meanwhile, and is not kept waiting when closed.
    QPointer<frmNewImage> self(this);
    const QSize room = m_picPreview->contentsRect().size();
    QThreadPool::globalInstance()->start([self, path, room, asked] {
        const QImage picture = readPictureWithin(path, room);
        QMetaObject::invokeMethod(
            qApp, [self, asked, picture] { if (self) self->previewRead(asked, picture); }, Qt::QueuedConnection);
    });
}

void frmNewImage::previewRead(int asked, const QImage& picture) {
    if (asked != m_previewAsked) return; // another file was chosen since
    // A file that is no picture this program can show leaves the preview empty.
    if (picture.isNull()) m_picPreview->clear();
    else m_picPreview->setPixmap(QPixmap::fromImage(picture));
}

void frmNewImage::cmdAdd_Click() {
    LinkCommands::Outcome outcome;
    try {
        outcome = LinkCommands(m_ctx.store).addImage(m_ctx.currentObjectId, m_txtProperty->text(),
                                                     m_lblImageLink->text());
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
        return;
    }
    if (outcome == LinkCommands::Outcome::NoObject)
        m_ctx.prompter->message(this, LinkCommands::kNoObjectForImage);
    else if (outcome == LinkCommands::Outcome::NotAnImage)
        m_ctx.prompter->message(this, m_lblImageLink->text() == u"..." ? LinkCommands::kNoPictureChosen
                                                                       : LinkCommands::kNotAnImage);
}

} // namespace olv
