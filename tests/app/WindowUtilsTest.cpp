#include "app/WindowUtils.h"

#include "common/DataFolder.h"

#include <QtTest>

// Placeholder filled in below.
class WindowUtilsTest : public QObject {
    Q_OBJECT

private slots:
    void placementSectionUsesClassName() {
        QWidget form;
        QVERIFY(PlacementSection(&form).startsWith("QWidget_Placement"));
    }
};

QTEST_MAIN(WindowUtilsTest)
#include "WindowUtilsTest.moc"
