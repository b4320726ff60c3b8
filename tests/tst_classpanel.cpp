// The class page through its real buttons, and the bulk-edit page's right clicks.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "records/tablemodel.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"
#include "widgets/clicklabel.h"

#include <QContextMenuEvent>
#include <QDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

namespace {

QByteArray listWith(const QStringList& colours)
{
    QByteArray out;
    int i = 0;
    for (const QString& c : colours)
        out += QStringLiteral("p%1,135.5,34.6,%2,1,Image,11,10\n").arg(i++).arg(c).toUtf8();
    return out;
}

QStringList coloursInFile(const QString& path)
{
    QStringList out;
    for (const QByteArray& line : readAll(path).split('\n'))
        if (!line.trimmed().isEmpty())
            out << QString::fromUtf8(line.split(',').value(3));
    return out;
}

QString style(const char* fore, const char* back)
{
    return QStringLiteral("QLineEdit { color: %1 ; background-color: %2;}").arg(fore, back);
}

} // namespace

class Session
{
public:
    Session(const QStringList& colours, const QMap<int, QString>& names = {})
    {
        writeAll(dir.file("list.csv"), listWith(colours));
        QStringList ini{"[General]", "csv_filename=" + dir.file("list.csv"), "cache=false",
                        "[tiles]"};
        for (const QString provider : {"google", "osm", "stamen", "gsi"})
            ini << provider + "=http://127.0.0.1:9/{z}/{x}/{y}.png";
        writeAll(dir.file("mivaromap.ini"), ini.join('\n').toUtf8());
        QStringList classes{"[class]"};
        for (auto it = names.begin(); it != names.end(); ++it)
            classes << QStringLiteral("name%1=%2").arg(it.key(), 3, 10, QChar('0')).arg(*it);
        writeAll(dir.file("classes.ini"), classes.join('\n').toUtf8());
        AppSettings::instance().load();
        AppSettings::instance().loadClasses(dir.file("classes.ini"));
        window = std::make_unique<MivaroMap>();
        messages = std::make_unique<QSignalSpy>(window->statusBar(), &QStatusBar::messageChanged);
    }

    MivaroMap& w() { return *window; }
    Ui::MainWindow& ui() { return *window->form(); }
    ScriptedPrompts& asked() { return prompts.prompts(); }
    QString status() const { return window->statusBar()->currentMessage(); }
    QStringList shown() const
    {
        QStringList out;
        for (const QList<QVariant>& m : *messages)
            out << m.at(0).toString();
        return out;
    }
    QLineEdit* rowEdit(int i) const
    {
        for (QLineEdit* e : window->findChildren<QLineEdit*>())
            if (e->toolTip() == QStringLiteral("lineedit%1").arg(i))
                return e;
        return nullptr;
    }
    void press(const QString& tip)
    {
        for (QPushButton* b : window->findChildren<QPushButton*>())
            if (b->toolTip() == tip) {
                b->click();
                return;
            }
        QFAIL(qPrintable("no button " + tip));
    }
    QStringList listFile() const { return coloursInFile(dir.file("list.csv")); }
    QStringList placeColours() const
    {
        QStringList out;
        for (const auto& p : window->places)
            out << p->color;
        return out;
    }

    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
    std::unique_ptr<QSignalSpy> messages;
};

class TestClassPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initMivaroMapResources(); }

    void insertRenumbersAndSaves()
    {
        Session s({"2", "3", "7"}, {{2, "two"}, {3, "three"}, {198, "last but one"}});
        s.messages->clear();
        s.press("insert3");
        QCOMPARE(s.placeColours(), QStringList({"2", "4", "8"}));
        QCOMPARE(s.listFile(), QStringList({"2", "4", "8"}));
        QCOMPARE(s.rowEdit(3)->text(), QString());
        QCOMPARE(s.rowEdit(3)->styleSheet(), style("#ffffff", "#555555"));
        QCOMPARE(s.rowEdit(4)->text(), "three");
        QCOMPARE(s.rowEdit(199)->text(), "last but one");
        const QByteArray ini = readAll(s.dir.file("classsetting.ini"));
        QVERIFY(ini.contains("name004=three"));
        QVERIFY(ini.contains("back003=#555555"));
        QCOMPARE(s.shown().value(0), "保存しました");
        QVERIFY(s.shown().size() == 2 && s.status() != "保存しました");
        QVERIFY(!s.w().modified);
    }

    // Refused or declined: places, names, files and the unsaved state stay as they were.
    void insertOrEraseChangesNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("name199");
        QTest::addColumn<QString>("kind");
        auto row = [](const char* tag, QString button, QString colour, QString name, QString kind) {
            QTest::addRow("%s", tag) << button << colour << name << kind;
        };
        row("insert, 199 named", "insert3", "3", "last", "information");
        row("insert, 199 in use", "insert3", "0199", "", "information");
        row("insert declined", "insert3", "3", "", "question");
        row("erase declined", "erase2", "3", "", "question");
    }
    void insertOrEraseChangesNothing()
    {
        QFETCH(QString, button);
        QFETCH(QString, colour);
        QFETCH(QString, name199);
        QFETCH(QString, kind);
        Session s({colour}, {{3, "three"}, {199, name199}});
        const QByteArray list = readAll(s.dir.file("list.csv"));
        s.w().modified = true;
        s.asked().buttonAnswers << QMessageBox::No;
        s.press(button);
        QCOMPARE(s.asked().kinds(), QStringList{kind});
        if (kind == "information") {
            QCOMPARE(s.asked().calls[0].title, "色挿入");
            QCOMPARE(s.asked().calls[0].text, "分類クラス199が使われているため挿入できません。");
        }
        QCOMPARE(s.placeColours(), QStringList{colour});
        QCOMPARE(AppSettings::instance().className[3], "three");
        QCOMPARE(s.rowEdit(3)->text(), "three");
        QCOMPARE(readAll(s.dir.file("list.csv")), list);
        QVERIFY(!QFileInfo::exists(s.dir.file("classsetting.ini")));
        QVERIFY(s.w().modified);
    }

    void eraseRefusedWhileInUse_data()
    {
        QTest::addColumn<QString>("colour");
        QTest::addRow("exact") << "5";
        QTest::addRow("leading zero") << "05";
        QTest::addRow("leading blank") << " 5";
    }
    void eraseRefusedWhileInUse()
    {
        QFETCH(QString, colour);
        Session s({"1", colour, "6"}, {{5, "five"}, {6, "six"}});
        s.press("erase5");
        // The filter below compares texts: "05" makes it beep once more.
        QCOMPARE(s.asked().kinds().mid(0, 2), QStringList({"beep", "information"}));
        QCOMPARE(s.asked().calls[1].title, "色削除");
        QCOMPARE(s.asked().calls[1].text, "まだ色データが残っています。一括置換してください。");
        QCOMPARE(s.ui().le_color->text(), "5");
        QCOMPARE(s.ui().tabWidget->currentIndex(), 2);
        QCOMPARE(s.w().bulkTableModel()->rowCount(), colour == "5" ? 1 : 0);
        QCOMPARE(s.placeColours(), QStringList({"1", colour, "6"}));
        QCOMPARE(AppSettings::instance().className[5], "five");
        QVERIFY(!QFileInfo::exists(s.dir.file("classsetting.ini")));
    }

    void eraseShiftsDown()
    {
        Session s({"6", "10", "4", "250"}, {{5, "five"}, {6, "six"}, {199, "last"}});
        s.press("erase5");
        QCOMPARE(s.placeColours(), QStringList({"5", "9", "4", "250"}));
        QCOMPARE(s.listFile(), QStringList({"5", "9", "4", "250"}));
        QCOMPARE(s.rowEdit(5)->text(), "six");
        QCOMPARE(s.rowEdit(198)->text(), "last");
        QCOMPARE(s.rowEdit(199)->text(), QString());
        QCOMPARE(s.rowEdit(199)->styleSheet(), style("#ffffff", "#555555"));
        QCOMPARE(s.shown().value(s.shown().indexOf("保存しました") + 1).isEmpty(), false);
    }

    // A move swaps two classes only when both exist; the swap is saved at once.
    void moves_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("saved");
        QTest::addRow("up 2") << "up2" << true;
        QTest::addRow("down 1") << "down1" << true;
        QTest::addRow("up 1 to a free class") << "up1" << false;
        QTest::addRow("down 3 to a free class") << "down3" << false;
        QTest::addRow("up from 0") << "up0" << false;
        QTest::addRow("down from 199") << "down199" << false;
    }
    void moves()
    {
        QFETCH(QString, button);
        QFETCH(bool, saved);
        Session s({"1", "2", "3"}, {{1, "one"}, {2, "two"}, {3, "three"}, {199, "z"}});
        s.w().modified = true;
        s.press(button);
        const QStringList names =
            saved ? QStringList{"", "two", "one", "three"} : QStringList{"", "one", "two", "three"};
        QCOMPARE(s.placeColours(),
                 saved ? QStringList({"2", "1", "3"}) : QStringList({"1", "2", "3"}));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(AppSettings::instance().className[i], names[i]);
            QCOMPARE(s.rowEdit(i)->text(), names[i]);
        }
        QCOMPARE(QFileInfo::exists(s.dir.file("classsetting.ini")), saved);
        QCOMPARE(s.w().modified, !saved);
        if (saved)
            QCOMPARE(s.listFile(), s.placeColours());
    }

    void colourAndNameEdits()
    {
        Session s({"1"}, {{1, "one"}});
        s.asked().colorAnswers << QColor(10, 20, 30) << QColor();
        s.press("back1");
        s.press("fore1");
        QCOMPARE(s.asked().calls[0].extra, "#808080");
        QCOMPARE(s.asked().calls[1].extra, "#ffffff");
        QCOMPARE(AppSettings::instance().classBack[1], QColor(10, 20, 30));
        QCOMPARE(AppSettings::instance().classFore[1], QColor(Qt::white));
        QCOMPARE(s.rowEdit(1)->styleSheet(), style("#ffffff", "#0a141e"));

        s.rowEdit(7)->setText("seven");
        emit s.rowEdit(7)->editingFinished();
        QCOMPARE(AppSettings::instance().className[7], "seven");
        QVERIFY(!QFileInfo::exists(s.dir.file("classsetting.ini")));
    }

    void randomColoursRestyleRows()
    {
        Session s({"1"}, {{1, "one"}, {2, "two"}, {30, "thirty"}});
        s.ui().btnColorRandum->click();
        QCOMPARE(s.rowEdit(0)->styleSheet(), style("#ffffff", "#000000"));
        QCOMPARE(s.rowEdit(1)->styleSheet(), style("#ffffff", "#ff0000"));
        QCOMPARE(s.rowEdit(2)->styleSheet(), style("#000000", "#00ff00"));
        const QColor varied = AppSettings::instance().classBack[30];
        QVERIFY(varied.red() == 0 && varied.green() == 0);
        QVERIFY(varied.blue() >= 80 && varied.blue() <= 240);
        QCOMPARE(s.rowEdit(3)->styleSheet(), style("#ffffff", "#555555"));
    }

    void classFileButtons()
    {
        Session s({"5"});
        writeAll(s.dir.file("other.ini"), "[class]\nname005=Castle\n");
        s.asked().fileAnswers << s.dir.file("other.ini") << s.dir.file("out.ini") << "";
        s.ui().btnClassLoad->click();
        QCOMPARE(s.rowEdit(5)->text(), "Castle");
        QCOMPARE(s.w().dataTableModel()->rowCount(), 1);
        s.ui().btnClassSave->click();
        QCOMPARE(s.status(), s.dir.file("out.ini") + " に保存しました");
        QVERIFY(readAll(s.dir.file("out.ini")).contains("name005=Castle"));
        s.messages->clear();
        s.ui().btnClassSave->click();
        QVERIFY(s.shown().isEmpty());
    }

    void failedSavesSayWhy_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("viaMove");
        QTest::addRow("folder in its place, move") << "classsetting.ini" << true;
        QTest::addRow("folder in its place, Class Save") << "classsetting.ini" << false;
        QTest::addRow("missing folder, Class Save") << "gone/classes.ini" << false;
    }
    void failedSavesSayWhy()
    {
        QFETCH(QString, file);
        QFETCH(bool, viaMove);
        Session s({"1", "2"}, {{1, "one"}, {2, "two"}});
        const QString target = s.dir.file(file);
        QVERIFY(QDir(s.dir.path()).mkdir("classsetting.ini"));
        const QByteArray list = readAll(s.dir.file("list.csv"));
        s.asked().fileAnswers << target;
        s.messages->clear();
        if (viaMove)
            s.press("up2");
        else
            s.ui().btnClassSave->click();

        const ScriptedPrompts::Call warning = s.asked().calls.value(viaMove ? 0 : 1);
        QCOMPARE(warning.kind, "warning");
        QCOMPARE(warning.title, "保存エラー");
        QVERIFY2(warning.text.startsWith(target + " に保存できませんでした。\n"),
                 qPrintable(warning.text));
        QVERIFY(!warning.text.section('\n', 1).isEmpty());
        for (const QString& m : s.shown())
            QVERIFY(!m.contains("保存しました"));
        QCOMPARE(readAll(s.dir.file("list.csv")), list);
        if (viaMove) {
            QVERIFY(s.w().modified);
            QCOMPARE(s.placeColours(), QStringList({"2", "1"}));
        }
    }

    // Rows are the field names.
    void bulkPageRightClicks_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("rows");
        QTest::addRow("le_color") << QString("12") << 1;
        QTest::addRow("le_layer") << QString("3") << 1;
        QTest::addRow("le_color_2") << QString("12") << 3;
        QTest::addRow("le_layer_2") << QString("3") << 3;
    }
    void bulkPageRightClicks()
    {
        const QString field = QTest::currentDataTag();
        Session s({"12", "1", "2"}, {{1, "one"}, {12, "twelve"}});
        for (auto& p : s.w().places)
            p->layer = p->color == "12" ? "3" : "1";
        s.w().rebuildBulkTable();
        s.asked().menuAnswers << "Layer3";
        s.asked().dialogAnswers << [](QDialog* d) {
            for (ClickLabel* l : d->findChildren<ClickLabel*>())
                if (l->text() == "twelve")
                    QTest::mouseClick(l, Qt::LeftButton);
            return d->result();
        };
        auto* edit = s.w().findChild<QLineEdit*>(field);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3));
        QApplication::sendEvent(edit, &event);
        QTEST(edit->text(), "expected");
        QTEST(s.w().bulkTableModel()->rowCount(), "rows");
        QVERIFY(!s.w().modified);

        // A dismissed picker leaves the field as it was.
        QApplication::sendEvent(edit, &event);
        QTEST(edit->text(), "expected");
    }
};

QTEST_MAIN(TestClassPanel)
#include "tst_classpanel.moc"
