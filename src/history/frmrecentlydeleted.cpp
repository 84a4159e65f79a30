#include "frmrecentlydeleted.h"

#include "widgets/ui.h"
#include "platform/prompter.h"
#include "texttable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace olv {

frmRecentlyDeleted::frmRecentlyDeleted(Context& context, QList<HistoryCommands::DeletedEntry> entries, bool writable,
                                       QWidget* parent)
    : QWidget(parent), m_ctx(context), m_store(context.store), m_writable(writable) {
    setObjectName(QStringLiteral("frmRecentlyDeleted"));
    setWindowTitle(QStringLiteral("Olv :: Recently deleted"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(9000), tw(4800));

    auto lblDeleted = named(new QLabel(QStringLiteral("Objects that lost all their rows, the latest first:"), this),
                            "lblDeleted");
    m_list = new TextTable({QStringLiteral("name"), QStringLiteral("class"), QStringLiteral("when"),
                            QStringLiteral("by whom")});
    m_flxDeleted = rowGrid(this, m_list, "flxDeleted", QStringLiteral("deleted objects"));
    m_flxDeleted->setColumnWidth(0, tw(2400));
    m_flxDeleted->setColumnWidth(1, tw(1600));
    m_flxDeleted->setColumnWidth(2, tw(1900));
    connect(m_flxDeleted->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmRecentlyDeleted::selectionMoved);

    m_cmdRestore = named(new QPushButton(QStringLiteral("Restore"), this), "cmdRestore");
    m_cmdRestore->setAutoDefault(true); // Enter presses it, as Space does
    m_cmdRestore->setToolTip(QStringLiteral("Brings every row of the selected object back"));
    connect(m_cmdRestore, &QPushButton::clicked, this, &frmRecentlyDeleted::cmdRestore_Click);

    auto layout = new QVBoxLayout(this);
    layout->addWidget(lblDeleted);
    layout->addWidget(m_flxDeleted, 1);
    auto buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdRestore);
    buttons->addStretch();
    layout->addLayout(buttons);

    setTabOrder(m_flxDeleted, m_cmdRestore);
    m_flxDeleted->setFocus();
    fill(std::move(entries));
}

void frmRecentlyDeleted::showEntries(const Store& store, QList<HistoryCommands::DeletedEntry> entries, bool writable) {
    m_store = store;
    m_writable = writable;
    fill(std::move(entries));
}

void frmRecentlyDeleted::fill(QList<HistoryCommands::DeletedEntry> entries) {
    m_entries = std::move(entries);
    QList<QStringList> rows;
    rows.reserve(m_entries.size());
    for (const HistoryCommands::DeletedEntry& e : m_entries) rows.push_back({e.name, e.className, e.when, e.madeBy});
    m_list->setRows(std::move(rows));
    if (!m_entries.isEmpty()) m_flxDeleted->setCurrentIndex(m_list->index(0, 0));
    selectionMoved();
}

void frmRecentlyDeleted::reload() {
    try {
        BusyCursor busy;
        fill(HistoryCommands(m_store).recentlyDeleted());
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
    }
}

int frmRecentlyDeleted::selectedEntry() const {
    const QModelIndex current = m_flxDeleted->currentIndex();
    return current.isValid() && m_flxDeleted->selectionModel()->isRowSelected(current.row()) ? current.row() : -1;
}

void frmRecentlyDeleted::selectionMoved() { m_cmdRestore->setEnabled(m_writable && selectedEntry() >= 0); }

void frmRecentlyDeleted::cmdRestore_Click() {
    const int entry = selectedEntry();
    if (entry < 0 || !m_cmdRestore->isEnabled()) return;
    HistoryCommands::Refusal refusal;
    try {
        BusyCursor busy;
        refusal = HistoryCommands(m_store).restore(m_entries.at(entry));
    } catch (const StoreError& e) {
        refusal = e.message();
    }
    if (!refusal.isNull()) m_ctx.prompter->error(this, refusal);
    reload();
    if (refusal.isNull()) emit changed();
}

} // namespace olv
