// What a new user sees first: the window's place and size with nothing saved,
// and table columns that show the list.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "app/windowlayout.h"
#include "records/columnwidths.h"
#include "records/placefile.h"
#include "records/tablemodel.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QHeaderView>
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
    // 85 % of the screen, centred, and the map at least 60 % of the width.
    void geometry()
    {
        QFETCH(QRect, available);
        const QRect window = windowlayout::firstStartGeometry(available);
        QTEST(window, "window");
        for (int wanted : {300, 640, 2000}) {
            const QList<int> sizes = windowlayout::firstStartSplitter(window.width(), wanted);
            QCOMPARE(sizes.value(0) + sizes.value(1), window.width());
            QCOMPARE(sizes.value(0), std::min(wanted, window.width() * 40 / 100));
            QVERIFY(sizes.value(1) * 10 >= window.width() * 6);
        }
        // A window that needs more than 85 % still fits and stays centred.
        const QRect wide = windowlayout::firstStartGeometry(available, QSize(1300, 700));
        QVERIFY(available.contains(wide));
        QCOMPARE(wide.center().x(), available.center().x());
        QCOMPARE(wide.width(), std::min(available.width(), std::max(1300, window.width())));
        // A window saved on a larger screen is shrunk and moved onto this one.
        const QRect big(available.right() - 100, available.bottom() - 50, 3000, 2000);
        const QRect kept = windowlayout::keptOnScreen(big, available, QSize(782, 510));
        QCOMPARE(kept, available);
        const QRect small(available.left() - 30, available.top() + 10, 800, 500);
        QCOMPARE(windowlayout::keptOnScreen(small, available), small.translated(30, 0));
    }

    void columnWidths()
    {
        const PlaceList list = parsePlaceLines(
            {"根室半島チャシ跡群ヲンネモトチャシ跡,145.7164432,43.3466,1,1,Image,11,10",
             "姫路城,134.6939,34.8394,12,2,Circle,11,10"});
        const QFontMetrics fm(QFont("IPAゴシック", 10));
        const int cap = fm.horizontalAdvance("根室半島チャシ跡群ヲンネ") + 12;
        const QVector<int> widths =
            contentColumnWidths(list, TableModel::headers(), fm, fm, 12, 24, cap);
        QCOMPARE(widths[0], cap); // the long name is cut at the cap
        QCOMPARE(widths[1], fm.horizontalAdvance("145.7164432") + 12);
        for (int c = 3; c < 8; ++c) // short values: the header decides
            QCOMPARE(widths[c], fm.horizontalAdvance(TableModel::headers()[c]) + 24);
        // Only the sample is measured.
        QCOMPARE(contentColumnWidths(list, TableModel::headers(), fm, fm, 12, 24, cap, 0)[1],
                 fm.horizontalAdvance(TableModel::headers()[1]) + 24);
    }

    void window_data()
    {
        QTest::addColumn<QString>("saved"); // the [General] lines
        QTest::newRow("nothing saved") << "";
        QTest::newRow("saved on a larger screen") << "geometry";
        QTest::newRow("widths of the user's own") << "columnWidth=\"90,40,40,40,40,40,40,40\"";
    }
    void window()
    {
        QFETCH(QString, saved);
        ProgramDirScope dir;
        PromptScope prompts;
        writeAll(dir.file("list.csv"), "根室半島チャシ跡群,145.7164,43.3466,1,1,Image,11,10\n"
                                       "姫路城,134.6939,34.8394,12,2,Circle,11,10\n");
        writeAll(dir.file("mivaromap.ini"), ("[General]\ncsv_filename=list.csv\ncache=false\n" +
                                             (saved == "geometry" ? QString() : saved))
                                                .toUtf8());
        AppSettings::instance().load();
        if (saved == "geometry") {
            // A 1500 x 900 window far right and down, as on a 4K screen.
            QWidget probe;
            probe.setGeometry(1600, 900, 1500, 900);
            AppSettings::instance().geometry = probe.saveGeometry();
        }
        keepTilesLocal();
        MivaroMap w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect screen = w.screen()->availableGeometry();
        const auto text = [](const QRect& r) {
            return QStringLiteral("%1,%2 %3x%4")
                .arg(r.x())
                .arg(r.y())
                .arg(r.width())
                .arg(r.height());
        };
        // The window's own area from its outer corner (the system's frame aside).
        const QRect placed(w.pos(), w.size());
        QVERIFY2(screen.contains(placed), qPrintable(text(placed) + " on " + text(screen)));
        if (saved.isEmpty())
            QCOMPARE(w.geometry(), windowlayout::firstStartGeometry(screen, w.minimumSizeHint()));
        const QFontMetrics fm = w.form()->tableView->fontMetrics();
        const int name = w.form()->tableView->columnWidth(0);
        if (saved.startsWith("columnWidth"))
            QCOMPARE(name, 90);
        else
            QVERIFY2(name > fm.horizontalAdvance("根室半島チャシ跡群"),
                     qPrintable(QString::number(name)));
        QCOMPARE(w.form()->tableView_2->columnWidth(0), name);
    }
};

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
