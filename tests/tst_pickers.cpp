#include "settings/appsettings.h"
#include "testsupport.h"
#include "widgets/clicklabel.h"
#include "widgets/mivaromaputil.h"
#include "widgets/palettelayout.h"

#include <QDialog>
#include <QLayout>
#include <QTabWidget>
#include <QtTest>

using Pages = QList<QPair<QString, QList<int>>>; // title, classes
Q_DECLARE_METATYPE(Pages)

static QList<int> range(int from, int to)
{
    QList<int> out;
    for (int i = from; i <= to; ++i)
        out << i;
    return out;
}

static QVector<QString> namesFor(const QList<int>& named)
{
    QVector<QString> names(AppSettings::ClassCount);
    for (int i : named)
        names[i] = QStringLiteral("c%1").arg(i);
    return names;
}

static bool endsInSpacer(QWidget* page)
{
    QLayout* layout = page->layout();
    return layout->count() > 0 && layout->itemAt(layout->count() - 1)->spacerItem();
}

static QList<ClickLabel*> labelsOf(QWidget* page)
{
    return page->findChildren<ClickLabel*>();
}

class TestPickers : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        AppSettings& s = AppSettings::instance();
        s.className.fill(QString());
        s.classBack.fill(QColor(128, 128, 128));
        s.classFore.fill(Qt::white);
        s.tabWidgetIndex = 0;
    }

    void pages_data()
    {
        QTest::addColumn<QList<int>>("named");
        QTest::addColumn<Pages>("pages");
        QTest::addColumn<QList<bool>>("spacers");
        QTest::addRow("none") << QList<int>() << Pages{{"0-19", {}}} << QList<bool>{true};
        QTest::addRow("0-24") << range(0, 24)
                              << Pages{{"0-19", range(0, 19)}, {"20-39", range(20, 24)}}
                              << QList<bool>{false, true};
        QTest::addRow("0-5 and 50")
            << (range(0, 5) << 50) << Pages{{"0-19", range(0, 5)}, {"40-59", {50}}}
            << QList<bool>{true, true};
        QTest::addRow("0-10 and 199")
            << (range(0, 10) << 199) << Pages{{"0-19", range(0, 10)}, {"180-199", {199}}}
            << QList<bool>{true, true};
        QTest::addRow("0-39") << range(0, 39)
                              << Pages{{"0-19", range(0, 19)}, {"20-39", range(20, 39)}}
                              << QList<bool>{false, false};
        QTest::addRow("198 alone")
            << QList<int>{198, 199} << Pages{{"0-19", {}}, {"180-199", {198, 199}}}
            << QList<bool>{true, true};
        QTest::addRow("20 and 41")
            << QList<int>{20, 41} << Pages{{"0-19", {}}, {"20-39", {20}}, {"40-59", {41}}}
            << QList<bool>{true, true, true};
    }
    void pages()
    {
        QFETCH(QList<int>, named);
        QFETCH(Pages, pages);
        QFETCH(QList<bool>, spacers);
        const QVector<palette::Page> got = palette::pages(namesFor(named));
        QCOMPARE(got.size(), pages.size());
        for (int p = 0; p < got.size(); ++p) {
            QCOMPARE(got[p].title, pages[p].first);
            QCOMPARE(got[p].classes.toList(), pages[p].second);
            QCOMPARE(got[p].spacer, spacers[p]);
        }
    }

    void position_data()
    {
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("bottom");
        QTest::addColumn<QPoint>("expected");
        const QSize size(200, 300);
        QTest::addRow("room below") << QPoint(100, 100) << size << 900 << QPoint(105, 100);
        QTest::addRow("pushed up to the bottom edge")
            << QPoint(100, 800) << size << 900 << QPoint(105, 601);
        QTest::addRow("pushed up, one short of room")
            << QPoint(100, 602) << size << 900 << QPoint(105, 601);
        QTest::addRow("never above 10") << QPoint(100, 200) << size << 200 << QPoint(105, 10);
        QTest::addRow("9 becomes 10") << QPoint(100, 250) << size << 308 << QPoint(105, 10);
        QTest::addRow("11 stays") << QPoint(100, 250) << size << 310 << QPoint(105, 11);
        QTest::addRow("kept inside the right edge")
            << QPoint(1550, 100) << size << 900 << QPoint(1400, 100);
        QTest::addRow("just fits") << QPoint(1395, 100) << size << 900 << QPoint(1400, 100);
    }
    void position()
    {
        QFETCH(QPoint, cursor);
        QFETCH(QSize, size);
        QFETCH(int, bottom);
        QFETCH(QPoint, expected);
        QCOMPARE(palette::position(cursor, size, bottom, QRect(0, 0, 1600, 1000)), expected);
    }

    // The popup shows the pages' labels in their classes' colours, opens on the
    // remembered page and remembers the one shown last.
    void paletteShowsNamedClasses()
    {
        AppSettings& s = AppSettings::instance();
        for (int i : range(0, 24))
            s.className[i] = QStringLiteral("名%1").arg(i);
        s.classBack[22] = QColor(1, 2, 3);
        s.classFore[22] = QColor(250, 251, 252);
        s.tabWidgetIndex = 1;
        PromptScope scope;
        QStringList seen;
        int openedOn = -1;
        scope.prompts().dialogAnswers << [&](QDialog* d) {
            auto* tabs = d->findChild<QTabWidget*>();
            openedOn = tabs->currentIndex();
            for (int p = 0; p < tabs->count(); ++p)
                seen << tabs->tabText(p) + (endsInSpacer(tabs->widget(p)) ? "+" : "");
            const QList<ClickLabel*> labels = labelsOf(tabs->widget(1));
            for (ClickLabel* l : labels)
                seen << l->toolTip() + "=" + l->text();
            seen << labels.at(2)->styleSheet();
            QLabel* number = tabs->widget(1)->findChildren<QLabel*>().first();
            seen << number->text();
            tabs->setCurrentIndex(0);
            QTest::mouseClick(labels.at(2), Qt::RightButton);
            return d->result();
        };
        MivaroMapUtil util;
        QCOMPARE(util.pickColorClass(0, 0, 800, 600), 22);
        QCOMPARE(openedOn, 1);
        QCOMPARE(seen, QStringList(
                           {"0-19", "20-39+", "20=名20", "21=名21", "22=名22", "23=名23", "24=名24",
                            "QLabel { color: #fafbfc ; background-color: #010203;}", "20:"}));
        QCOMPARE(s.tabWidgetIndex, 0);
    }

    void paletteAnswers_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expected");
        QTest::addRow("label of class 12") << "click 12" << 12;
        QTest::addRow("escape") << "escape" << -2;
        QTest::addRow("other key") << "key A" << -1;
        QTest::addRow("click outside") << "deactivate" << -3;
        QTest::addRow("chosen, then deactivated") << "click 3, deactivate" << 3;
        QTest::addRow("closed otherwise") << "close" << -1;
        QTest::addRow("asked again while open") << "nested" << -4;
    }
    void paletteAnswers()
    {
        QFETCH(QString, action);
        QFETCH(int, expected);
        for (int i : range(0, 14))
            AppSettings::instance().className[i] = QStringLiteral("n%1").arg(i);
        PromptScope scope;
        MivaroMapUtil util;
        int nested = 0;
        scope.prompts().dialogAnswers << [&](QDialog* d) {
            const QList<ClickLabel*> labels = d->findChildren<ClickLabel*>();
            if (action.startsWith("click ")) {
                const int n = action.section(' ', 1, 1).section(',', 0, 0).toInt();
                for (ClickLabel* l : labels)
                    if (l->toolTip() == QString::number(n))
                        QTest::mouseClick(l, Qt::LeftButton);
            }
            if (action == "escape")
                QTest::keyClick(d, Qt::Key_Escape);
            if (action == "key A")
                QTest::keyClick(d, Qt::Key_A);
            if (action.endsWith("deactivate")) {
                QEvent deactivate(QEvent::WindowDeactivate);
                QCoreApplication::sendEvent(d, &deactivate);
            }
            if (action == "close")
                d->reject();
            if (action == "nested")
                nested = util.pickColorClass(0, 0, 800, 600);
            return d->result();
        };
        QCOMPARE(util.pickColorClass(0, 0, 800, 600), expected);
        if (action == "nested")
            QCOMPARE(nested, -4);
        // The popup is gone: the next palette opens normally.
        scope.prompts().dialogAnswers << [](QDialog* d) { return d->result(); };
        QCOMPARE(util.pickColorClass(0, 0, 800, 600), -1);
    }

    void paletteIsPlacedAboveTheBottomEdge()
    {
        for (int i : range(0, 19))
            AppSettings::instance().className[i] = QStringLiteral("n%1").arg(i);
        PromptScope scope;
        QPoint at;
        int height = 0;
        scope.prompts().dialogAnswers << [&](QDialog* d) {
            at = d->pos();
            height = d->frameGeometry().height();
            return d->result();
        };
        QCursor::setPos(120, 400);
        MivaroMapUtil util;
        util.pickColorClass(0, 0, 800, 420);
        QVERIFY(height > 30);
        QCOMPARE(at, QPoint(125, std::max(10, 421 - height)));
    }

    void pickers_data()
    {
        QTest::addColumn<bool>("layer");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");
        QTest::addRow("layer 7") << true << "Layer7"
                                 << "7";
        QTest::addRow("layer 1") << true << "Layer1"
                                 << "1";
        QTest::addRow("layer dismissed") << true << ""
                                         << "-1";
        QTest::addRow("Cricle is Circle") << false << "Cricle"
                                          << "Circle";
        QTest::addRow("Scaled") << false << "Scaled"
                                << "Scaled";
        QTest::addRow("shape dismissed") << false << ""
                                         << "";
    }
    void pickers()
    {
        QFETCH(bool, layer);
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        PromptScope scope;
        scope.prompts().menuAnswers << answer;
        MivaroMapUtil util;
        const QString got = layer ? QString::number(util.pickLayer()) : util.pickShape();
        QCOMPARE(got, expected);
        QCOMPARE(scope.prompts().calls.last().text,
                 layer ? "Layer1\nLayer2\nLayer3\nLayer4\nLayer5\nLayer6\nLayer7\nLayer8\nLayer9"
                       : "Image\nScaled\nCricle");
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
