// Files of other tools on the assembled window: a drop through the event path,
// the preview's choices, add with its duplicate report, undo, failures, export.
#include "app/mivaromap.h"
#include "dialogs/importdialog.h"
#include "formats/formats.h"
#include "records/placefile.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

namespace {

const QByteArray two = "大坂城,135.5259,34.6873,1,1,Image,11,10\n"
                       "富士山,138.7274,35.3606,2,2,Scaled,11,10\n";

QStringList names(const PlaceList& places)
{
    QStringList out;
    for (const auto& p : places)
        out << p->name;
    return out;
}

// A dialog answer: looks at the preview, then presses one of its buttons.
std::function<int(QDialog*)> press(bool load, const std::function<void(ImportDialog*)>& look = {})
{
    return [load, look](QDialog* d) {
        auto* dialog = qobject_cast<ImportDialog*>(d);
        if (!dialog)
            return int(QDialog::Rejected);
        if (look)
            look(dialog);
        (load ? dialog->loadButton() : dialog->addButton())->click();
        return dialog->result();
    };
}

} // namespace

class Window
{
public:
    Window()
    {
        writeAll(dir.file("list.csv"), two);
        AppSettings::instance().load();
        keepTilesLocal();
        AppSettings::instance().csv_filename = dir.file("list.csv");
        window = std::make_unique<MivaroMap>();
        window->resize(1000, 700);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
    }
    ScriptedPrompts& asked() { return prompts.prompts(); }
    QString file(const QString& name, const QByteArray& bytes)
    {
        writeAll(dir.file(name), bytes);
        return dir.file(name);
    }
    // Drags files over the map and drops them there; whether the window took the drag.
    bool drop(const QList<QUrl>& urls)
    {
        QWidget* target = window->map();
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at(target->width() / 2, target->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents();
        return dropped.isAccepted();
    }

    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
};

class TestImportWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initMivaroMapResources(); }

    // A CP932 spreadsheet dropped on the map: the preview shows it decoded and
    // mapped, the chosen defaults fill the rest, and undo brings the old list back.
    void dropCp932Spreadsheet()
    {
        Window s;
        const QString path =
            s.file("club.csv", readAll(TEST_DATA_DIR "/formats/cp932_latfirst.csv"));
        QVERIFY(!s.drop({QUrl("https://example.invalid/a.csv")}));
        s.asked().dialogAnswers << press(true, [](ImportDialog* d) {
            QCOMPARE(d->encodingBox()->currentText(), "Shift_JIS (CP932)");
            QVERIFY(d->headerBox()->isChecked());
            QCOMPARE(d->columnBox(1)->currentText(), "3: 経度");
            QCOMPARE(d->previewTable()->item(1, 0)->text(), "姫路城");
            QCOMPARE(d->skippedText()->toPlainText(),
                     "4 行目: 座標が数ではありません（経度 北緯、緯度 35.0）");
            d->defaultBox(3)->setValue(7);
            QCOMPARE(d->previewTable()->item(0, 3)->text(), "7");
            // Swapping the columns by hand is read at once (and gives nothing useful here).
            d->columnBox(1)->setCurrentIndex(d->columnBox(1)->findData(1));
            QCOMPARE(d->previewTable()->item(0, 1)->text(), "34.6873");
            d->columnBox(1)->setCurrentIndex(d->columnBox(1)->findData(2));
        });
        QVERIFY(s.drop({QUrl::fromLocalFile(path)}));
        QCOMPARE(s.asked().kinds(), QStringList({"dialog"}));
        QCOMPARE(s.asked().calls[0].title, "インポート - club.csv");
        QCOMPARE(names(s.window->places), QStringList({"大坂城", "姫路城"}));
        QCOMPARE(s.window->places[1]->color, "7");
        QCOMPARE(s.window->places[1]->x, "134.6939");
        QVERIFY(s.window->modified);
        QCOMPARE(s.window->currentFile, s.dir.file("list.csv"));
        s.window->editHistory()->undo();
        QCOMPARE(s.window->places[1]->name, "富士山");
        s.window->editHistory()->redo();
        QCOMPARE(s.window->places[1]->name, "姫路城");
    }

    // Added, the GPX's copy of a listed place stays out and its namesake is reported;
    // one undo takes the whole addition back.
    void addReportsDuplicates()
    {
        Window s;
        const QString path =
            s.file("trip.gpx", "<gpx><wpt lat='34.6873' lon='135.5259'><name>大坂城</name></wpt>"
                               "<wpt lat='35.0' lon='139.0'><name>富士山</name></wpt>"
                               "<wpt lat='36.0' lon='140.0'><name>新</name></wpt></gpx>");
        s.asked().dialogAnswers << press(false);
        QVERIFY(s.window->openFile(path));
        QCOMPARE(names(s.window->places), QStringList({"大坂城", "富士山", "富士山", "新"}));
        QCOMPARE(s.asked().calls.last().text,
                 "同じ名前で違う座標のデータが存在します。\n\n2 : 富士山\n");
        QCOMPARE(s.window->statusBar()->currentMessage(), "trip.gpx から 2 件を追加しました");
        s.window->editHistory()->undo();
        QCOMPARE(names(s.window->places), QStringList({"大坂城", "富士山"}));
    }

    // Our own list loads as " CSV Load" does; a broken file or a cancelled preview changes nothing.
    void ownListAndFailures()
    {
        Window s;
        const QString own = s.file("own.csv", "江戸城,139.7528,35.6852,3,3,Circle,11,10\n");
        QVERIFY(s.window->openFile(own));
        QCOMPARE(s.window->currentFile, own);
        QVERIFY(s.asked().calls.isEmpty() && !s.window->modified);

        const QString broken = s.file("broken.kml", "<kml><Placemark>\n</kml>");
        QVERIFY(!s.window->openFile(broken));
        QCOMPARE(s.asked().kinds(), QStringList({"warning"}));
        QVERIFY(s.asked().calls.last().text.startsWith(broken + "\nKML を読めません（2 行 6 列）"));
        QVERIFY(!s.window->openFile(s.file("t.geojson",
                                           "{\"type\":\"Feature\",\"geometry\":"
                                           "{\"type\":\"Point\",\"coordinates\":[1,2]}}")));
        QCOMPARE(s.asked().kinds(), QStringList({"warning", "dialog"}));
        QCOMPARE(names(s.window->places), QStringList({"江戸城"}));
        QVERIFY(!s.window->modified && !s.window->editHistory()->canUndo());
    }

    // Only the marked places when the user says so, through the one writer; read back whole.
    void exportMarked()
    {
        Window s;
        s.window->places[1]->marked = true;
        const QString out = s.dir.file("out.kml");
        s.asked().buttonAnswers << QMessageBox::Yes;
        s.asked().fileAnswers << out;
        s.window->exportMenuAction()->trigger();
        QCOMPARE(s.asked().kinds(), QStringList({"question", "save"}));
        const formats::ImportResult back = formats::importFile(out);
        QCOMPARE(names(back.places), QStringList({"富士山"}));
        QCOMPARE(back.places[0]->shape, "Scaled");
        QCOMPARE(s.window->statusBar()->currentMessage(), out + " に 1 件を書き出しました");

        s.asked().buttonAnswers << QMessageBox::No;
        s.asked().fileAnswers << s.dir.file("out.txt");
        s.window->exportMenuAction()->trigger();
        QCOMPARE(s.asked().kinds().last(), "warning");
        QVERIFY(!QFile::exists(s.dir.file("out.txt")));
    }
};

QTEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
