// The distance between two map points and what each press does to a
// measurement under way.

#include "map/distance.h"
#include "resources/resources.h"

#include <QtTest>

#include <cmath>

using qmapcontrol::PointWorldCoord;
using Action = distance::Measurement::Action;

class TestDistance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initMivaroMapResources(); }
    void greatCircle_data()
    {
        QTest::addColumn<PointWorldCoord>("a");
        QTest::addColumn<PointWorldCoord>("b");
        QTest::addColumn<QString>("label");
        const auto row = [](const char* name, double ax, double ay, double bx, double by,
                            const char* label) {
            QTest::newRow(name) << PointWorldCoord(ax, ay) << PointWorldCoord(bx, by)
                                << QString(label);
        };
        row("Edo to Osaka", 139.7528, 35.6852, 135.5259, 34.6873, "399.797 km");
        row("not symmetric in x and y", 10, 20, 30, 40, "2927.385 km");
        row("one degree north", 0, 0, 0, 1, "111.195 km");
        // For these the cosine comes out a hair past +-1.
        row("same spot", 135.0, 2.5, 135.0, 2.5, "0.000 km");
        row("antipodes", -180.0, 2.5, 0.0, -2.5, "20015.087 km");
    }
    void greatCircle()
    {
        QFETCH(PointWorldCoord, a);
        QFETCH(PointWorldCoord, b);
        const double km = distance::greatCircleKm(a, b);
        QVERIFY(!std::isnan(km));
        QTEST(distance::labelText(km), "label");
    }

    // Events "type x y", each with what it does: P press, D double click, R release;
    // f plants the flag, F finishes, - does nothing.
    void presses_data()
    {
        QTest::addColumn<QString>("events");
        QTest::newRow("two presses") << "P 139.5 35.5 f, P 135.5 34.5 F";
        QTest::newRow("double clicks and releases count for nothing")
            << "D 135.5 34.5 -, R 1 1 -, P 139.5 35.5 f, D 0 0 -, R 1 1 -, P 135.5 34.5 F";
        QTest::newRow("a press at 0, 0 is a first point") << "P 0 0 f, P 139.5 35.5 F";
        QTest::newRow("second press at 0, 0 finishes") << "P 139.5 35.5 f, P 0 0 F";
    }
    void presses()
    {
        QFETCH(QString, events);
        const QHash<QString, QEvent::Type> types{{"P", QEvent::MouseButtonPress},
                                                 {"D", QEvent::MouseButtonDblClick},
                                                 {"R", QEvent::MouseButtonRelease}};
        const QHash<QString, Action> actions{
            {"f", Action::PlantFlag}, {"F", Action::Finish}, {"-", Action::None}};
        distance::Measurement m;
        PointWorldCoord first, at;
        Action last = Action::None;
        for (const QString& event : events.split(", ")) {
            const QStringList e = event.split(' ');
            at = PointWorldCoord(e[1].toDouble(), e[2].toDouble());
            last = actions[e[3]];
            QCOMPARE(m.press(types[e[0]], at), last);
            if (last == Action::PlantFlag)
                first = at;
        }
        if (last != Action::Finish)
            return;
        QCOMPARE(m.a(), first);
        QCOMPARE(m.b(), at);
        // Finished but not cleared: further presses change nothing.
        QCOMPARE(m.press(QEvent::MouseButtonPress, PointWorldCoord(1, 1)), Action::None);
        m.clear();
        QCOMPARE(m.press(QEvent::MouseButtonPress, PointWorldCoord(1, 1)), Action::PlantFlag);
    }

    // The longest distance on earth: dark text ending inside the 100 pixels.
    void labelPicture()
    {
        const QImage longest = distance::labelPicture(20015.087).toImage();
        QCOMPARE(longest.size(), QSize(100, 20));
        int right = -1;
        for (int y = 0; y < longest.height(); ++y)
            for (int x = 0; x < longest.width(); ++x)
                if (qAlpha(longest.pixel(x, y)) > 0 && qGray(longest.pixel(x, y)) < 128)
                    right = std::max(right, x);
        QVERIFY2(right > 60 && right < 99, qPrintable(QString::number(right)));
        QVERIFY(distance::labelPicture(1.5).toImage() != distance::labelPicture(2.5).toImage());
        // On a screen of ratio 2: twice the pixels, the same size on the map.
        const QPixmap flag = distance::flagPicture(1.0), sharp = distance::flagPicture(2.0);
        QVERIFY(!flag.isNull() && sharp.size() == flag.size() * 2 && sharp.devicePixelRatio() == 2);
        QCOMPARE(distance::labelPicture(1.5, 2.0).size(), QSize(200, 40));
    }
};

QTEST_MAIN(TestDistance)
#include "tst_distance.moc"
