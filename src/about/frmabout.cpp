#include "frmabout.h"

#include "platform/prompter.h"
#include "platform/shell.h"
#include "widgets/controls.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>

namespace olv {

using namespace dialogs;

frmAbout::frmAbout(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About MyApp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(tw(5730), tw(1935));

    const QIcon icon = programIcon();
    auto picIcon = named(new QLabel(this), "picIcon", QStringLiteral("program icon"));
    picIcon->setGeometry(twRect(240, 240, 480, 480));
    QPixmap picture = icon.pixmap(picIcon->size());
    if (picture.size() != picIcon->size())
        picture = picture.scaled(picIcon->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picIcon->setPixmap(picture);

    auto lblDescription = addLabel(this, "lblDescription", QStringLiteral("Universal Database with an edge ..."),
                                   twRect(960, 240, 4530, 285));
    QFont verdana = lblDescription->font();
    verdana.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    lblDescription->setFont(verdana);
    shrinkToFit(lblDescription, lblDescription->text(), lblDescription->width());

    // Looks and acts as a link: a click, or Enter or Space once it has the focus, opens it.
    m_lblHomepage = addLabel(this, "lblHomepage", kHomepage, twRect(960, 600, 4530, 255));
    setTextColor(m_lblHomepage, kBlue);
    QFont underlined = m_lblHomepage->font();
    underlined.setUnderline(true);
    m_lblHomepage->setFont(underlined);
    m_lblHomepage->setCursor(Qt::PointingHandCursor);
    m_lblHomepage->setFocusPolicy(Qt::StrongFocus);
    m_lblHomepage->setAccessibleDescription(QStringLiteral("opens the homepage in the browser"));
    m_lblHomepage->installEventFilter(this);

    auto line = named(new QFrame(this), "Line1", QStringLiteral("separator"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(twRect(240, 1080, 5250, 30));

    auto cmdOK = addButton(this, "cmdOK", QStringLiteral("OK"), twRect(4320, 1320, 1170, 375));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    setTabOrder(cmdOK, m_lblHomepage);
    cmdOK->setFocus();

    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    Form_Load();
}

void frmAbout::Form_Load() { setWindowTitle(QStringLiteral("About ") + kAppTitle); }

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::lblHomepage_Click() {
    // As with any shell call here, a failure to open is not reported; the box stays.
    m_ctx.shell->open(m_lblHomepage->text());
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_lblHomepage) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            m_lblHomepage->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            lblHomepage_Click();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                lblHomepage_Click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace olv
