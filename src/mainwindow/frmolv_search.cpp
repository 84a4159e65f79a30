// The main window's search and object tree: Find, a node's click and double-click, and what the
// tree's menu does to the clicked node's object.

#include "frmolv.h"

#include "commands/dataentry.h"
#include "commands/objects.h"
#include "commands/properties.h"
#include "commands/search.h"
#include "dialogs/frmnewimage.h"
#include "dialogs/frmnewobjectclass.h"
#include "dialogs/frmrichtextnote.h"
#include "editing/frmdataentry.h"
#include "objecttree.h"
#include "platform/clipboard.h"
#include "platform/prompter.h"
#include "previewpane.h"
#include "widgets/longwork.h"
#include "widgets/placement.h"
#include "widgets/ui.h"
#include "widgets/windowregistry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTableWidget>

namespace olv {

bool frmOlv::confirmCount(qsizetype count) {
    if (!SearchCommand::asksFirst(count)) return true;
    return m_ctx.prompter->confirm(this, SearchCommand::countQuestion(count), SearchCommand::kCountTitle);
}

void frmOlv::showFound(LongWork& work, SearchCommand& search, QTreeWidgetItem* parent,
                       const QString& keyPrefix, const QStringList& ids) {
    work.pause();
    if (!confirmCount(ids.size())) return;
    m_trvDATA->addNodes(parent, search.nodes(keyPrefix, ids));
    parent->setExpanded(true);
}

void frmOlv::cmdFind_Click() {
    m_trvDATA->clearNodes();
    const QString text = m_txtFind->text();
    const bool containing = m_chkWildCardFind->isChecked();
    guarded([&] {
        LongWork work(this, QStringLiteral("Searching ..."));
        SearchCommand search(m_ctx.store, work.keepGoing());
        QTreeWidgetItem* root = m_trvDATA->addNode(nullptr, SearchCommand::kRootKey, search.rootText(text));
        showFound(work, search, root, QString(), search.find(text, containing));
    });
}

void frmOlv::cmdFindLinkingObjects_Click() {
    m_txtFind->setText(m_ctx.clipboard->text());
    cmdFind_Click();
}

void frmOlv::trvDATA_NodeClick(QTreeWidgetItem* node) { showObject(ObjectTree::keyOf(node)); }

void frmOlv::showObject(const QString& key) {
    const QString id = objectIdOf(key);
    // The selection is handed over whole or not at all.
    if (!showRowsOf(id).has_value()) return;
    m_ctx.currentObjectId = id;
    m_ctx.clipboard->setText(key);
}

std::optional<bool> frmOlv::showRowsOf(const QString& id) {
    // The previews go with the rows they came from: a picture of another object would mislead.
    m_previews->clear();
    {
        // Emptying the grid moves its current cell; that is no preview asked for.
        const QSignalBlocker quiet(m_flxDATA);
        m_flxDATA->clearContents();
        m_flxDATA->setRowCount(1);
    }
    sizeGridColumns();

    PropertyView view;
    const bool read = guarded([&] {
        BusyCursor busy;
        Database db = m_ctx.store.open();
        view = propertiesOf(db, id);
    });
    if (!read) return std::nullopt;
    if (view.caption) m_fraDATA->setTitle(*view.caption);
    m_flxDATA->setRowCount(1 + int(view.cells.size()));
    for (int r = 0; r < int(view.cells.size()); ++r) {
        for (int c = 0; c < 2; ++c) {
            auto item = new QTableWidgetItem(c == 0 ? view.cells[r].first : view.cells[r].second);
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignBottom);
            m_flxDATA->setItem(r + 1, c, item);
        }
    }
    return view.caption || !view.cells.isEmpty();
}

void frmOlv::trvDATA_DblClick() {
    m_ctx.currentObjectId = objectIdOf(m_ctx.clipboard->text());
    mnuT1OEditProperties_Click();
}

void frmOlv::mnuT1OLoadLinkingObjects_Click() {
    const QString key = m_ctx.clipboard->text();
    QTreeWidgetItem* parent = m_trvDATA->node(key);
    if (!parent) return; // the clipboard no longer holds a node of this tree
    guarded([&] {
        LongWork work(this, QStringLiteral("Looking for related objects ..."));
        SearchCommand search(m_ctx.store, work.keepGoing());
        showFound(work, search, parent, key + QLatin1Char('|'), search.related(key));
    });
}

void frmOlv::mnuT1OCloneObject_Click() {
    const bool cloned = guarded([&] {
        BusyCursor busy; // a second clone in the same second waits for the next one
        ObjectCommands(m_ctx.store, *m_ctx.clock).clone(m_ctx.clipboard->text());
    });
    if (!cloned) return;
    m_txtFind->setText(ObjectCommands::kCloneMark);
    cmdFind_Click();
}

void frmOlv::mnuT1OEditProperties_Click() {
    // An open window keeps the object it shows; it takes the clipboard's when it opens. A
    // right-click selects nothing, so before any left click there may be no object to edit.
    if (!m_ctx.windows->find<frmDataEntry>() && !standsForAnObject(objectIdOf(m_ctx.clipboard->text()))) {
        m_ctx.prompter->message(this, DataEntryCommands::kNoObject);
        return;
    }
    m_ctx.windows->open<frmDataEntry>([this] { return placedBeside(new frmDataEntry(m_ctx), this); });
}

void frmOlv::mnuT1OAddNewObject_Click() {
    // The owner is the object of the node clicked last, also when that node is a related one.
    m_ctx.ownerObjectId = objectIdOf(m_ctx.clipboard->text());
    m_ctx.windows->open<frmNewObjectClass>([this] { return new frmNewObjectClass(m_ctx); });
}

// Both dialogs write for the object that is current when their button is pressed.
void frmOlv::mnuT1OAddNewImage_Click() {
    m_ctx.windows->open<frmNewImage>([this] { return new frmNewImage(m_ctx); });
}

void frmOlv::mnuT1OAddNewRichtextNote_Click() {
    m_ctx.windows->open<frmRichTextNote>([this] { return new frmRichTextNote(m_ctx); });
}

} // namespace olv
