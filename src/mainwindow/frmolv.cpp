// The main window's controls, menus and layout, and the guard every command runs in. What the
// commands do is in the files beside this one: search and the tree, the grid, the views and
// reports, and the File, Database and Help menus.

#include "frmolv.h"

#include "commands/search.h"
#include "objecttree.h"
#include "platform/prompter.h"
#include "previewpane.h"
#include "widgets/designedlayout.h"
#include "widgets/ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextEdit>

namespace olv {

namespace {

QAction* addItem(QMenu* menu, const QString& caption, const char* name, bool enabled = true) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    return action;
}

QMenu* addMenu(QWidget* parent, const QString& caption, const char* name) {
    auto menu = new QMenu(caption, parent);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

// The property grid follows a clicked or keyed row up and down only: a value wider than the
// grid would otherwise scroll the names out of view.
class PropertyGrid : public QTableWidget {
public:
    using QTableWidget::QTableWidget;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override {
        const int across = horizontalScrollBar()->value();
        QTableWidget::scrollTo(index, hint);
        horizontalScrollBar()->setValue(across);
    }
};

} // namespace

frmOlv::frmOlv(Context& context, QWidget* parent) : QMainWindow(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmOlv"));
    setWindowTitle(QStringLiteral("Olv :: Olvarion"));
    buildControls();
    buildMenus();
}

void frmOlv::buildControls() {
    auto client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    // Extra room goes to the tree, the grid and the previews: half the extra width to the left
    // column, the rest to the previews; half the extra height to the tree, the rest to the grid.
    DesignedLayout& layout = m_layout.emplace(client, QSize(9345, 7560));
    setCentralWidget(client);

    m_txtFind = layout.add(named(new QLineEdit(QStringLiteral("find"), client), "txtFind", "search text"),
                           {120, 90, 2895, 285});
    selectAllOnFocus(m_txtFind);
    connect(m_txtFind, &QLineEdit::returnPressed, this, &frmOlv::cmdFind_Click);

    m_cmdFind =
        layout.add(named(new QPushButton(QStringLiteral("Find"), client), "cmdFind"), {3240, 120, 735, 255});
    connect(m_cmdFind, &QPushButton::clicked, this, &frmOlv::cmdFind_Click);

    m_chkWildCardFind = layout.add(named(new QCheckBox(QStringLiteral("wildcards"), client), "chkWildCardFind"),
                                   {3000, 480, 1095, 255});

    auto line = layout.add(named(new QFrame(client), "Line1", "separator"), {120, 840, 5175, 60},
                           {.right = Share::Half});
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    layout.add(named(new QLabel(QStringLiteral("Views"), client), "lblViews"), {120, 1000, 495, 255});

    auto cmdTreeView =
        layout.add(named(new QPushButton(QStringLiteral("Tree"), client), "cmdTreeView"), {600, 960, 600, 250});
    connect(cmdTreeView, &QPushButton::clicked, this, &frmOlv::cmdFind_Click);

    auto cmdTableView =
        layout.add(named(new QPushButton(QStringLiteral("Table"), client), "cmdTableView"), {1200, 960, 600, 250});
    connect(cmdTableView, &QPushButton::clicked, this, &frmOlv::cmdTableView_Click);

    auto cmdCardView =
        layout.add(named(new QPushButton(QStringLiteral("Card"), client), "cmdCardView"), {1920, 960, 615, 250});
    connect(cmdCardView, &QPushButton::clicked, this, &frmOlv::cmdCardView_Click);

    m_trvDATA = layout.add(named(new ObjectTree(client), "trvDATA", "object tree"), {120, 1320, 5175, 2655},
                           {.right = Share::Half, .bottom = Share::Half});
    connect(m_trvDATA, &ObjectTree::nodeClicked, this, &frmOlv::trvDATA_NodeClick);
    connect(m_trvDATA, &ObjectTree::nodeDoubleClicked, this, [this] { trvDATA_DblClick(); });
    connect(m_trvDATA, &ObjectTree::contextMenuRequested, this,
            [this](const QPoint& at) { m_treeMenu->popup(at); });

    // Named by its caption, which a node click changes to the object's class.
    m_fraDATA = layout.add(named(new QGroupBox(QStringLiteral("properties"), client), "fraDATA"),
                           {120, 4080, 5175, 3135},
                           {.top = Share::Half, .right = Share::Half, .bottom = Share::All});
    // The grid takes all the frame's extra room.
    m_flxDATA = m_fraLayout.emplace(m_fraDATA, QSize(5175, 3135))
                    .add(named(new PropertyGrid(1, 2, m_fraDATA), "flxDATA", "property grid"),
                         {120, 240, 4935, 2775}, kGrowsBoth);
    m_flxDATA->horizontalHeader()->hide();
    m_flxDATA->verticalHeader()->hide();
    m_flxDATA->verticalHeader()->setDefaultSectionSize(tw(240));
    m_flxDATA->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_flxDATA->setSelectionMode(QAbstractItemView::SingleSelection);
    m_flxDATA->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_flxDATA->setWordWrap(false);
    m_flxDATA->setTabKeyNavigation(false); // Tab moves on to the next control, not the next cell
    sizeGridColumns();
    connect(m_flxDATA, &QTableWidget::cellClicked, this, [this](int row, int) { flxDATA_Click(row); });
    // Moving through the rows with the keys previews them as clicks do.
    connect(m_flxDATA, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0 && QGuiApplication::mouseButtons() == Qt::NoButton) flxDATA_Click(row);
    });
    connect(m_flxDATA, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { flxDATA_DblClick(row); });
    m_flxDATA->installEventFilter(this);

    // Under the grid, it follows the left column's right edge and the window's bottom.
    auto cmdLinking = layout.add(
        named(new QPushButton(QStringLiteral("find related objects"), client), "cmdFindLinkingObjects"),
        {3240, 7320, 1935, 255},
        {.left = Share::Half, .top = Share::All, .right = Share::Half, .bottom = Share::All});
    connect(cmdLinking, &QPushButton::clicked, this, &frmOlv::cmdFindLinkingObjects_Click);

    // The previews take the room right of the left column, down to the bottom, and up as far as
    // the tree's top: the picture box's top (4080) rises at most to the tree's (1320), the note
    // box with it.
    m_previews = new PreviewPane(client);
    constexpr Stretch preview{
        .left = Share::Half, .right = Share::All, .bottom = Share::All, .rise = {.from = 4080, .to = 1320}};
    layout.add(m_previews->pictureBox(), {5400, 4080, 3855, 3375}, preview);
    layout.add(m_previews->noteBox(), {5400, 4200, 3855, 3135}, preview);

    // The second search pane and the two spare buttons are never in use; they are kept hidden.
    auto txtFind2 = layout.add(
        named(new QLineEdit(QStringLiteral("find"), client), "txtFind2", "second search text"), {4920, 120, 2895, 285});
    auto cmdFind2 =
        layout.add(named(new QPushButton(QStringLiteral("Find"), client), "cmdFind2"), {7920, 150, 735, 255});
    auto label1 = layout.add(named(new QLabel(QStringLiteral("use this for Drag 'n Drop"), client), "Label1"),
                             {4920, 480, 1935, 255});
    auto trvDATA2 =
        layout.add(named(new QTreeWidget(client), "trvDATA2", "second object tree"), {4920, 840, 4215, 2775});
    auto command1 =
        layout.add(named(new QPushButton(QStringLiteral("Command1"), client), "Command1"), {4440, 3600, 1215, 195});
    auto command2 =
        layout.add(named(new QPushButton(QStringLiteral("Form"), client), "Command2"), {2520, 960, 615, 250});
    for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(true); // Enter presses it
    for (QWidget* spare : std::initializer_list<QWidget*>{txtFind2, cmdFind2, label1, trvDATA2, command1, command2}) {
        spare->setEnabled(false);
        spare->hide();
    }

    setTabOrder(m_txtFind, m_cmdFind);
    setTabOrder(m_cmdFind, m_chkWildCardFind);
    setTabOrder(m_chkWildCardFind, cmdTreeView);
    setTabOrder(cmdTreeView, cmdTableView);
    setTabOrder(cmdTableView, cmdCardView);
    setTabOrder(cmdCardView, m_trvDATA);
    setTabOrder(m_trvDATA, m_flxDATA);
    setTabOrder(m_flxDATA, cmdLinking);
}

void frmOlv::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));

    QMenu* file = addMenu(bar, QStringLiteral("&File"), "mnuFile");
    connect(addItem(file, QStringLiteral("Set Database"), "mnuFileDatabase"), &QAction::triggered, this,
            &frmOlv::mnuFileDatabase_Click);
    connect(addItem(file, QStringLiteral("Connect to Server\u2026"), "mnuFileConnect"), &QAction::triggered, this,
            &frmOlv::mnuFileConnect_Click);
    connect(addItem(file, QStringLiteral("&Import"), "mnuFileImport"), &QAction::triggered, this,
            &frmOlv::mnuFileImport_Click);
    connect(addItem(file, QStringLiteral("Import from Server\u2026"), "mnuFileImportServer"), &QAction::triggered, this,
            &frmOlv::mnuFileImportServer_Click);
    connect(addItem(file, QStringLiteral("E&xit"), "mnuFileExit"), &QAction::triggered, this,
            &frmOlv::mnuFileExit_Click);
    bar->addMenu(file);
    bar->addMenu(buildEditMenu(bar));

    QMenu* db = addMenu(bar, QStringLiteral("&Database"), "mnuDB");
    QMenu* dbNew = addMenu(db, QStringLiteral("New ..."), "mnuDBNew");
    connect(addItem(dbNew, QStringLiteral("Collection"), "mnuDBNewCollection"), &QAction::triggered, this,
            &frmOlv::mnuDBNewCollection_Click);
    connect(addItem(dbNew, QStringLiteral("URL"), "mnuDBNewURL"), &QAction::triggered, this,
            &frmOlv::mnuDBNewURL_Click);
    db->addMenu(dbNew)->setObjectName(QStringLiteral("mnuDBNewAction"));
    connect(addItem(db, QStringLiteral("&New Object"), "mnuDBNewObject"), &QAction::triggered, this,
            &frmOlv::mnuDBNewObject_Click);
    connect(addItem(db, QStringLiteral("&Statistics"), "mnuDBStats"), &QAction::triggered, this,
            &frmOlv::mnuDBStats_Click);
    connect(addItem(db, QStringLiteral("History size…"), "mnuDBHistorySize"), &QAction::triggered, this,
            &frmOlv::mnuDBHistorySize_Click);
    bar->addMenu(db);

    QMenu* services = addMenu(bar, QStringLiteral("&Services"), "mnuServices");
    addItem(services, QStringLiteral("URL Extractor"), "mnuServicesURLExtractor");
    bar->addMenu(services);

    QMenu* report = addMenu(bar, QStringLiteral("&Report"), "mnuReport");
    connect(addItem(report, QStringLiteral("to HTML"), "mnuReportHTML"), &QAction::triggered, this,
            &frmOlv::mnuReportHTML_Click);
    connect(addItem(report, QStringLiteral("to CSV"), "mnuReportCSV"), &QAction::triggered, this,
            &frmOlv::mnuReportCSV_Click);
    addItem(report, QStringLiteral("to Excel Pivot"), "mnuReportExcelPivot", false);
    bar->addMenu(report);

    QMenu* help = addMenu(bar, QStringLiteral("&Help"), "mnuHelp");
    connect(addItem(help, QStringLiteral("&About"), "mnuHelpAbout"), &QAction::triggered, this,
            &frmOlv::mnuHelpAbout_Click);
    bar->addMenu(help);

    m_treeMenu = addMenu(this, QStringLiteral("Tree1Object"), "mnuT1O");
    connect(addItem(m_treeMenu, QStringLiteral("load related objects"), "mnuT1OLoadLinkingObjects"),
            &QAction::triggered, this, &frmOlv::mnuT1OLoadLinkingObjects_Click);
    m_treeMenu->addSeparator()->setObjectName(QStringLiteral("mnuT1OH3"));
    connect(addItem(m_treeMenu, QStringLiteral("CLONE object"), "mnuT1OCloneObject"), &QAction::triggered,
            this, &frmOlv::mnuT1OCloneObject_Click);
    addItem(m_treeMenu, QStringLiteral("Add new properties"), "mnuT1OAddProperties", false);
    connect(addItem(m_treeMenu, QStringLiteral("Edit properties"), "mnuT1OEditProperties"), &QAction::triggered,
            this, &frmOlv::mnuT1OEditProperties_Click);
    connect(addItem(m_treeMenu, QStringLiteral("History"), "mnuT1OHistory"), &QAction::triggered, this,
            &frmOlv::mnuT1OHistory_Click);
    connect(addItem(m_treeMenu, QStringLiteral("Delete object"), "mnuT1ODeleteObject"), &QAction::triggered,
            this, &frmOlv::mnuT1ODeleteObject_Click);
    addItem(m_treeMenu, QStringLiteral("Delete properties"), "mnuT1ODeleteProperties", false);
    m_treeMenu->addSeparator()->setObjectName(QStringLiteral("mnuT1OH1"));
    connect(addItem(m_treeMenu, QStringLiteral("Add New IMAGE"), "mnuT1OAddNewImage"), &QAction::triggered,
            this, &frmOlv::mnuT1OAddNewImage_Click);
    connect(addItem(m_treeMenu, QStringLiteral("Add New Richtext Note"), "mnuT1OAddNewRichtextNote"),
            &QAction::triggered, this, &frmOlv::mnuT1OAddNewRichtextNote_Click);
    m_treeMenu->addSeparator()->setObjectName(QStringLiteral("mnuT1OH2"));
    connect(addItem(m_treeMenu, QStringLiteral("Add New OBJECT"), "mnuT1OAddNewObject"), &QAction::triggered,
            this, &frmOlv::mnuT1OAddNewObject_Click);

    // Whatever a menu's command wrote, Undo names it at once.
    connect(bar, &QMenuBar::triggered, this, &frmOlv::refreshEditMenuSoon);
    connect(m_treeMenu, &QMenu::triggered, this, &frmOlv::refreshEditMenuSoon);

    // An open menu shows no caption of its own, yet screen readers announce it by one.
    for (QMenu* menu : findChildren<QMenu*>())
        menu->setAccessibleName(QString(menu->title()).remove(QLatin1Char('&')));
}

bool frmOlv::guarded(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
    } catch (const PatternError& e) {
        m_ctx.prompter->error(this, QStringLiteral("The search text is not a valid pattern: %1.")
                                        .arg(QString::fromUtf8(e.what())));
    } catch (const Cancelled&) {
        // The user called it off: what was shown before the work began stays.
    } catch (const std::bad_alloc&) {
        m_ctx.prompter->error(this, QStringLiteral("There is not enough memory to finish this."));
    } catch (const std::exception& e) {
        // Anything else the store or a library throws ends the command, never the program.
        m_ctx.prompter->error(this, QStringLiteral("This could not be finished: %1.").arg(QString::fromUtf8(e.what())));
    }
    return false;
}

void frmOlv::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    m_layout->place();
    m_fraLayout->place();
    sizeGridColumns();
}

} // namespace olv
