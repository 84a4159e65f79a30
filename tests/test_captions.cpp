// Every caption fits its designed place in every window. With OLV_SCREENSHOTS set to a folder, the
// windows are also saved there as pictures to look at.

#include "driver.h"
#include "dialogs/frmnewcollection.h"
#include "dialogs/frmnewobjectclass.h"
#include "dialogs/frmnewurl.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QStyle>

using namespace olv;
using namespace olv::test;

namespace {

// The captions of a window that do not fit their control, as "name: text".
QStringList clipped(QWidget* window) {
    QStringList bad;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window)) continue;
        QString text;
        int room = w->width();
        if (auto label = qobject_cast<QLabel*>(w)) {
            if (label->wordWrap() || label->text().isEmpty()) continue;
            text = label->text();
        } else if (auto box = qobject_cast<QCheckBox*>(w)) {
            text = box->text();
            room -= box->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                    box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        } else if (auto button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            room -= 4;
        } else {
            continue;
        }
        const QFontMetrics metrics(w->font());
        if (metrics.horizontalAdvance(QString(text).remove(QLatin1Char('&'))) > room ||
            metrics.height() > w->height())
            bad << w->objectName() + QStringLiteral(": ") + text;
    }
    return bad;
}

void save(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("OLV_SCREENSHOTS");
    if (!folder.isEmpty()) window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class CaptionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldFitEveryCaptionOfTheMainWindow() {
        MainWindowDriver d;
        d.h.add({{"OlObj20020103125301", kTOO, kClassValue}, {"OlObj20020103125301", kName, "Plant"},
                 {"OlObj20020103125302", kTOO, "OlObj20020103125301"}, {"OlObj20020103125302", kName, "Fern"},
                 {"OlObj20020103125302", "colour", "green"}});
        d.search("Fern");
        d.clickNode(d.nodeWithKey("OlObj20020103125302"));
        QCOMPARE(clipped(&d.window), QStringList());
        save(&d.window, "frmOlv");
        QMenu* menu = d.window.treeMenu();
        menu->popup(d.window.mapToGlobal(QPoint(40, 150)));
        QTRY_VERIFY(menu->isVisible());
        save(menu, "mnuT1O");
    }

    void shouldFitEveryCaptionOfTheDialogs() {
        Harness h;
        frmNewObjectClass newObject(h.ctx);
        frmNewCollection newCollection(h.ctx);
        frmNewURL newUrl(h.ctx);
        for (QWidget* w : std::initializer_list<QWidget*>{&newObject, &newCollection, &newUrl}) {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w));
            QCOMPARE(clipped(w), QStringList());
            save(w, w->objectName());
        }
    }
};

QTEST_MAIN(CaptionTest)
#include "test_captions.moc"
