#include "frmhistory.h"

#include "widgets/ui.h"
#include "platform/prompter.h"
#include "texttable.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace olv {

namespace {

const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kAsOfHint =
    QStringLiteral("Choose a change, or type a date and time, then \"show as it was\" lists the rows as they were then.");

// A date and time as typed: to the second, the minute or just the day (its start).
QDateTime typedTime(const QString& text) {
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"}) {
        const QDateTime at = QDateTime::fromString(text.simplified(), QString::fromLatin1(format));
        if (at.isValid()) return at;
    }
    return {};
}

} // namespace

frmHistory::frmHistory(Context& context, HistoryCommands::ObjectHistory history, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_store(context.store) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("Olv :: History"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(11700), tw(7200));

    m_lblObject = named(new QLabel(this), "lblObject");
    m_lblObject->setTextFormat(Qt::PlainText);

    m_lines = new TextTable({QStringLiteral("when"), QStringLiteral("property"),
                             QStringLiteral("old value → new value"), QStringLiteral("made by"),
                             QStringLiteral("user")});
    m_flxHistory = rowGrid(this, m_lines, "flxHistory", QStringLiteral("changes, newest first"));
    m_flxHistory->setColumnWidth(0, tw(1900));
    m_flxHistory->setColumnWidth(1, tw(1500));
    m_flxHistory->setColumnWidth(2, tw(3800));
    m_flxHistory->setColumnWidth(3, tw(2200));
    connect(m_flxHistory->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmHistory::selectionMoved);

    m_cmdRestore = named(new QPushButton(QStringLiteral("Restore"), this), "cmdRestore");
    m_cmdRestore->setAutoDefault(true); // Enter presses it, as Space does
    m_cmdRestore->setToolTip(QStringLiteral("Brings back the value the selected change took away"));
    connect(m_cmdRestore, &QPushButton::clicked, this, &frmHistory::cmdRestore_Click);

    auto lblAt = named(new QLabel(QStringLiteral("as it was at"), this), "lblAt");
    m_txtAsOf = named(new QLineEdit(QDateTime::currentDateTime().toString(kDateTimeFormat), this), "txtAsOf",
                      QStringLiteral("date and time"));
    m_txtAsOf->setPlaceholderText(QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    m_txtAsOf->setMinimumWidth(QFontMetrics(m_txtAsOf->font()).horizontalAdvance(QStringLiteral("8888-88-88 88:88:88  ")));
    connect(m_txtAsOf, &QLineEdit::returnPressed, this, &frmHistory::cmdShowAsOf_Click);
    lblAt->setBuddy(m_txtAsOf);
    m_cmdShowAsOf = named(new QPushButton(QStringLiteral("show as it was"), this), "cmdShowAsOf");
    m_cmdShowAsOf->setAutoDefault(true);
    connect(m_cmdShowAsOf, &QPushButton::clicked, this, &frmHistory::cmdShowAsOf_Click);

    m_lblAsOf = named(new QLabel(kAsOfHint, this), "lblAsOf");
    m_lblAsOf->setTextFormat(Qt::PlainText);
    m_asOfRows = new TextTable({QStringLiteral("property"), QStringLiteral("value")});
    m_flxAsOf = rowGrid(this, m_asOfRows, "flxAsOf", QStringLiteral("rows as they were"));
    m_flxAsOf->setColumnWidth(0, tw(2000));

    auto layout = new QVBoxLayout(this);
    layout->addWidget(m_lblObject);
    layout->addWidget(m_flxHistory, 3);
    auto restoreRow = new QHBoxLayout;
    restoreRow->addWidget(m_cmdRestore);
    restoreRow->addStretch();
    layout->addLayout(restoreRow);
    auto asOfRow = new QHBoxLayout;
    asOfRow->addWidget(lblAt);
    asOfRow->addWidget(m_txtAsOf);
    asOfRow->addWidget(m_cmdShowAsOf);
    asOfRow->addStretch();
    layout->addLayout(asOfRow);
    layout->addWidget(m_lblAsOf);
    layout->addWidget(m_flxAsOf, 2);

    setTabOrder(m_flxHistory, m_cmdRestore);
    setTabOrder(m_cmdRestore, m_txtAsOf);
    setTabOrder(m_txtAsOf, m_cmdShowAsOf);
    setTabOrder(m_cmdShowAsOf, m_flxAsOf);
    m_flxHistory->setFocus();
    fill(std::move(history));
}

void frmHistory::showHistory(const Store& store, HistoryCommands::ObjectHistory history) {
    m_store = store;
    fill(std::move(history));
}

void frmHistory::fill(HistoryCommands::ObjectHistory history) {
    const bool sameObject = history.id == m_history.id;
    m_history = std::move(history);
    m_lblObject->setText(m_history.lines.isEmpty()
                             ? QStringLiteral("The history holds no change to \"%1\" [ %2 ].").arg(m_history.name, m_history.id)
                             : QStringLiteral("Changes to \"%1\" [ %2 ], newest first:").arg(m_history.name, m_history.id));
    QList<QStringList> rows;
    rows.reserve(m_history.lines.size());
    for (const HistoryCommands::Line& l : m_history.lines) rows.push_back({l.when, l.property, l.change, l.madeBy, l.user});
    m_lines->setRows(std::move(rows));
    if (!m_history.lines.isEmpty()) m_flxHistory->setCurrentIndex(m_lines->index(0, 0));
    selectionMoved();
    if (!sameObject) {
        // What another object was like means nothing here.
        m_lblAsOf->setText(kAsOfHint);
        m_asOfRows->setRows({});
    }
}

void frmHistory::reload() {
    try {
        BusyCursor busy;
        fill(HistoryCommands(m_store).historyOf(m_history.id));
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
    }
}

int frmHistory::selectedLine() const {
    const QModelIndex current = m_flxHistory->currentIndex();
    return current.isValid() && m_flxHistory->selectionModel()->isRowSelected(current.row()) ? current.row() : -1;
}

void frmHistory::selectionMoved() {
    const int line = selectedLine();
    m_cmdRestore->setEnabled(m_history.writable && line >= 0 && m_history.lines.at(line).restorable);
    // The object as the selected change left it is one press of "show as it was" away.
    if (line >= 0) m_txtAsOf->setText(m_history.changes.at(line).at.toLocalTime().toString(kDateTimeFormat));
}

void frmHistory::cmdRestore_Click() {
    const int line = selectedLine();
    if (line < 0 || !m_cmdRestore->isEnabled()) return;
    HistoryCommands::Refusal refusal;
    try {
        BusyCursor busy;
        refusal = HistoryCommands(m_store).restore(m_history, line);
    } catch (const StoreError& e) {
        refusal = e.message();
    }
    if (!refusal.isNull()) m_ctx.prompter->error(this, refusal);
    // Either way the history is shown as it is now.
    reload();
    if (refusal.isNull()) emit changed();
}

void frmHistory::cmdShowAsOf_Click() {
    const QDateTime at = typedTime(m_txtAsOf->text());
    if (!at.isValid()) {
        m_ctx.prompter->message(this, QStringLiteral("Please type a date and time as %1, or a day as %2.")
                                          .arg(QDateTime::currentDateTime().toString(kDateTimeFormat),
                                               QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
        return;
    }
    QList<StoredRow> rows;
    try {
        BusyCursor busy;
        rows = HistoryCommands(m_store).asOf(m_history.id, at);
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
        return;
    }
    m_lblAsOf->setText(rows.isEmpty() ? QStringLiteral("\"%1\" had no rows at %2.").arg(m_history.name, at.toString(kDateTimeFormat))
                                      : QStringLiteral("\"%1\" as it was at %2:").arg(m_history.name, at.toString(kDateTimeFormat)));
    QList<QStringList> shown;
    for (const StoredRow& r : rows) shown.push_back({r.row.p, r.row.v});
    m_asOfRows->setRows(std::move(shown));
}

} // namespace olv
