#include "frmdataentry.h"

#include "commands/dataentry.h"
#include "commands/search.h"
#include "frmnewpv.h"
#include "platform/clipboard.h"
#include "platform/prompter.h"
#include "propertymodel.h"
#include "widgets/controls.h"
#include "widgets/windowregistry.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QScreen>

#include <algorithm>

namespace olv {

using namespace dialogs;

QList<QWidget*> DataGrid::openEditors() const {
    QList<QWidget*> editors;
    if (state() != EditingState) return editors;
    for (QWidget* editor : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (editor->isVisible()) editors << editor;
    return editors;
}

void DataGrid::commitEditing() {
    for (QWidget* editor : openEditors()) commitData(editor);
}

void DataGrid::closeEditing() {
    for (QWidget* editor : openEditors()) closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DataGrid::finishEditing() {
    commitEditing();
    closeEditing();
}

frmDataEntry::frmDataEntry(Context& context, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_layout(this, QSize(7425, 3945)) {
    setObjectName(QStringLiteral("frmDataEntry"));
    setWindowTitle(QStringLiteral("Olv :: Data Entry"));
    setAttribute(Qt::WA_DeleteOnClose); // the next opening loads afresh

    m_model = new PropertyModel(m_ctx.store, this);
    connect(m_model, &PropertyModel::writeFailed, this, &frmDataEntry::showFailure);

    // Extra room goes to the grid; the buttons keep to the bottom.
    m_DataGrid1 = m_layout.add(named(new DataGrid(this), "DataGrid1", QStringLiteral("property rows")),
                               {0, 240, 7335, 3135}, kGrowsBoth);
    m_DataGrid1->setModel(m_model);
    m_DataGrid1->setTabKeyNavigation(false); // Tab moves on to the buttons
    m_DataGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_DataGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    m_DataGrid1->verticalHeader()->hide();
    m_DataGrid1->verticalHeader()->setDefaultSectionSize(tw(240));
    m_DataGrid1->horizontalHeader()->setHighlightSections(false);
    m_DataGrid1->setWordWrap(false);

    m_cmdNewPV = m_layout.add(addButton(this, "cmdNewPV", QStringLiteral("new property")),
                              {0, 3480, 1455, 375}, kKeepsToBottom);
    connect(m_cmdNewPV, &QPushButton::clicked, this, &frmDataEntry::cmdNewPV_Click);
    m_cmdDeletePV = m_layout.add(addButton(this, "cmdDeletePV", QStringLiteral("delete property")),
                                 {2160, 3480, 1455, 375}, kKeepsToBottom);
    connect(m_cmdDeletePV, &QPushButton::clicked, this, &frmDataEntry::cmdDeletePV_Click);

    setTabOrder(m_DataGrid1, m_cmdNewPV);
    setTabOrder(m_cmdNewPV, m_cmdDeletePV);
    m_DataGrid1->setFocus();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    Form_Load();
}

void frmDataEntry::Form_Load() {
    // A related object's key names its object after the first "|", as a node click reads it.
    m_editedObjectId = objectIdOf(m_ctx.clipboard->text());
    refresh();
}

void frmDataEntry::refresh() {
    try {
        BusyCursor busy;
        m_model->load(m_editedObjectId);
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
    }
    // Loading resets the columns.
    sizeColumns();
}

void frmDataEntry::sizeColumns() {
    // The designed widths; the value column grows with the grid.
    const int grown = std::max(0, m_DataGrid1->width() - tw(7335));
    m_DataGrid1->setColumnWidth(PropertyModel::O, 0);
    m_DataGrid1->setColumnHidden(PropertyModel::O, true);
    m_DataGrid1->setColumnWidth(PropertyModel::P, tw(2000));
    m_DataGrid1->setColumnWidth(PropertyModel::V, tw(5000) + grown);
}

void frmDataEntry::showFailure(const QString& message) {
    m_ctx.prompter->error(this, message);
    refresh();
}

void frmDataEntry::cmdDeletePV_Click() {
    m_DataGrid1->finishEditing();
    const QModelIndex current = m_DataGrid1->currentIndex();
    if (!current.isValid()) return; // no row: nothing to delete
    const StoredRow shown = m_model->storedRow(current.row());
    try {
        BusyCursor busy;
        if (DataEntryCommands(m_ctx.store).remove(shown) == DataEntryCommands::Outcome::Changed) {
            busy.release();
            m_ctx.prompter->error(this, DataEntryCommands::kChangedMeanwhile);
        }
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
    }
    refresh();
}

void frmDataEntry::cmdNewPV_Click() {
    frmNewPV* dialog = m_ctx.windows->open<frmNewPV>([this] { return new frmNewPV(m_ctx); });
    // Just below the button, at its left edge.
    dialog->move(pos() + QPoint(m_cmdNewPV->x(), m_cmdNewPV->y() + m_cmdNewPV->height()));
}

void frmDataEntry::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_layout.place();
    sizeColumns();
}

bool frmDataEntry::storeBeforeClosing() {
    const QModelIndex cell = m_DataGrid1->currentIndex();
    m_DataGrid1->commitEditing();
    const std::optional<PropertyModel::Failure> failure = m_model->takeFailure();
    if (!failure) {
        m_DataGrid1->closeEditing();
        return true;
    }
    const QString what = cell.isValid() ? m_model->storedRow(cell.row()).row.p : QString();
    const QString question =
        QStringLiteral("What you typed for \"%1\" could not be stored. %2\n\n"
                       "Close the window all the same? What you typed is then lost. Cancel keeps it "
                       "in its cell.")
            .arg(what, failure->reason);
    if (m_ctx.prompter->confirm(this, question, kAppTitle)) {
        m_DataGrid1->closeEditing();
        return true;
    }
    // Staying: back to the cell, its text as typed.
    raise();
    activateWindow();
    return false;
}

void frmDataEntry::closeEvent(QCloseEvent* event) {
    // What is being typed into a cell is stored, not dropped; when it cannot be, the user may stay.
    if (!storeBeforeClosing()) {
        event->ignore();
        return;
    }
    // The New property dialog adds to this window's object: it goes with it.
    if (frmNewPV* dialog = m_ctx.windows->find<frmNewPV>()) dialog->close();
    event->accept();
}

} // namespace olv
