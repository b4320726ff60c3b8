// The distance between two map points and what each press does to a
// measurement under way.

#include "map/distance.h"
#include "resources/resources.h"

#include <QtTest>

#include <cmath>

using qmapcontrol::PointWorldCoord;
using Action = distance::Measurement::Action;

Q_DECLARE_METATYPE(Action)

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
        QTest::newRow("Edo to Osaka") << PointWorldCoord(139.7528, 35.6852)
                                      << PointWorldCoord(135.5259, 34.6873) << "399.797 km";
        QTest::newRow("and back") << PointWorldCoord(135.5259, 34.6873)
                                  << PointWorldCoord(139.7528, 35.6852) << "399.797 km";
        QTest::newRow("not symmetric in x and y")
            << PointWorldCoord(10, 20) << PointWorldCoord(30, 40) << "2927.385 km";
        QTest::newRow("quarter of the equator")
            << PointWorldCoord(0, 0) << PointWorldCoord(90, 0) << "10007.543 km";
        QTest::newRow("one degree north")
            << PointWorldCoord(0, 0) << PointWorldCoord(0, 1) << "111.195 km";
        // For these the cosine comes out a hair past +-1.
        QTest::newRow("same spot")
            << PointWorldCoord(135.0, 2.5) << PointWorldCoord(135.0, 2.5) << "0.000 km";
        QTest::newRow("antipodes")
            << PointWorldCoord(-180.0, 2.5) << PointWorldCoord(0.0, -2.5) << "20015.087 km";
    }

    void greatCircle()
    {
        QFETCH(PointWorldCoord, a);
        QFETCH(PointWorldCoord, b);
        const double km = distance::greatCircleKm(a, b);
        QVERIFY(!std::isnan(km));
        QTEST(distance::labelText(km), "label");
    }

    // A sequence of events: each is (type, x, y) and what it should do.
    void presses_data()
    {
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QList<QPointF>>("points");
        QTest::addColumn<QList<Action>>("actions");
        const int press = QEvent::MouseButtonPress, dbl = QEvent::MouseButtonDblClick;
        const QPointF p(139.5, 35.5), q(135.5, 34.5), zero(0, 0);
        QTest::newRow("two presses") << QList<int>{press, press} << QList<QPointF>{p, q}
                                     << QList<Action>{Action::PlantFlag, Action::Finish};
        QTest::newRow("double clicks count for nothing")
            << QList<int>{dbl, press, dbl, press} << QList<QPointF>{q, p, zero, q}
            << QList<Action>{Action::None, Action::PlantFlag, Action::None, Action::Finish};
        QTest::newRow("a release neither")
            << QList<int>{QEvent::MouseButtonRelease, press, QEvent::MouseButtonRelease}
            << QList<QPointF>{p, p, q}
            << QList<Action>{Action::None, Action::PlantFlag, Action::None};
        QTest::newRow("a press at 0, 0 is a first point")
            << QList<int>{press, press} << QList<QPointF>{zero, p}
            << QList<Action>{Action::PlantFlag, Action::Finish};
        QTest::newRow("second press at 0, 0 finishes")
            << QList<int>{press, press} << QList<QPointF>{p, zero}
            << QList<Action>{Action::PlantFlag, Action::Finish};
    }

    void presses()
    {
        QFETCH(QList<int>, types);
        QFETCH(QList<QPointF>, points);
        QFETCH(QList<Action>, actions);
        distance::Measurement m;
        PointWorldCoord first;
        for (int i = 0; i < types.size(); ++i) {
            const PointWorldCoord at(points[i].x(), points[i].y());
            QCOMPARE(m.press(QEvent::Type(types[i]), at), actions[i]);
            if (actions[i] == Action::PlantFlag)
                first = at;
        }
        if (actions.last() == Action::Finish) {
            QCOMPARE(m.a(), first);
            QCOMPARE(m.b(), PointWorldCoord(points.last().x(), points.last().y()));
            // Finished but not cleared: further presses change nothing.
            QCOMPARE(m.press(QEvent::MouseButtonPress, PointWorldCoord(1, 1)), Action::None);
            m.clear();
            QVERIFY(!m.hasA() && !m.hasB());
            QCOMPARE(m.press(QEvent::MouseButtonPress, PointWorldCoord(1, 1)), Action::PlantFlag);
        }
    }

    void labelPicture()
    {
        // The longest distance on earth still ends inside the 100 pixels.
        const QImage longest = distance::labelPicture(20015.087).toImage();
        QCOMPARE(longest.size(), QSize(100, 20));
        int right = -1, inked = 0;
        for (int y = 0; y < longest.height(); ++y)
            for (int x = 0; x < longest.width(); ++x)
                if (qAlpha(longest.pixel(x, y)) > 0) {
                    right = std::max(right, x);
                    ++inked;
                    QVERIFY(qGray(longest.pixel(x, y)) < 128); // black text
                }
        QVERIFY(inked > 50);
        QVERIFY2(right > 60 && right < 99, qPrintable(QString::number(right)));
        // Left-aligned from the top: nothing in the bottom rows or the first column pair.
        QCOMPARE(qAlpha(longest.pixel(99, 19)), 0);
        QVERIFY(distance::labelPicture(1.5).toImage() != distance::labelPicture(2.5).toImage());
        // On a screen of ratio 2: twice the pixels, the same size on the map.
        for (const QPixmap& sharp :
             {distance::labelPicture(1.5, 2.0), distance::flagPicture(2.0)}) {
            const QPixmap plain =
                sharp.width() == 200 ? distance::labelPicture(1.5) : distance::flagPicture(1.0);
            QVERIFY(!plain.isNull());
            QCOMPARE(sharp.size(), plain.size() * 2);
            QCOMPARE(sharp.devicePixelRatio(), 2.0);
        }
    }
};

QTEST_MAIN(TestDistance)
#include "tst_distance.moc"
