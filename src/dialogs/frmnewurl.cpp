#include "frmnewurl.h"

#include "commands/objects.h"
#include "platform/downloader.h"
#include "platform/prompter.h"
#include "text/pagetitle.h"
#include "widgets/controls.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

namespace olv {

using namespace dialogs;

namespace {

const QString kRequired = QStringLiteral("required");
const QString kAddressStart = QStringLiteral("http://www.");
constexpr qint64 kPageBytes = 1024 * 1024; // a title sits near the top of a page

// The address a drag from a browser carries: its link, or else its plain text.
QString droppedAddress(const QMimeData* data) {
    if (data->hasUrls() && !data->urls().isEmpty()) return data->urls().constFirst().toString();
    if (!data->hasText()) return {};
    // A one-line box holds one address: the first line of a dragged selection.
    const QStringList lines =
        data->text().split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constFirst();
}

// The address box: a dropped address replaces what it held, and an empty box starts an
// address when it receives the focus.
class AddressBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override {
        // Tabbing in must not select the address: the box keeps its caret.
        const Qt::FocusReason reason = event->reason();
        const bool selectsAll = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                                reason == Qt::ShortcutFocusReason;
        QFocusEvent plain(QEvent::FocusIn, selectsAll ? Qt::OtherFocusReason : reason);
        QLineEdit::focusInEvent(&plain);
        if (!text().isEmpty()) return;
        setText(kAddressStart);
        // Again after the mouse press that gave the focus has placed the caret.
        QTimer::singleShot(0, this, [this] {
            if (text() == kAddressStart && !hasSelectedText())
                setCursorPosition(int(kAddressStart.size()));
        });
        event->accept();
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (droppedAddress(event->mimeData()).isEmpty())
            event->ignore();
        else
            event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        if (droppedAddress(event->mimeData()).isEmpty())
            event->ignore();
        else
            event->acceptProposedAction();
    }
    void dropEvent(QDropEvent* event) override {
        const QString address = droppedAddress(event->mimeData());
        if (address.isEmpty()) {
            event->ignore();
            return;
        }
        setText(address);
        event->acceptProposedAction();
        // Ready for the Enter that loads the title.
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
};

} // namespace

frmNewURL::frmNewURL(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmNewURL"));
    setWindowTitle(QStringLiteral("Olv - New URL"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(6300), tw(2490));

    auto lblOnTop = addLabel(this, "lblOnTop",
                             QStringLiteral("This form stays on top for browser drag 'n drop"),
                             twRect(0, 0, 3375, 255), tw(6300));
    setTextColor(lblOnTop, kLightGreen);
    // The light green caption needs a dark ground to be readable.
    QPalette ground = lblOnTop->palette();
    ground.setColor(QPalette::Window, QColor(64, 64, 64));
    lblOnTop->setPalette(ground);
    lblOnTop->setAutoFillBackground(true);
    addLabel(this, "lblDragDrop",
             QStringLiteral("Drag 'n Drop address into URL, then press ENTER to load Title, ..."),
             twRect(1320, 255, 4935, 255));

    addLabel(this, "lblURL", QStringLiteral("URL"), twRect(840, 510, 375, 255));
    m_txtURL = named(new AddressBox(this), "txtURL", QStringLiteral("URL"));
    m_txtURL->setGeometry(twRect(1320, 480, 4935, 285));
    m_txtURL->setAcceptDrops(true);
    connect(m_txtURL, &QLineEdit::returnPressed, this, &frmNewURL::txtURL_KeyPress);

    auto lblName = addLabel(this, "lblName", QStringLiteral("Name"), twRect(720, 870, 495, 255));
    setTextColor(lblName, kRed);
    m_txtName =
        addBox(this, "txtName", kRequired, QStringLiteral("name"), twRect(1320, 840, 4935, 285));
    setTextColor(m_txtName, kRed);
    addLabel(this, "lblTopic", QStringLiteral("Topic"), twRect(720, 1230, 495, 255));
    m_txtTopic = addBox(this, "txtTopic", QStringLiteral("e.g. Formula 1"), QStringLiteral("topic"),
                        twRect(1320, 1200, 4935, 285));
    addLabel(this, "lblDescription", QStringLiteral("Description"), twRect(120, 1590, 1095, 255));
    m_txtDescription = addBox(this, "txtDescription", QStringLiteral("e.g. realtime news "),
                              QStringLiteral("description"), twRect(1320, 1560, 4935, 285));
    auto cmdAdd =
        addButton(this, "cmdAdd", QStringLiteral("add this URL"), twRect(1320, 2040, 1575, 375));
    connect(cmdAdd, &QPushButton::clicked, this, &frmNewURL::cmdAdd_Click);

    lblName->setBuddy(m_txtName);
    for (QLineEdit* box : {m_txtName, m_txtTopic, m_txtDescription})
        selectAllOnFocus(box);

    setTabOrder(m_txtURL, m_txtName);
    setTabOrder(m_txtName, m_txtTopic);
    setTabOrder(m_txtTopic, m_txtDescription);
    setTabOrder(m_txtDescription, cmdAdd);
    m_txtURL->setFocus();
    Form_Load();
}

frmNewURL::~frmNewURL() = default;

void frmNewURL::Form_Load() {
    // Above the browser the address is dragged from, out of its way in the corner.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    const QScreen* screen = this->screen();
    if (screen) move(screen->availableGeometry().topLeft());
}

void frmNewURL::txtURL_KeyPress() {
    if (fetching()) return; // one page at a time
    const QString address = m_txtURL->text();
    const QUrl url(address);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) return;

    m_page =
        std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/olv-page-XXXXXX.htm"));
    if (!m_page->open()) {
        m_page.reset();
        return; // no room for the page: the title stays as it is
    }
    m_page->close(); // the name is kept; the downloader writes through its own handle
    m_busy.emplace();
    QPointer<frmNewURL> self(this);
    m_ctx.downloader->download(url, m_page->fileName(),
                               [self](bool ok, const QByteArray& contentType) {
                                   if (self) self->pageArrived(ok, contentType);
                               });
}

void frmNewURL::pageArrived(bool ok, const QByteArray& contentType) {
    QString title;
    if (ok && m_page) {
        QFile page(m_page->fileName());
        // The server's charset outranks what the page says about itself.
        if (page.open(QIODevice::ReadOnly)) title = pageTitle(page.read(kPageBytes), contentType);
    }
    m_page.reset();
    // A failed download or a page without a title leaves the name as it was, without a word.
    if (!title.isEmpty()) m_txtName->setText(title);
    m_busy.reset();
    emit fetchFinished();
}

void frmNewURL::cmdAdd_Click() {
    ObjectCommands::Outcome outcome;
    try {
        BusyCursor busy; // the class and the link, made in one go, are a second apart
        outcome = ObjectCommands(m_ctx.store, *m_ctx.clock)
                      .newURL(m_txtURL->text(), m_txtName->text(), m_txtTopic->text(), m_txtDescription->text());
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
        return;
    }
    if (outcome == ObjectCommands::Outcome::Made) m_ctx.prompter->message(this, QStringLiteral("URL added"));
}

} // namespace olv
