// The class page through its real buttons, and the bulk-edit page's right clicks.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "records/tablemodel.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QContextMenuEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

static QString style(const QString& fore, const QString& back)
{
    return QStringLiteral("QLineEdit { color: %1 ; background-color: %2;}").arg(fore, back);
}

// One window for the whole run: each test loads its list and classes as the user would.
class TestClassPanel : public QObject
{
    Q_OBJECT
    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
    std::unique_ptr<QSignalSpy> messages;

    MivaroMap& w() { return *window; }
    Ui::MainWindow& ui() { return *window->form(); }
    ScriptedPrompts& asked() { return prompts.prompts(); }
    AppSettings& settings() { return AppSettings::instance(); }
    QString listPath() const { return dir.file("list.csv"); }
    bool classFileSaved() const { return QFileInfo::exists(dir.file("classsetting.ini")); }
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
            if (b->toolTip() == tip)
                return b->click();
        QFAIL(qPrintable("no button " + tip));
    }
    // Colour fields of the list file, or of the places, joined with '|'.
    QString listFile() const
    {
        QStringList out;
        for (const QByteArray& line : readAll(listPath()).split('\n'))
            if (!line.isEmpty())
                out << QString::fromUtf8(line.split(',').value(3));
        return out.join('|');
    }
    QString placeColours() const
    {
        QStringList out;
        for (const auto& p : window->places)
            out << p->color;
        return out.join('|');
    }
    // Colours joined with '|', classes as "n=name" pairs joined with '|'.
    void load(const QString& colours, const QString& names)
    {
        QByteArray list;
        const QStringList fields = colours.split('|');
        for (int i = 0; i < fields.size(); ++i)
            list +=
                QStringLiteral("p%1,135.5,34.6,%2,1,Image,11,10\n").arg(i).arg(fields[i]).toUtf8();
        writeAll(listPath(), list);
        QStringList classes{"[class]"};
        for (const QString& pair : names.split('|'))
            classes << QStringLiteral("name%1=%2")
                           .arg(pair.section('=', 0, 0).toInt(), 3, 10, QChar('0'))
                           .arg(pair.section('=', 1));
        writeAll(dir.file("classes.ini"), classes.join('\n').toUtf8());
        w().modified = false;
        QVERIFY(w().openFile(listPath()));
        asked().fileAnswers << dir.file("classes.ini");
        ui().btnClassLoad->click();
        asked().calls.clear();
        messages->clear();
    }

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        writeAll(listPath(), "");
        writeAll(dir.file("mivaromap.ini"), "[General]\ncsv_filename=" + listPath().toUtf8());
        settings().load();
        keepTilesLocal();
        window = std::make_unique<MivaroMap>();
        messages = std::make_unique<QSignalSpy>(window->statusBar(), &QStatusBar::messageChanged);
    }
    void init()
    {
        QDir(dir.path()).rmdir("classsetting.ini");
        QFile::remove(dir.file("classsetting.ini"));
        ui().tabWidget->setCurrentIndex(0);
        for (QLineEdit* e : {ui().le_color, ui().le_layer, ui().le_color_2, ui().le_layer_2})
            e->clear();
        asked().buttonAnswers.clear();
        asked().fileAnswers.clear();
        asked().menuAnswers.clear();
        asked().dialogAnswers.clear();
    }
    void cleanupTestCase() { window.reset(); }

    // A button pressed on a list with unsaved edits: what the places, the rows and the
    // settings become, what was asked, and whether the class file and the list were saved.
    void classButtons_data()
    {
        textColumns({"button", "colours", "names", "after", "rows", "asked"});
        textRow("insert 3", {"insert3", "2|3|7", "2=two|3=three|198=last but one", "2|4|8",
                             "3=|4=three|199=last but one", "question"});
        textRow("erase 5", {"erase5", "6|10|4|250", "5=five|6=six|199=last", "5|9|4|250",
                            "5=six|198=last|199=", "question"});
        textRow("insert, 199 named",
                {"insert3", "3", "3=three|199=last", "3", "3=three|4=", "information"});
        // "05" is class 5 too, but the bulk page's filter compares texts.
        textRow("erase in use",
                {"erase5", "1|5|6", "5=five|6=six", "1|5|6", "5=five", "beep information"});
        textRow("erase 05 in use",
                {"erase5", "1|05|6", "5=five", "1|05|6", "5=five", "beep information beep beep"});
        textRow("insert declined", {"insert3", "3", "3=three", "3", "3=three", "question"});
        textRow("erase declined", {"erase2", "3", "3=three", "3", "2=|3=three", "question"});
        const char* names = "1=one|2=two|3=three|199=z";
        textRow("up 2", {"up2", "1|2|3", names, "2|1|3", "1=two|2=one|3=three", ""});
        textRow("down 1", {"down1", "1|2|3", names, "2|1|3", "1=two|2=one|3=three", ""});
        textRow("down 3 to a free class", {"down3", "1|2|3", names, "1|2|3", "3=three|4=", ""});
        textRow("up from 0", {"up0", "1|2|3", names, "1|2|3", "0=|1=one", ""});
        textRow("down from 199", {"down199", "1|2|3", names, "1|2|3", "198=|199=z", ""});
    }
    void classButtons()
    {
        const QString colours = cell("colours"), after = cell("after");
        const bool saved = after != colours;
        load(colours, cell("names"));
        w().modified = true;
        asked().buttonAnswers << (saved ? QMessageBox::Yes : QMessageBox::No);
        press(cell("button"));
        QCOMPARE(asked().kinds().join(' '), cell("asked"));
        const QMap<QString, QString> why{
            {"色挿入", "分類クラス199が使われているため挿入できません。"},
            {"色削除", "まだ色データが残っています。一括置換してください。"}};
        for (const ScriptedPrompts::Call& call : asked().calls)
            if (call.kind == "information")
                QCOMPARE(call.text, why.value(call.title));
        if (asked().kinds().contains("beep")) { // the bulk page shows who is on the class
            QVERIFY(ui().le_color->text() == "5" && ui().tabWidget->currentIndex() == 2);
            QCOMPARE(w().bulkTableModel()->rowCount(), colours.split('|').count("5"));
        }
        QCOMPARE(placeColours(), after);
        QCOMPARE(listFile(), saved ? after : colours);
        QCOMPARE(classFileSaved(), saved);
        QCOMPARE(w().modified, !saved);
        const QByteArray ini = readAll(dir.file("classsetting.ini"));
        for (const QString& pair : cell("rows").split('|')) {
            const int n = pair.section('=', 0, 0).toInt();
            const QString name = pair.section('=', 1);
            QCOMPARE(rowEdit(n)->text(), name);
            QCOMPARE(settings().className[n], name);
            if (name.isEmpty() && saved) // freshly blanked
                QCOMPARE(rowEdit(n)->styleSheet(), style("#ffffff", "#555555"));
            else if (saved)
                QVERIFY(ini.contains(QStringLiteral("name%1=").arg(n, 3, 10, QChar('0')).toUtf8() +
                                     name.toUtf8()));
        }
        if (saved)
            QVERIFY(shown().value(shown().indexOf("保存しました") + 1) != "");
    }

    void colourNameAndRandomEdits()
    {
        load("1", "1=one|2=two");
        asked().colorAnswers << QColor(10, 20, 30) << QColor();
        press("back1");
        press("fore1");
        QCOMPARE(asked().calls[0].extra, "#808080");
        QCOMPARE(asked().calls[1].extra, "#ffffff");
        QCOMPARE(settings().classBack[1], QColor(10, 20, 30));
        QCOMPARE(settings().classFore[1], QColor(Qt::white));
        QCOMPARE(rowEdit(1)->styleSheet(), style("#ffffff", "#0a141e"));

        rowEdit(7)->setText("seven");
        emit rowEdit(7)->editingFinished();
        QCOMPARE(settings().className[7], "seven");
        QVERIFY(!classFileSaved());

        ui().btnColorRandum->click();
        QCOMPARE(settings().classBack[1], QColor(Qt::red));
        for (int i = 0; i < AppSettings::ClassCount; ++i)
            QCOMPARE(rowEdit(i)->styleSheet(),
                     style(settings().classFore[i].name(), settings().classBack[i].name()));
    }

    void classFileButtons()
    {
        load("5", "");
        writeAll(dir.file("other.ini"), "[class]\nname005=Castle\n");
        asked().fileAnswers << dir.file("other.ini") << dir.file("out.ini") << "";
        ui().btnClassLoad->click();
        QCOMPARE(rowEdit(5)->text(), "Castle");
        QCOMPARE(w().dataTableModel()->rowCount(), 1);
        ui().btnClassSave->click();
        QCOMPARE(w().statusBar()->currentMessage(), dir.file("out.ini") + " に保存しました");
        QVERIFY(readAll(dir.file("out.ini")).contains("name005=Castle"));
        messages->clear();
        ui().btnClassSave->click();
        QVERIFY(shown().isEmpty());
    }

    void failedSavesSayWhy_data()
    {
        textColumns({"file", "via"});
        textRow("folder in its place, move", {"classsetting.ini", "up2"});
        textRow("missing folder, Class Save", {"gone/classes.ini", "save"});
    }
    void failedSavesSayWhy()
    {
        const bool viaMove = cell("via") == "up2";
        load("1|2", "1=one|2=two");
        const QString target = dir.file(cell("file"));
        QVERIFY(QDir(dir.path()).mkdir("classsetting.ini"));
        asked().fileAnswers << target;
        if (viaMove)
            press("up2");
        else
            ui().btnClassSave->click();
        const ScriptedPrompts::Call warning = asked().calls.value(viaMove ? 0 : 1);
        QCOMPARE(warning.kind, "warning");
        QCOMPARE(warning.title, "保存エラー");
        QVERIFY2(warning.text.startsWith(target + " に保存できませんでした。\n"),
                 qPrintable(warning.text));
        QVERIFY(!warning.text.section('\n', 1).isEmpty());
        for (const QString& m : shown())
            QVERIFY(!m.contains("保存しました"));
        QCOMPARE(listFile(), "1|2");
        if (viaMove)
            QVERIFY(w().modified && placeColours() == "2|1");
    }

    // Rows are the field names; the bulk table's rows after.
    void bulkPageRightClicks_data()
    {
        textColumns({"expected", "rows"});
        textRow("le_color", {"12", "1"});
        textRow("le_layer", {"3", "1"});
        textRow("le_color_2", {"12", "3"});
        textRow("le_layer_2", {"3", "3"});
    }
    void bulkPageRightClicks()
    {
        load("12|1|2", "1=one|12=twelve");
        for (auto& p : w().places)
            p->layer = p->color == "12" ? "3" : "1";
        w().rebuildBulkTable();
        asked().menuAnswers << "Layer3";
        asked().dialogAnswers << clickClassLabel(12);
        auto* edit = w().findChild<QLineEdit*>(QTest::currentDataTag());
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3));
        QApplication::sendEvent(edit, &event);
        QCOMPARE(edit->text(), cell("expected"));
        QCOMPARE(QString::number(w().bulkTableModel()->rowCount()), cell("rows"));
        QVERIFY(!w().modified);
        // A dismissed picker leaves the field as it was.
        QApplication::sendEvent(edit, &event);
        QCOMPARE(edit->text(), cell("expected"));
    }
};

QTEST_MAIN(TestClassPanel)
#include "tst_classpanel.moc"
