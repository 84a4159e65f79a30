#pragma once
// The data-entry window: every row of one object in a grid, names and values edited in place and
// written to the row they came from, "delete property" for the selected row and "new property"
// for the New property dialog below its button.

#include "widgets/context.h"
#include "widgets/designedlayout.h"

#include <QTableView>
#include <QWidget>

class QPushButton;

namespace olv {

class PropertyModel;

// A table whose open editor can be finished from outside, when the window closes.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    // Hands what is being typed into a cell to the model; the editor stays open.
    void commitEditing();
    // Closes the editor, keeping nothing that was not committed.
    void closeEditing();
    // Stores what is being typed into a cell and closes the editor.
    void finishEditing();

private:
    QList<QWidget*> openEditors() const;
};

class frmDataEntry : public QWidget {
    Q_OBJECT
public:
    explicit frmDataEntry(Context& context, QWidget* parent = nullptr);

    const QString& editedObjectId() const { return m_editedObjectId; }
    // Reads the rows again and sets the column widths, e.g. after a row was added.
    void refresh();

    void cmdDeletePV_Click();
    void cmdNewPV_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    void showFailure(const QString& message);
    void sizeColumns();
    // Stores what is typed in a cell before the window closes. When the file refuses it, the
    // user is told why and chooses: false to stay with the typed text still in its cell.
    bool storeBeforeClosing();

    Context& m_ctx;
    DesignedLayout m_layout; // the designed size is the smallest
    QString m_editedObjectId;
    PropertyModel* m_model = nullptr;
    DataGrid* m_DataGrid1 = nullptr;
    QPushButton* m_cmdNewPV = nullptr;
    QPushButton* m_cmdDeletePV = nullptr;
};

} // namespace olv
