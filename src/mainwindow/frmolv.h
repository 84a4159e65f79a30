#pragma once
// The main window: search boxes, the object tree, the property grid with its previews, the menus
// and every command that starts from them. One class in several files, one for each job:
// frmolv.cpp (controls, menus, layout), frmolv_search.cpp (search, tree and the tree's menu),
// frmolv_grid.cpp, frmolv_views.cpp (Table, Card, Report), frmolv_file.cpp (File, Database,
// Help, Exit) and frmolv_history.cpp (Edit, the history's windows, Delete object); the previews
// are a pane of their own.

#include "commands/tableview.h"
#include "widgets/context.h"
#include "widgets/designedlayout.h"

#include <optional>

#include <QMainWindow>

class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;
class QTreeWidgetItem;

namespace olv {

class LongWork;
class ObjectTree;
class PreviewPane;
class SearchCommand;

class frmOlv : public QMainWindow {
    Q_OBJECT
public:
    explicit frmOlv(Context& context, QWidget* parent = nullptr);

    // Commands, named as the menu items and buttons that run them.
    void cmdFind_Click();
    void cmdFindLinkingObjects_Click();
    void mnuFileDatabase_Click();
    void mnuFileConnect_Click();
    // Uses the server database from now on, asking for the password when the server wants one
    // that libpq's own files do not give; false, with the reason shown, when it cannot be used.
    bool connectToServer(const QString& connection);
    void mnuFileImport_Click();
    void mnuFileImportServer_Click();
    void mnuFileExit_Click();
    void mnuDBStats_Click();
    void mnuDBNewObject_Click();
    void mnuDBNewCollection_Click();
    void mnuDBNewURL_Click();
    void mnuT1OAddNewObject_Click();
    void mnuT1OEditProperties_Click();
    void mnuT1OLoadLinkingObjects_Click();
    void mnuT1OCloneObject_Click();
    void mnuT1OAddNewImage_Click();
    void mnuT1OAddNewRichtextNote_Click();
    void cmdTableView_Click();
    void cmdCardView_Click();
    void mnuReportHTML_Click();
    void mnuReportCSV_Click();
    void mnuHelpAbout_Click();
    void mnuEditUndo_Click();
    void mnuEditRedo_Click();
    void mnuEditRecentlyDeleted_Click();
    void mnuT1OHistory_Click();
    void mnuT1ODeleteObject_Click();
    void mnuDBHistorySize_Click();

    void trvDATA_NodeClick(QTreeWidgetItem* node);
    // Shows the object of a node key as a click on that node does: grid, frame caption, previews
    // cleared, and the selection handed over (clipboard and CurrentObjectId).
    void showObject(const QString& key);
    void trvDATA_DblClick();
    void flxDATA_Click(int row);
    void flxDATA_DblClick(int row);

    QMenu* treeMenu() const { return m_treeMenu; }
    // Runs quit at the end of Exit instead of ending the application, for tests; none puts the
    // program's own back.
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Unloads the other windows and ends the program; false when a window chose to stay open,
    // and the program with it.
    bool exitProgram();
    void buildControls();
    void sizeGridColumns();
    void buildMenus();
    // Runs a store command, telling the user when the file cannot be used.
    bool guarded(const std::function<void()>& command);
    // Opens a server database, hearing keepGoing meanwhile, and lets go of it again.
    using OpenServer = std::function<void(const QString& connection, KeepGoing keepGoing)>;
    // Asks for a server database as Connect to Server does, then opens it as openServer does.
    std::optional<QString> askForServer(const QString& title, const OpenServer& open);
    // Opens the server database with progress and Cancel, asking for the password (under title)
    // while the server wants one; the connection that worked, password added where one was asked
    // for, or none when it failed (the reason shown) or the user gave up.
    std::optional<QString> openServer(const QString& connection, const QString& title, const OpenServer& open);
    // File, Import from a file or a server database, with progress and Cancel.
    void importFrom(const QString& source);
    // Runs work on the current search (the search box and "wildcards") with progress and
    // Cancel; false when it failed, the user told why, or was called off.
    using SearchWork = std::function<void(const QString& text, bool containing, KeepGoing keepGoing)>;
    bool onCurrentSearch(const QString& what, const SearchWork& work);
    std::optional<TableLayout> currentTable();
    bool confirmCount(qsizetype count);
    // Asks before a long listing, then lists the found objects below parent.
    void showFound(LongWork& work, SearchCommand& search, QTreeWidgetItem* parent,
                   const QString& keyPrefix, const QStringList& ids);
    // Fills the grid and the frame's caption with the object's rows: nothing when they could not
    // be read, else whether the object has any.
    std::optional<bool> showRowsOf(const QString& id);

    // Edit and the history (frmolv_history.cpp).
    QMenu* buildEditMenu(QWidget* parent);
    // Names Undo and Redo by the steps they would take, or disables them.
    void refreshEditMenu();
    // The same once the command under way is done, e.g. after a menu's command that may write.
    void refreshEditMenuSoon();
    void takeBack(bool undo);
    // After rows changed through the history: the search listed again, the object shown again,
    // the open windows that show rows read afresh.
    void showChanges();

    Context& m_ctx;
    std::optional<DesignedLayout> m_layout, m_fraLayout; // the client area's, the property frame's
    QLineEdit* m_txtFind = nullptr;
    QPushButton* m_cmdFind = nullptr;
    QCheckBox* m_chkWildCardFind = nullptr;
    ObjectTree* m_trvDATA = nullptr;
    QGroupBox* m_fraDATA = nullptr;
    QTableWidget* m_flxDATA = nullptr;
    PreviewPane* m_previews = nullptr; // Image1 and rtbNote
    QMenu* m_treeMenu = nullptr;
    QAction* m_mnuEditUndo = nullptr;
    QAction* m_mnuEditRedo = nullptr;
    QAction* m_mnuEditRecentlyDeleted = nullptr;
    std::optional<Step> m_undoStep, m_redoStep; // as Edit names them
    std::function<void()> m_quit; // none: the application ends
    bool m_exiting = false;
};

} // namespace olv
