// The main window's Table, Card and Report: each works on the search as it stands in the search
// box and "wildcards", with progress and Cancel.

#include "frmolv.h"

#include "commands/cards.h"
#include "commands/report.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "views/frmcardview.h"
#include "views/frmtableview.h"
#include "widgets/longwork.h"
#include "widgets/placement.h"
#include "widgets/windowregistry.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

namespace olv {

bool frmOlv::onCurrentSearch(const QString& what, const SearchWork& work) {
    const QString text = m_txtFind->text();
    const bool containing = m_chkWildCardFind->isChecked();
    return guarded([&] {
        LongWork progress(this, what);
        work(text, containing, progress.keepGoing());
    });
}

std::optional<TableLayout> frmOlv::currentTable() {
    TableLayout table;
    if (!onCurrentSearch(QStringLiteral("Building the table ..."), [&](const QString& text, bool containing, KeepGoing keepGoing) {
            table = TableCommand(m_ctx.store, std::move(keepGoing)).layout(text, containing);
        }))
        return std::nullopt;
    return table;
}

void frmOlv::cmdTableView_Click() {
    // Built anew from the search as it stands now; nothing of an open view is kept.
    if (auto open = m_ctx.windows->find<frmTableView>()) open->close();
    std::optional<TableLayout> table = currentTable();
    if (!table) return;
    m_ctx.windows->open<frmTableView>([&] { return placedBeside(new frmTableView(m_ctx, std::move(*table)), this); });
}

void frmOlv::cmdCardView_Click() {
    QStringList ids;
    if (!onCurrentSearch(QStringLiteral("Searching ..."), [&](const QString& text, bool containing, KeepGoing keepGoing) {
            ids = CardCommand(m_ctx.store, std::move(keepGoing)).find(text, containing);
        }))
        return;
    // One card view: the search as it stands now is shown in it, where the user left it. Only a
    // view made now is placed beside this window.
    if (auto open = m_ctx.windows->find<frmCardView>()) open->showCards(std::move(ids));
    m_ctx.windows->open<frmCardView>([&] {
        auto view = placedBeside(new frmCardView(m_ctx, std::move(ids)), this);
        connect(view, &frmCardView::objectChosen, this, &frmOlv::showObject);
        return view;
    });
}

void frmOlv::mnuReportCSV_Click() {
    // The table view's columns and cells, identifiers as stored.
    if (const std::optional<TableLayout> table = currentTable()) frmTableView::saveAsCsv(this, m_ctx, m_ctx.store, *table);
}

void frmOlv::mnuReportHTML_Click() {
    std::optional<Report> report;
    if (!onCurrentSearch(QStringLiteral("Reading the report ..."), [&](const QString& text, bool containing, KeepGoing keepGoing) {
            report = ReportCommand(m_ctx.store, std::move(keepGoing)).read(text, containing);
        }))
        return;
    if (!report) return; // nothing matches: no dialog, no file, no word
    const QString path = m_ctx.prompter->saveFileName(this, ReportCommand::kDialogTitle,
                                                      QFileInfo(Store::defaultPath()).absolutePath(),
                                                      ReportCommand::kFileName);
    if (path.isEmpty()) return; // cancelled: nothing is written
    QString failure;
    // The cells are read as the page is written; called off, any earlier file stays as it was.
    if (!guarded([&] {
            LongWork work(this, QStringLiteral("Writing %1 ...").arg(QDir::toNativeSeparators(path)));
            failure = ReportCommand(m_ctx.store, work.keepGoing()).save(path, *report, [&](double share) {
                work.setShare(share);
            });
        }))
        return;
    if (!failure.isNull()) {
        m_ctx.prompter->error(this, failure);
        return;
    }
    m_ctx.prompter->message(this, ReportCommand::createdMessage(path));
    m_ctx.shell->open(path);
}

} // namespace olv
