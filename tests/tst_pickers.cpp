#include "settings/appsettings.h"
#include "testsupport.h"
#include "widgets/clicklabel.h"
#include "widgets/mivaromaputil.h"
#include "widgets/palettelayout.h"

#include <QDialog>
#include <QTabWidget>
#include <QtTest>

// Names classes "a-b" and "n" (the list separated by ',') with "名n".
static void nameClasses(const QString& list)
{
    AppSettings& s = AppSettings::instance();
    s.className.fill(QString());
    for (const QString& part : list.split(',', Qt::SkipEmptyParts))
        for (int i = part.section('-', 0, 0).toInt(); i <= part.section('-', -1).toInt(); ++i)
            s.className[i] = QStringLiteral("名%1").arg(i);
}

class TestPickers : public QObject
{
    Q_OBJECT
    PromptScope prompts;
    MivaroMapUtil util;
    QList<std::function<int(QDialog*)>>& answers() { return prompts.prompts().dialogAnswers; }

private slots:
    void init()
    {
        AppSettings::instance().tabWidgetIndex = 0;
        prompts.prompts().calls.clear();
    }

    // Each page: its title, its first and last class and how many, "+" when it ends in a spacer.
    void pages_data()
    {
        textColumns({"named", "pages"});
        textRow("none", {"", "0-19: 0+"});
        textRow("0-24", {"0-24", "0-19:0-19 20 20-39:20-24 5+"});
        textRow("0-5 and 50", {"0-5,50", "0-19:0-5 6+ 40-59:50-50 1+"});
        textRow("0-10 and 199", {"0-10,199", "0-19:0-10 11+ 180-199:199-199 1+"});
        textRow("198 alone", {"198-199", "0-19: 0+ 180-199:198-199 2+"});
        textRow("20 and 41", {"20,41", "0-19: 0+ 20-39:20-20 1+ 40-59:41-41 1+"});
    }
    void pages()
    {
        nameClasses(cell("named"));
        QStringList got;
        for (const palette::Page& p : palette::pages(AppSettings::instance().className))
            got << QStringLiteral("%1:%2 %3%4")
                       .arg(p.title, p.classes.isEmpty() ? QString()
                                                         : QStringLiteral("%1-%2")
                                                               .arg(p.classes.first())
                                                               .arg(p.classes.last()))
                       .arg(p.classes.size())
                       .arg(p.spacer ? "+" : "");
        QCOMPARE(got.join(' '), cell("pages"));
    }

    // A popup of 200 x 300 on a screen of 1600 x 1000.
    void position_data()
    {
        textColumns({"cursor", "bottom", "expected"});
        textRow("room below", {"100 100", "900", "105 100"});
        textRow("pushed up, one short of room", {"100 602", "900", "105 601"});
        textRow("never above 10", {"100 200", "200", "105 10"});
        textRow("9 becomes 10", {"100 250", "308", "105 10"});
        textRow("11 stays", {"100 250", "310", "105 11"});
        textRow("kept inside the right edge", {"1550 100", "900", "1400 100"});
    }
    void position()
    {
        const QStringList c = cell("cursor").split(' ');
        const QPoint at = palette::position(QPoint(c[0].toInt(), c[1].toInt()), QSize(200, 300),
                                            cell("bottom").toInt(), QRect(0, 0, 1600, 1000));
        QCOMPARE(QStringLiteral("%1 %2").arg(at.x()).arg(at.y()), cell("expected"));
    }

    // The popup shows the pages' labels in their classes' colours, opens on the
    // remembered page, remembers the one shown last and sits above the reference bottom.
    void paletteShowsNamedClasses()
    {
        AppSettings& s = AppSettings::instance();
        nameClasses("0-24");
        s.classBack[22] = QColor(1, 2, 3);
        s.classFore[22] = QColor(250, 251, 252);
        s.tabWidgetIndex = 1;
        QStringList seen;
        QRect at;
        answers() << [&](QDialog* d) {
            at = d->frameGeometry();
            auto* tabs = d->findChild<QTabWidget*>();
            seen << QString::number(tabs->currentIndex()) << tabs->tabText(1);
            const QList<ClickLabel*> labels = tabs->widget(1)->findChildren<ClickLabel*>();
            seen << QString::number(labels.size()) << labels.at(2)->toolTip() + labels.at(2)->text()
                 << labels.at(2)->styleSheet();
            tabs->setCurrentIndex(0);
            QTest::mouseClick(labels.at(2), Qt::RightButton);
            return d->result();
        };
        QCursor::setPos(120, 400);
        QCOMPARE(util.pickColorClass(0, 0, 800, 420), 22);
        QCOMPARE(seen, QStringList({"1", "20-39", "5", "22名22",
                                    "QLabel { color: #fafbfc ; background-color: #010203;}"}));
        QCOMPARE(s.tabWidgetIndex, 0);
        QVERIFY(at.height() > 30);
        QCOMPARE(at.topLeft(), QPoint(125, std::max(10, 421 - at.height())));
    }

    // -1: closed without a choice, -2: escape, -3: a click outside, -4: asked while open.
    void paletteAnswers_data()
    {
        textColumns({"action", "expected"});
        textRow("label of class 12", {"click 12", "12"});
        textRow("escape", {"escape", "-2"});
        textRow("click outside", {"deactivate", "-3"});
        textRow("chosen, then deactivated", {"click 3, deactivate", "3"});
        textRow("asked again while open", {"nested", "-4"});
    }
    void paletteAnswers()
    {
        const QString action = cell("action");
        nameClasses("0-14");
        int nested = 0;
        answers() << [&](QDialog* d) {
            if (action.startsWith("click "))
                clickClassLabel(action.section(' ', 1, 1).section(',', 0, 0).toInt())(d);
            if (action == "escape")
                QTest::keyClick(d, Qt::Key_Escape);
            if (action.endsWith("deactivate")) {
                QEvent deactivate(QEvent::WindowDeactivate);
                QCoreApplication::sendEvent(d, &deactivate);
            }
            if (action == "nested")
                nested = util.pickColorClass(0, 0, 800, 600);
            return d->result();
        };
        QCOMPARE(util.pickColorClass(0, 0, 800, 600), cell("expected").toInt());
        QCOMPARE(nested, action == "nested" ? -4 : 0);
        // The popup is gone: the next palette opens normally.
        answers() << [](QDialog* d) { return d->result(); };
        QCOMPARE(util.pickColorClass(0, 0, 800, 600), -1);
    }

    // The menus' entries; a dismissed menu is -1 or "".
    void menus()
    {
        ScriptedPrompts& p = prompts.prompts();
        p.menuAnswers = QStringList{"Layer9", "", "Scaled", ""};
        QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                     .arg(util.pickLayer())
                     .arg(util.pickLayer())
                     .arg(util.pickShape())
                     .arg(util.pickShape()),
                 "9 -1 Scaled ");
        QCOMPARE(p.calls.at(0).text,
                 "Layer1\nLayer2\nLayer3\nLayer4\nLayer5\nLayer6\nLayer7\nLayer8\nLayer9");
        QCOMPARE(p.calls.at(2).text, "Image\nScaled\nCricle");
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
