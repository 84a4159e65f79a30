#include "frmhistorysize.h"

#include "widgets/ui.h"
#include "platform/prompter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace olv {

namespace {
const QString kDayFormat = QStringLiteral("yyyy-MM-dd");
} // namespace

frmHistorySize::frmHistorySize(Context& context, HistoryCommands::Size size, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_store(context.store) {
    setObjectName(QStringLiteral("frmHistorySize"));
    setWindowTitle(QStringLiteral("Olv :: History size"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_lblSize = named(new QLabel(this), "lblSize");
    m_lblSize->setTextFormat(Qt::PlainText);
    m_lblSize->setWordWrap(true);
    m_lblSize->setMinimumWidth(tw(7500));

    auto lblForget = named(new QLabel(QStringLiteral("forget what is older than"), this), "lblForget");
    // A month back is where one might start; the history's own times are the real clock's.
    m_txtForgetBefore = named(new QLineEdit(QDate::currentDate().addMonths(-1).toString(kDayFormat), this),
                              "txtForgetBefore", QStringLiteral("day"));
    m_txtForgetBefore->setPlaceholderText(QStringLiteral("yyyy-mm-dd"));
    connect(m_txtForgetBefore, &QLineEdit::returnPressed, this, &frmHistorySize::cmdForget_Click);
    lblForget->setBuddy(m_txtForgetBefore);
    m_cmdForget = named(new QPushButton(QStringLiteral("Forget older"), this), "cmdForget");
    m_cmdForget->setAutoDefault(true); // Enter presses it, as Space does
    connect(m_cmdForget, &QPushButton::clicked, this, &frmHistorySize::cmdForget_Click);
    auto cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
    cmdClose->setAutoDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);

    auto layout = new QVBoxLayout(this);
    layout->addWidget(m_lblSize);
    auto forgetRow = new QHBoxLayout;
    forgetRow->addWidget(lblForget);
    forgetRow->addWidget(m_txtForgetBefore);
    forgetRow->addWidget(m_cmdForget);
    forgetRow->addStretch();
    layout->addLayout(forgetRow);
    auto closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(cmdClose);
    layout->addLayout(closeRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_txtForgetBefore, m_cmdForget);
    setTabOrder(m_cmdForget, cmdClose);
    m_txtForgetBefore->setFocus();
    fill(std::move(size));
    adjustSize(); // its size is known before it is placed
}

void frmHistorySize::showSize(const Store& store, HistoryCommands::Size size) {
    m_store = store;
    fill(std::move(size));
}

void frmHistorySize::fill(HistoryCommands::Size size) {
    m_lblSize->setText(size.text(m_store.path()));
    // A file Olv may only read is measured, and nothing in it forgotten.
    m_cmdForget->setEnabled(size.history && size.writable && size.size.changes > 0);
    m_txtForgetBefore->setEnabled(m_cmdForget->isEnabled());
}

void frmHistorySize::reload() {
    try {
        BusyCursor busy;
        fill(HistoryCommands(m_store).size());
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
    }
}

void frmHistorySize::cmdForget_Click() {
    const QDate before = QDate::fromString(m_txtForgetBefore->text().trimmed(), kDayFormat);
    if (!before.isValid()) {
        m_ctx.prompter->message(this, QStringLiteral("Please type a day as %1.").arg(QDate::currentDate().toString(kDayFormat)));
        return;
    }
    if (!m_ctx.prompter->confirm(this, HistoryCommands::forgetQuestion(before), HistoryCommands::kForgetTitle)) return;
    try {
        BusyCursor busy;
        HistoryCommands(m_store).forgetBefore(before);
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
    }
    reload();
    emit changed();
}

} // namespace olv
