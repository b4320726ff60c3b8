// The class page through its real buttons.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "records/tablemodel.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

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
    template <class T> T* tipped(const QString& tip) const
    {
        for (T* t : window->findChildren<T*>())
            if (t->toolTip() == tip)
                return t;
        return nullptr;
    }
    QLineEdit* rowEdit(int i) const
    {
        return tipped<QLineEdit>(QStringLiteral("lineedit%1").arg(i));
    }
    void press(const QString& tip) { tipped<QPushButton>(tip)->click(); }
    // Colour fields of the list file, or of the places, joined with '|'.
    QString listFile() const
    {
        QStringList out;
        for (const QByteArray& line : readAll(listPath()).split('\n'))
            out << QString::fromUtf8(line.split(',').value(3));
        return out.join('|').chopped(1);
    }
    QString placeColours() const
    {
        QString out;
        for (const auto& p : window->places)
            out += p->color + '|';
        return out.chopped(1);
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
        asked() = ScriptedPrompts();
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
        textRow("erase declined", {"erase2", "3", "3=three", "3", "2=|3=three", "question"});
        const char* names = "1=one|2=two|3=three|199=z";
        textRow("up 2", {"up2", "1|2|3", names, "2|1|3", "1=two|2=one|3=three", ""});
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
        for (const QString& pair : cell("rows").split('|')) {
            const int n = pair.section('=', 0, 0).toInt();
            const QString name = pair.section('=', 1);
            QCOMPARE(rowEdit(n)->text(), name);
            QCOMPARE(settings().className[n], name);
            if (name.isEmpty() && saved) // freshly blanked
                QCOMPARE(rowEdit(n)->styleSheet(), style("#ffffff", "#555555"));
        }
        if (saved)
            QVERIFY(shown().value(shown().indexOf("保存しました") + 1) != "");
    }

    // Colour pickers start from the entry's colour; a cancelled one keeps it. Names are
    // kept but not saved; the file buttons load and save, and a cancelled save says nothing.
    void coloursNamesAndFiles()
    {
        load("1", "1=one|2=two");
        asked().colorAnswers << QColor(10, 20, 30) << QColor();
        press("back1");
        press("fore1");
        QCOMPARE(asked().calls[0].extra + asked().calls[1].extra, "#808080#ffffff");
        QVERIFY(settings().classBack[1] == QColor(10, 20, 30) &&
                settings().classFore[1] == Qt::white);
        QCOMPARE(rowEdit(1)->styleSheet(), style("#ffffff", "#0a141e"));
        rowEdit(7)->setText("seven");
        emit rowEdit(7)->editingFinished();
        QCOMPARE(settings().className[7], "seven");
        QVERIFY(!classFileSaved());
        ui().btnColorRandum->click();
        QCOMPARE(settings().classBack[1], QColor(Qt::red));
        QCOMPARE(rowEdit(2)->styleSheet(),
                 style(settings().classFore[2].name(), settings().classBack[2].name()));

        asked().fileAnswers << dir.file("out.ini") << "";
        ui().btnClassSave->click();
        QCOMPARE(w().statusBar()->currentMessage(), dir.file("out.ini") + " に保存しました");
        QVERIFY(readAll(dir.file("out.ini")).contains("name007=seven"));
        messages->clear();
        ui().btnClassSave->click();
        QVERIFY(shown().isEmpty());
    }

    // A folder where the class file goes: the move is kept in memory, the list is not saved.
    void failedSaveSaysWhy()
    {
        load("1|2", "1=one|2=two");
        const QString target = dir.file("classsetting.ini");
        QVERIFY(QDir(dir.path()).mkdir("classsetting.ini"));
        press("up2");
        const ScriptedPrompts::Call warning = asked().calls.value(0);
        QCOMPARE(warning.kind + warning.title, "warning保存エラー");
        QVERIFY2(warning.text.startsWith(target + " に保存できませんでした。\n") &&
                     !warning.text.section('\n', 1).isEmpty(),
                 qPrintable(warning.text));
        for (const QString& m : shown())
            QVERIFY(!m.contains("保存しました"));
        QCOMPARE(listFile(), "1|2");
        QVERIFY(w().modified && placeColours() == "2|1");
    }
};

QTEST_MAIN(TestClassPanel)
#include "tst_classpanel.moc"
