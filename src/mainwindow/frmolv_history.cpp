// The main window's Edit menu (Undo, Redo, Recently deleted), the tree's History and Delete
// object, and Database, History size. After any of them changed rows, the tree, the grid and the
// open windows show the rows as they are now.

#include "frmolv.h"

#include "widgets/longwork.h"
#include "widgets/placement.h"
#include "widgets/ui.h"
#include "widgets/windowregistry.h"
#include "commands/history.h"
#include "commands/search.h"
#include "editing/frmdataentry.h"
#include "history/frmhistory.h"
#include "history/frmhistorysize.h"
#include "history/frmrecentlydeleted.h"
#include "objecttree.h"
#include "platform/clipboard.h"
#include "platform/prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

namespace olv {

namespace {

// A text box keeps its own Undo and Redo keys: the database's are for the tree and the grid.
// (Qt lets a box claim only the keys its platform binds, so Ctrl+Y would otherwise slip past.)
class KeepsEditKeys : public QObject {
public:
    KeepsEditKeys(QObject* parent, QList<QAction*> actions) : QObject(parent), m_actions(std::move(actions)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return false;
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* action : m_actions)
            if (action->shortcuts().contains(pressed)) event->accept();
        return false;
    }

private:
    QList<QAction*> m_actions;
};

// '&' in a step's name is shown, not taken for a menu's access key.
QString asMenuText(const QString& caption) { return QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")); }

} // namespace

QMenu* frmOlv::buildEditMenu(QWidget* parent) {
    auto edit = new QMenu(QStringLiteral("&Edit"), parent);
    edit->setObjectName(QStringLiteral("mnuEdit"));
    m_mnuEditUndo = edit->addAction(QStringLiteral("Undo"));
    m_mnuEditUndo->setObjectName(QStringLiteral("mnuEditUndo"));
    m_mnuEditUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(m_mnuEditUndo, &QAction::triggered, this, &frmOlv::mnuEditUndo_Click);
    m_mnuEditRedo = edit->addAction(QStringLiteral("Redo"));
    m_mnuEditRedo->setObjectName(QStringLiteral("mnuEditRedo"));
    m_mnuEditRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(m_mnuEditRedo, &QAction::triggered, this, &frmOlv::mnuEditRedo_Click);
    edit->addSeparator()->setObjectName(QStringLiteral("mnuEditH1"));
    m_mnuEditRecentlyDeleted = edit->addAction(QStringLiteral("Recently deleted"));
    m_mnuEditRecentlyDeleted->setObjectName(QStringLiteral("mnuEditRecentlyDeleted"));
    connect(m_mnuEditRecentlyDeleted, &QAction::triggered, this, &frmOlv::mnuEditRecentlyDeleted_Click);
    connect(edit, &QMenu::aboutToShow, this, &frmOlv::refreshEditMenu);
    m_txtFind->installEventFilter(new KeepsEditKeys(m_txtFind, {m_mnuEditUndo, m_mnuEditRedo}));
    m_mnuEditUndo->setEnabled(false);
    m_mnuEditRedo->setEnabled(false);
    return edit;
}

void frmOlv::refreshEditMenu() {
    HistoryCommands::Offer offer;
    bool readable = true;
    try {
        offer = HistoryCommands(m_ctx.store).offer();
    } catch (const std::exception&) {
        // A file that cannot be used offers nothing; the command that needs it says why.
        readable = false;
    }
    m_undoStep = offer.undo;
    m_redoStep = offer.redo;
    m_mnuEditUndo->setText(asMenuText(offer.undoCaption()));
    m_mnuEditRedo->setText(asMenuText(offer.redoCaption()));
    m_mnuEditUndo->setEnabled(offer.undo.has_value());
    m_mnuEditRedo->setEnabled(offer.redo.has_value());
    m_mnuEditRecentlyDeleted->setEnabled(!readable || offer.history);
}

void frmOlv::refreshEditMenuSoon() {
    QTimer::singleShot(0, this, [this] {
        // Long work (a busy cursor shows it) still holds the file: what it writes counts too.
        if (QApplication::overrideCursor()) QTimer::singleShot(50, this, &frmOlv::refreshEditMenuSoon);
        else refreshEditMenu();
    });
}

void frmOlv::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Back from another window, or another program, Undo names what there is to undo now, so
    // that its keys work at once.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) refreshEditMenuSoon();
}

void frmOlv::mnuEditUndo_Click() { takeBack(true); }

void frmOlv::mnuEditRedo_Click() { takeBack(false); }

void frmOlv::takeBack(bool undo) {
    const std::optional<Step> step = undo ? m_undoStep : m_redoStep;
    if (!step) return;
    HistoryCommands::Refusal refusal;
    const bool done = guarded([&] {
        LongWork work(this, (undo ? QStringLiteral("Undoing %1 ...") : QStringLiteral("Redoing %1 ...")).arg(step->what));
        Database db = m_ctx.store.open(); // here: it may show the window that makes indexes
        work.runOffThread([&](const LongWork::Progress& progress) {
            refusal = undo ? HistoryCommands::undo(db, *step, progress) : HistoryCommands::redo(db, *step, progress);
        });
    });
    if (!refusal.isNull()) m_ctx.prompter->error(this, refusal);
    if (done && refusal.isNull()) showChanges();
    else refreshEditMenu();
}

void frmOlv::showChanges() {
    refreshEditMenu();
    // The search listed again, as "Tree" would list it, without asking about its length again.
    if (m_trvDATA->node(SearchCommand::kRootKey)) {
        const QString text = m_txtFind->text();
        const bool containing = m_chkWildCardFind->isChecked();
        m_trvDATA->clearNodes();
        guarded([&] {
            LongWork work(this, QStringLiteral("Searching ..."));
            SearchCommand search(m_ctx.store, work.keepGoing());
            QTreeWidgetItem* root = m_trvDATA->addNode(nullptr, SearchCommand::kRootKey, search.rootText(text));
            m_trvDATA->addNodes(root, search.nodes(QString(), search.find(text, containing)));
            root->setExpanded(true);
        });
    }
    // The object shown in the grid, as it is now; the selection handed over stays as it was.
    const QString id = m_ctx.currentObjectId;
    if (standsForAnObject(id)) {
        const std::optional<bool> hasRows = showRowsOf(id);
        if (hasRows == false) m_fraDATA->setTitle(QStringLiteral("properties")); // gone: no class to name
        const QString clicked = m_ctx.clipboard->text();
        QTreeWidgetItem* node = objectIdOf(clicked) == id && m_trvDATA->node(clicked) ? m_trvDATA->node(clicked)
                                                                                      : m_trvDATA->node(id);
        if (node) m_trvDATA->setCurrentItem(node);
    }
    // The windows that show rows; the one that made the change has read them already.
    if (auto entry = m_ctx.windows->find<frmDataEntry>()) entry->refresh();
    if (auto history = m_ctx.windows->find<frmHistory>(); history && history != sender()) history->reload();
    if (auto deleted = m_ctx.windows->find<frmRecentlyDeleted>(); deleted && deleted != sender()) deleted->reload();
    if (auto size = m_ctx.windows->find<frmHistorySize>(); size && size != sender()) size->reload();
}

void frmOlv::mnuT1OHistory_Click() {
    const QString id = objectIdOf(m_ctx.clipboard->text());
    if (!standsForAnObject(id)) {
        m_ctx.prompter->message(this, HistoryCommands::kNoObjectForHistory);
        return;
    }
    HistoryCommands::ObjectHistory history;
    if (!guarded([&] {
            BusyCursor busy;
            history = HistoryCommands(m_ctx.store).historyOf(id);
        }))
        return;
    if (!history.history) {
        m_ctx.prompter->message(this, HistoryCommands::kNoHistory);
        return;
    }
    // One History window: the object asked for now is shown in it.
    if (auto open = m_ctx.windows->find<frmHistory>()) open->showHistory(m_ctx.store, std::move(history));
    m_ctx.windows->open<frmHistory>([&] {
        auto window = placedBeside(new frmHistory(m_ctx, std::move(history)), this);
        connect(window, &frmHistory::changed, this, &frmOlv::showChanges);
        return window;
    });
}

void frmOlv::mnuT1ODeleteObject_Click() {
    const QString id = objectIdOf(m_ctx.clipboard->text());
    if (!standsForAnObject(id)) {
        m_ctx.prompter->message(this, HistoryCommands::kNoObjectToDelete);
        return;
    }
    HistoryCommands::DeleteQuestion question;
    if (!guarded([&] {
            LongWork work(this, QStringLiteral("Looking for the objects that link to it ..."));
            question = HistoryCommands(m_ctx.store).deleteQuestion(id, work.keepGoing());
        }))
        return;
    if (!question.writable) {
        m_ctx.prompter->message(this, HistoryCommands::kReadOnly);
        return;
    }
    if (question.rows.isEmpty()) {
        m_ctx.prompter->message(this, QStringLiteral("\"%1\" has no rows left, so there is nothing to delete.").arg(question.name));
        return;
    }
    if (!m_ctx.prompter->confirm(this, question.text(), HistoryCommands::kDeleteTitle)) return;
    HistoryCommands::Refusal refusal;
    guarded([&] {
        BusyCursor busy;
        refusal = HistoryCommands(m_ctx.store).deleteObject(question);
    });
    if (!refusal.isNull()) m_ctx.prompter->error(this, refusal);
    showChanges();
}

void frmOlv::mnuEditRecentlyDeleted_Click() {
    QList<HistoryCommands::DeletedEntry> entries;
    HistoryCommands::Offer offer;
    if (!guarded([&] {
            BusyCursor busy;
            HistoryCommands commands(m_ctx.store);
            offer = commands.offer();
            if (offer.history) entries = commands.recentlyDeleted();
        }))
        return;
    if (!offer.history) {
        m_ctx.prompter->message(this, HistoryCommands::kNoHistory);
        return;
    }
    if (auto open = m_ctx.windows->find<frmRecentlyDeleted>())
        open->showEntries(m_ctx.store, std::move(entries), offer.writable);
    m_ctx.windows->open<frmRecentlyDeleted>([&] {
        auto window = placedBeside(new frmRecentlyDeleted(m_ctx, std::move(entries), offer.writable), this);
        connect(window, &frmRecentlyDeleted::changed, this, &frmOlv::showChanges);
        return window;
    });
}

void frmOlv::mnuDBHistorySize_Click() {
    HistoryCommands::Size size;
    if (!guarded([&] {
            BusyCursor busy;
            size = HistoryCommands(m_ctx.store).size();
        }))
        return;
    if (auto open = m_ctx.windows->find<frmHistorySize>()) open->showSize(m_ctx.store, size);
    m_ctx.windows->open<frmHistorySize>([&] {
        auto window = placedBeside(new frmHistorySize(m_ctx, size), this);
        connect(window, &frmHistorySize::changed, this, &frmOlv::showChanges);
        return window;
    });
}

} // namespace olv
