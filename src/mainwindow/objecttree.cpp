#include "objecttree.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace olv {

ObjectTree::ObjectTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Not sent for a click on a node's expand arrow, which only opens or closes the node.
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { emit nodeClicked(item); });
}

QString ObjectTree::keyOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

QTreeWidgetItem* ObjectTree::makeItem(const QString& key, const QString& text) {
    auto item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, Qt::UserRole, key);
    m_nodes.insert(key, item);
    return item;
}

QTreeWidgetItem* ObjectTree::addNode(QTreeWidgetItem* parent, const QString& key, const QString& text) {
    if (m_nodes.contains(key)) return nullptr;
    QTreeWidgetItem* item = makeItem(key, text);
    if (parent) parent->addChild(item);
    else addTopLevelItem(item);
    return item;
}

void ObjectTree::addNodes(QTreeWidgetItem* parent, const QList<std::pair<QString, QString>>& keysAndTexts) {
    QList<QTreeWidgetItem*> items;
    items.reserve(keysAndTexts.size());
    for (const auto& [key, text] : keysAndTexts)
        if (!m_nodes.contains(key)) items << makeItem(key, text);
    parent->addChildren(items);
}

void ObjectTree::clearNodes() {
    m_nodes.clear();
    clear();
}

void ObjectTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) return; // the selection stays on the last left click
    QTreeWidget::mousePressEvent(event);
}

void ObjectTree::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit contextMenuRequested(event->globalPosition().toPoint());
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void ObjectTree::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    QTreeWidget::mouseDoubleClickEvent(event);
    if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) emit nodeDoubleClicked(item);
}

void ObjectTree::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() & Qt::ShiftModifier)) {
        const QRect r = visualItemRect(currentItem());
        emit contextMenuRequested(viewport()->mapToGlobal(r.isValid() ? r.center() : QPoint(0, 0)));
        return;
    }
    QTreeWidgetItem* before = currentItem();
    QTreeWidget::keyPressEvent(event);
    // Moving through the tree with the keys shows each node as a click would.
    if (currentItem() && currentItem() != before) emit nodeClicked(currentItem());
    else if (currentItem() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        emit nodeDoubleClicked(currentItem());
}

} // namespace olv
