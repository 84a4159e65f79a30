#include "frmtableview.h"

#include "app/ui.h"
#include "commands/csv.h"
#include "platform/prompter.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>

namespace olv {

namespace {

// The table read once; its header row is the view's fixed top row.
class ObjectTableModel : public QAbstractTableModel {
public:
    ObjectTableModel(const ObjectTable& table, QObject* parent)
        : QAbstractTableModel(parent), m_headers(table.headers()), m_rows(table.rows) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_headers.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
        return m_rows[index.row()][index.column()];
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
    QStringList m_headers;
    QList<QStringList> m_rows;
};

} // namespace

// The designed window, and the row beneath it that holds "to CSV".
const QRect kGrid(0, 120, 8055, 5655);
const QRect kCSV(120, 5940, 1095, 255);
constexpr int kWidth = 8100, kHeight = 6255;

frmTableView::frmTableView(Context& context, ObjectTable table, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_table(std::move(table)) {
    setObjectName(QStringLiteral("frmTableView"));
    setWindowTitle(QStringLiteral("Olv :: TableView"));
    setAttribute(Qt::WA_DeleteOnClose); // "Table" builds a new one each time
    // The designed size is the smallest; extra room goes to the grid.
    setMinimumSize(tw(kWidth), tw(kHeight));
    resize(minimumSize());

    m_flxTable = named(new QTableView(this), "flxTable", QStringLiteral("found objects"));
    m_flxTable->setGeometry(twRect(kGrid.x(), kGrid.y(), kGrid.width(), kGrid.height()));
    // The grid shares the table with the CSV file: they show the same cells.
    m_flxTable->setModel(new ObjectTableModel(m_table, m_flxTable));
    m_flxTable->verticalHeader()->hide();
    m_flxTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_flxTable->verticalHeader()->setDefaultSectionSize(tw(240));
    m_flxTable->horizontalHeader()->setHighlightSections(false);
    m_flxTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_flxTable->setWordWrap(false);
    m_flxTable->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_flxTable->setTabKeyNavigation(false);

    m_cmdCSV = named(new QPushButton(QStringLiteral("to CSV"), this), "cmdCSV");
    m_cmdCSV->setGeometry(twRect(kCSV.x(), kCSV.y(), kCSV.width(), kCSV.height()));
    m_cmdCSV->setAutoDefault(true); // Enter presses it
    connect(m_cmdCSV, &QPushButton::clicked, this, &frmTableView::cmdCSV_Click);

    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

void frmTableView::cmdCSV_Click() { saveAsCsv(this, m_ctx, m_table); }

QString frmTableView::writtenMessage(const QString& path) {
    return QStringLiteral("CSV file written to ") + QDir::toNativeSeparators(path);
}

void frmTableView::saveAsCsv(QWidget* parent, Context& context, const ObjectTable& table) {
    const QString path = context.prompter->saveFileName(parent, csv::kDialogTitle,
                                                        QFileInfo(Store::defaultPath()).absolutePath(),
                                                        csv::kFileName, kCsvFilter);
    if (path.isEmpty()) return; // cancelled: nothing is written, nothing said
    QString failure;
    {
        BusyCursor busy;
        failure = csv::write(path, table);
    }
    if (!failure.isNull()) context.prompter->error(parent, failure);
    else context.prompter->message(parent, writtenMessage(path));
}

void frmTableView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize extra = size() - minimumSize();
    m_flxTable->setGeometry(twRect(kGrid.x(), kGrid.y(), kGrid.width(), kGrid.height())
                                .adjusted(0, 0, extra.width(), extra.height()));
    m_cmdCSV->move(tw(kCSV.x()), tw(kCSV.y()) + extra.height());
}

} // namespace olv
