// What a new user sees first: the window's place and size, and columns that show the list.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "app/windowlayout.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QScreen>
#include <QtTest>

class TestFirstStart : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initMivaroMapResources(); }

    void geometry_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("window");
        QTest::newRow("1920 x 1080") << QRect(0, 0, 1920, 1080) << QRect(144, 81, 1632, 918);
        QTest::newRow("1366 x 768") << QRect(0, 0, 1366, 768) << QRect(102, 58, 1161, 652);
        QTest::newRow("second screen, panel on top")
            << QRect(1920, 32, 1366, 736) << QRect(2022, 87, 1161, 625);
    }
    // 85 % of the screen, centred, the map at least 60 % of the width; a window
    // saved on a larger screen is shrunk and moved onto this one.
    void geometry()
    {
        QFETCH(QRect, available);
        const QRect window = windowlayout::firstStartGeometry(available);
        QTEST(window, "window");
        for (int wanted : {300, 640, 2000}) {
            const QList<int> sizes = windowlayout::firstStartSplitter(window.width(), wanted);
            QCOMPARE(sizes.value(0), std::min(wanted, window.width() * 40 / 100));
            QCOMPARE(sizes.value(1), window.width() - sizes.value(0));
        }
        const QRect big(available.right() - 100, available.bottom() - 50, 3000, 2000);
        QCOMPARE(windowlayout::keptOnScreen(big, available, QSize(782, 510)), available);
        const QRect shifted(available.left() - 30, available.top() + 10, 800, 500);
        QCOMPARE(windowlayout::keptOnScreen(shifted, available), shifted.translated(30, 0));
    }

    // On the offscreen screen, nothing saved: columns fitted to the list (saved widths
    // are read in tst_mainwindow).
    void window()
    {
        ProgramDirScope dir;
        PromptScope prompts;
        writeAll(dir.file("list.csv"), "根室半島チャシ跡群,145.7164,43.3466,1,1,Image,11,10\n");
        writeAll(dir.file("mivaromap.ini"), "[General]\ncache=false\ncsv_filename=list.csv\n");
        AppSettings::instance().load();
        keepTilesLocal();
        MivaroMap w;
        const QRect screen = w.screen()->availableGeometry();
        QCOMPARE(w.geometry(), windowlayout::firstStartGeometry(screen, w.minimumSizeHint()));
        const int name = w.form()->tableView->columnWidth(0);
        const int text = w.form()->tableView->fontMetrics().horizontalAdvance("根室半島チャシ跡群");
        QVERIFY2(name > text, qPrintable(QString::number(name)));
        QCOMPARE(w.form()->tableView_2->columnWidth(0), name);
    }
};

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
