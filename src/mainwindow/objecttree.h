#pragma once
// The object tree: every node carries a key ("Result", an identifier, or a parent key, "|" and an
// identifier). A right-button press leaves the selection alone; its release asks for the menu.

#include <QHash>
#include <QTreeWidget>

namespace olv {

class ObjectTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit ObjectTree(QWidget* parent = nullptr);

    static QString keyOf(const QTreeWidgetItem* item);

    QTreeWidgetItem* node(const QString& key) const { return m_nodes.value(key); }
    // Adds a node under parent (top level when null); null when the key is already in the tree.
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& key, const QString& text);
    // Adds many nodes under parent at once, skipping keys the tree already holds.
    void addNodes(QTreeWidgetItem* parent, const QList<std::pair<QString, QString>>& keysAndTexts);
    void clearNodes();

signals:
    void nodeClicked(QTreeWidgetItem* item);
    void nodeDoubleClicked(QTreeWidgetItem* item);
    void contextMenuRequested(const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidgetItem* makeItem(const QString& key, const QString& text);
    QHash<QString, QTreeWidgetItem*> m_nodes;
};

} // namespace olv
