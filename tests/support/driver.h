#pragma once
// Drives the main window the way a user does: types, presses Enter, clicks nodes and grid rows.

#include "editing/frmdataentry.h"
#include "harness.h"
#include "input.h"
#include "mainwindow/frmolv.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

namespace olv::test {

// Identifiers that sort in the order they are numbered.
inline QString obj(int n) { return QStringLiteral("OlObj200201031253%1").arg(n, 2, 10, QLatin1Char('0')); }

struct MainWindowDriver {
    Harness h;
    frmOlv window{h.ctx};
    bool quitCalled = false;

    MainWindowDriver() {
        h.windows.add(&window);
        window.setQuit([this] { quitCalled = true; });
        window.show();
        (void)QTest::qWaitForWindowActive(&window);
    }

    template <class T> T* child(const char* name) const {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* txtFind() const { return child<QLineEdit>("txtFind"); }
    QTreeWidget* tree() const { return child<QTreeWidget>("trvDATA"); }
    QTableWidget* grid() const { return child<QTableWidget>("flxDATA"); }
    QAction* action(const char* name) const { return child<QAction>(name); }

    // Keys go where the focus is, as from the keyboard (input.h).
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { test::press(key, modifiers); }
    static void typeKeys(const QString& text) { test::typeKeys(text); }

    // Clicks into the search box and types over what it holds (Ctrl+A, as the box may have had
    // the focus already).
    void typeFind(const QString& text) {
        window.activateWindow(); // the user's click brings the window to the front
        (void)QTest::qWaitForWindowActive(&window);
        typeInto(txtFind(), text);
    }
    // Ticks or clears "wildcards" with a click, types the search text and presses Enter.
    void search(const QString& text, bool wildcards = false) {
        auto tick = child<QCheckBox>("chkWildCardFind");
        if (tick->isChecked() != wildcards)
            QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(5, tick->height() / 2));
        typeFind(text);
        press(Qt::Key_Return);
    }

    QTreeWidgetItem* root() const { return tree()->topLevelItemCount() ? tree()->topLevelItem(0) : nullptr; }

    // The texts (or keys) of a node's children, in order.
    QStringList childTexts(QTreeWidgetItem* node, int role = Qt::DisplayRole) const {
        QStringList texts;
        for (int i = 0; node && i < node->childCount(); ++i) texts << node->child(i)->data(0, role).toString();
        return texts;
    }
    QStringList childKeys(QTreeWidgetItem* node) const { return childTexts(node, Qt::UserRole); }
    QTreeWidgetItem* nodeWithKey(const QString& key) const {
        for (QTreeWidgetItemIterator it(tree()); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toString() == key) return *it;
        return nullptr;
    }

    void clickNode(QTreeWidgetItem* node, Qt::MouseButton button = Qt::LeftButton) {
        tree()->scrollToItem(node);
        QTest::mouseClick(tree()->viewport(), button, {}, tree()->visualItemRect(node).center());
    }
    void doubleClickNode(QTreeWidgetItem* node) {
        const QPoint at = tree()->visualItemRect(node).center();
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, at);
    }

    // The grid as the user reads it: one "property|value" entry per row, the empty first row too.
    QStringList gridRows() const {
        QStringList rows;
        for (int r = 0; r < grid()->rowCount(); ++r) {
            auto cell = [&](int c) { return grid()->item(r, c) ? grid()->item(r, c)->text() : QString(); };
            rows << cell(0) + QLatin1Char('|') + cell(1);
        }
        return rows;
    }
    QString frameCaption() const { return child<QGroupBox>("fraDATA")->title(); }

    // Changes one value of an object in its data-entry window as the user types it: a double
    // click on the object's node opens the window, a double click on the value edits it.
    void editValue(const QString& id, const QString& property, const QString& value) {
        doubleClickNode(nodeWithKey(id));
        frmDataEntry* entry = h.windows.find<frmDataEntry>();
        QVERIFY(entry && QTest::qWaitForWindowActive(entry));
        auto grid = entry->findChild<QTableView*>("DataGrid1");
        int row = 0;
        while (grid->model()->index(row, 1).data().toString() != property) ++row;
        const QPoint cell = grid->visualRect(grid->model()->index(row, 2)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTRY_VERIFY(QApplication::focusWidget() && grid->viewport()->isAncestorOf(QApplication::focusWidget()));
        press(Qt::Key_A, Qt::ControlModifier);
        typeKeys(value);
        press(Qt::Key_Return);
        QTRY_VERIFY(!grid->viewport()->isAncestorOf(QApplication::focusWidget()));
        entry->close();
    }

    void clickGridRow(int row, bool twice = false) {
        const QRect cell = grid()->visualRect(grid()->model()->index(row, 1));
        const QPoint at(cell.left() + 5, cell.center().y());
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
    }
};

} // namespace olv::test
