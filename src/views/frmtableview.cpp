#include "frmtableview.h"

#include "commands/csv.h"
#include "platform/prompter.h"
#include "views/aside.h"
#include "widgets/longwork.h"
#include "widgets/ui.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSet>
#include <QTableView>
#include <atomic>
#include <optional>

namespace olv {

namespace {

// Reads the table's rows on the readers' thread, on a connection of its own kept while the view
// is open; it is made without search indexes or questions, which the search saw to already.
struct TableReader {
    TableReader(QString path, std::shared_ptr<const TableLayout> layout)
        : path(std::move(path)), layout(std::move(layout)), rows(*this->layout, TableLinks::AsStored) {}
    const QString path;
    const std::shared_ptr<const TableLayout> layout;
    TableRows rows;
    std::optional<Database> db;
    std::atomic<bool> gone = false;
};

struct Block {
    QList<TableRow> rows;
    QString failure; // in words, when the file could not be read
};

// The found objects' rows, read a block at a time as the grid asks for them and kept within
// bounds; a cell not read yet is empty until its block comes. The header row is the view's fixed
// top row.
class ObjectTableModel : public QAbstractTableModel {
public:
    static constexpr int kBlock = 64;
    static constexpr int kBlocksKept = 128; // 8,192 rows

    ObjectTableModel(const QString& path, std::shared_ptr<const TableLayout> table,
                     std::function<void(const QString&)> failed, QObject* parent)
        : QAbstractTableModel(parent), m_table(table), m_headers(table->headers()),
          m_reader(std::make_shared<TableReader>(path, table)), m_failed(std::move(failed)), m_blocks(kBlocksKept) {}
    ~ObjectTableModel() override { m_reader->gone = true; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_table->ids.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_headers.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
        const int block = index.row() / kBlock;
        if (const QList<TableRow>* rows = m_blocks.object(block)) return (*rows)[index.row() % kBlock].cell(index.column());
        const_cast<ObjectTableModel*>(this)->request(block); // the cache, not the rows, changes
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= m_headers.size()) return {};
        switch (role) {
        case Qt::DisplayRole:
            return m_headers[section];
        case Qt::FontRole: {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

private:
    void request(int block) {
        if (m_asked.contains(block) || m_broken) return;
        m_asked.insert(block);
        aside::run(
            aside::readers(), this,
            [reader = m_reader, block] {
                Block read;
                if (reader->gone) return read;
                try {
                    if (!reader->db) reader->db.emplace(reader->path, Database::Indexes::Leave);
                    read.rows = reader->rows.read(*reader->db, qsizetype(block) * kBlock, kBlock);
                } catch (const StoreError& e) {
                    read.failure = e.message();
                } catch (const std::exception& e) {
                    read.failure = QStringLiteral("The table cannot be read: %1.").arg(QString::fromUtf8(e.what()));
                }
                return read;
            },
            [this, block](Block read) { arrived(block, std::move(read)); });
    }

    void arrived(int block, Block read) {
        m_asked.remove(block);
        if (!read.failure.isNull()) {
            // Said once; the cells not read stay empty.
            if (!m_broken) m_failed(read.failure);
            m_broken = true;
            return;
        }
        const int first = block * kBlock;
        const int last = first + int(read.rows.size()) - 1;
        m_blocks.insert(block, new QList<TableRow>(std::move(read.rows)));
        emit dataChanged(index(first, 0), index(last, columnCount() - 1), {Qt::DisplayRole, Qt::ToolTipRole});
    }

    std::shared_ptr<const TableLayout> m_table;
    QStringList m_headers;
    std::shared_ptr<TableReader> m_reader;
    std::function<void(const QString&)> m_failed;
    QCache<int, QList<TableRow>> m_blocks;
    QSet<int> m_asked;
    bool m_broken = false;
};

} // namespace

frmTableView::frmTableView(Context& context, TableLayout table, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_store(context.store),
      m_table(std::make_shared<const TableLayout>(std::move(table))), m_layout(this, QSize(8100, 6255)) {
    setObjectName(QStringLiteral("frmTableView"));
    setWindowTitle(QStringLiteral("Olv :: TableView"));
    setAttribute(Qt::WA_DeleteOnClose); // "Table" builds a new one each time

    // Extra room goes to the grid; "to CSV" keeps to the bottom, in the row beneath it.
    m_flxTable = m_layout.add(named(new QTableView(this), "flxTable", QStringLiteral("found objects")),
                              {0, 120, 8055, 5655}, kGrowsBoth);
    m_flxTable->setModel(new ObjectTableModel(
        m_store.path(), m_table, [this](const QString& failure) { m_ctx.prompter->error(this, failure); }, m_flxTable));
    m_flxTable->verticalHeader()->hide();
    m_flxTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_flxTable->verticalHeader()->setDefaultSectionSize(tw(240));
    m_flxTable->horizontalHeader()->setHighlightSections(false);
    m_flxTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_flxTable->setWordWrap(false);
    m_flxTable->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_flxTable->setTabKeyNavigation(false);

    m_cmdCSV = m_layout.add(named(new QPushButton(QStringLiteral("to CSV"), this), "cmdCSV"),
                            {120, 5940, 1095, 255}, kKeepsToBottom);
    m_cmdCSV->setAutoDefault(true); // Enter presses it
    connect(m_cmdCSV, &QPushButton::clicked, this, &frmTableView::cmdCSV_Click);

    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

void frmTableView::cmdCSV_Click() { saveAsCsv(this, m_ctx, m_store, *m_table); }

QString frmTableView::writtenMessage(const QString& path) {
    return QStringLiteral("CSV file written to ") + QDir::toNativeSeparators(path);
}

void frmTableView::saveAsCsv(QWidget* parent, Context& context, const Store& store, const TableLayout& table) {
    const QString path = context.prompter->saveFileName(parent, csv::kDialogTitle,
                                                        QFileInfo(Store::defaultPath()).absolutePath(),
                                                        csv::kFileName, kCsvFilter);
    if (path.isEmpty()) return; // cancelled: nothing is written, nothing said
    QString failure;
    try {
        LongWork work(parent, QStringLiteral("Writing %1 ...").arg(QDir::toNativeSeparators(path)));
        TableCommand cells(store, work.keepGoing());
        failure = csv::save(path, table, cells, [&](double share) { work.setShare(share); });
    } catch (const Cancelled&) {
        return; // called off: the file is as it was
    } catch (const StoreError& e) {
        failure = e.message();
    } catch (const std::bad_alloc&) {
        failure = QStringLiteral("There is not enough memory to finish this.");
    } catch (const std::exception& e) {
        failure = QStringLiteral("This could not be finished: %1.").arg(QString::fromUtf8(e.what()));
    }
    if (!failure.isNull()) context.prompter->error(parent, failure);
    else context.prompter->message(parent, writtenMessage(path));
}

void frmTableView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_layout.place();
}

} // namespace olv
