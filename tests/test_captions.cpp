// Every caption fits its designed place in every window. With OLV_SCREENSHOTS set to a folder, the
// windows are also saved there as pictures to look at.

#include "dialogs/frmnewcollection.h"
#include "dialogs/frmnewobjectclass.h"
#include "dialogs/frmnewurl.h"
#include "driver.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>

using namespace olv;
using namespace olv::test;

namespace {

// The captions of a window's labels and buttons that do not fit their control.
QStringList clipped(QWidget* window) {
    QStringList bad;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        auto label = qobject_cast<QLabel*>(w);
        auto button = qobject_cast<QAbstractButton*>(w);
        const QString text = QString(label ? label->text() : button ? button->text() : QString()).remove('&');
        // A check box's caption sits beside its box.
        const int room = w->width() - (w->inherits("QCheckBox") ? 20 : button ? 4 : 0);
        const QFontMetrics metrics(w->font());
        if (w->isVisibleTo(window) && !text.isEmpty() &&
            (metrics.horizontalAdvance(text) > room || metrics.height() > w->height()))
            bad << w->objectName() + QStringLiteral(": ") + text;
    }
    return bad;
}

void check(QWidget* window, const QString& name) {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(clipped(window), QStringList());
    if (const QString folder = qEnvironmentVariable("OLV_SCREENSHOTS"); !folder.isEmpty())
        window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class CaptionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldFitEveryCaption() {
        MainWindowDriver d;
        d.h.add({{obj(1), kTOO, kClassValue}, {obj(1), kName, "Plant"}, {obj(2), kTOO, obj(1)},
                 {obj(2), kName, "Fern"}, {obj(2), "colour", "green"}});
        d.search("Fern");
        d.clickNode(d.nodeWithKey(obj(2)));
        check(&d.window, "frmOlv");
        d.window.treeMenu()->popup(d.window.mapToGlobal(QPoint(40, 150)));
        check(d.window.treeMenu(), "mnuT1O");
        frmNewObjectClass newObject(d.h.ctx);
        frmNewCollection newCollection(d.h.ctx);
        frmNewURL newUrl(d.h.ctx);
        for (QWidget* w : std::initializer_list<QWidget*>{&newObject, &newCollection, &newUrl})
            check(w, w->objectName());
    }
};

QTEST_MAIN(CaptionTest)
#include "test_captions.moc"
