// Files of other tools on the assembled window: the wiring only (the formats are
// read and written in tst_formats).
#include "app/mivaromap.h"
#include "dialogs/importdialog.h"
#include "formats/formats.h"
#include "records/placefile.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
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

class TestImportWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<ProgramDirScope> dir;
    std::unique_ptr<PromptScope> prompts;
    std::unique_ptr<MivaroMap> w;

    ScriptedPrompts& asked() { return prompts->prompts(); }
    QString file(const QString& name, const QByteArray& bytes)
    {
        writeAll(dir->file(name), bytes);
        return dir->file(name);
    }
    // Drags files over the map and drops them there; whether the window took the drag.
    bool drop(const QList<QUrl>& urls)
    {
        QWidget* target = w->map();
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at(target->width() / 2, target->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents(); // the file is read after the drop returns
        return dropped.isAccepted();
    }

private slots:
    void initTestCase() { initMivaroMapResources(); }
    void init()
    {
        dir = std::make_unique<ProgramDirScope>();
        prompts = std::make_unique<PromptScope>();
        writeAll(dir->file("list.csv"), two);
        AppSettings::instance().load();
        keepTilesLocal();
        AppSettings::instance().csv_filename = dir->file("list.csv");
        w = std::make_unique<MivaroMap>();
        w->resize(1000, 700);
    }
    void cleanup()
    {
        w.reset();
        prompts.reset();
        dir.reset();
    }

    // A CP932 spreadsheet dropped on the map: the preview shows it decoded, a changed
    // choice is read at once, the chosen defaults fill the rest; undo brings the old list.
    void dropAndLoad()
    {
        const QString path = file("club.csv", readAll(TEST_DATA_DIR "/formats/cp932_latfirst.csv"));
        QVERIFY(!drop({QUrl("https://example.invalid/a.csv")}));
        asked().dialogAnswers << press(true, [](ImportDialog* d) {
            QCOMPARE(d->encodingBox()->currentText(), "Shift_JIS (CP932)");
            QCOMPARE(d->previewTable()->item(1, 0)->text(), "姫路城");
            d->defaultBox(3)->setValue(7);
            QCOMPARE(d->previewTable()->item(0, 3)->text(), "7");
            d->columnBox(1)->setCurrentIndex(d->columnBox(1)->findData(1));
            QCOMPARE(d->previewTable()->item(0, 1)->text(), "34.6873");
            d->columnBox(1)->setCurrentIndex(d->columnBox(1)->findData(2));
        });
        QVERIFY(drop({QUrl::fromLocalFile(path)}));
        QCOMPARE(asked().kinds(), QStringList({"dialog"}));
        QCOMPARE(asked().calls[0].title, "インポート - club.csv");
        QCOMPARE(names(w->places), QStringList({"大坂城", "姫路城"}));
        QCOMPARE(w->places[1]->color + w->places[1]->x, "7134.6939");
        QVERIFY(w->modified && w->currentFile == dir->file("list.csv"));
        w->editHistory()->undo();
        QCOMPARE(w->places[1]->name, "富士山");
        w->editHistory()->redo();
        QCOMPARE(w->places[1]->name, "姫路城");
    }

    // Added: the copy of a listed place stays out, its namesake is reported; one undo.
    void addReportsDuplicates()
    {
        const QString path =
            file("trip.gpx", "<gpx><wpt lat='34.6873' lon='135.5259'><name>大坂城</name></wpt>"
                             "<wpt lat='35.0' lon='139.0'><name>富士山</name></wpt>"
                             "<wpt lat='36.0' lon='140.0'><name>新</name></wpt></gpx>");
        asked().dialogAnswers << press(false);
        QVERIFY(w->openFile(path));
        QCOMPARE(names(w->places), QStringList({"大坂城", "富士山", "富士山", "新"}));
        QVERIFY(asked().calls.last().text.endsWith("2 : 富士山\n"));
        QCOMPARE(w->statusBar()->currentMessage(), "trip.gpx から 2 件を追加しました");
        w->editHistory()->undo();
        QCOMPARE(names(w->places), QStringList({"大坂城", "富士山"}));
    }

    // Our own list loads as " CSV Load" does; a broken file or a cancelled preview changes nothing.
    void ownListAndFailures()
    {
        const QString own = file("own.csv", "江戸城,139.7528,35.6852,3,3,Circle,11,10\n");
        QVERIFY(w->openFile(own));
        QCOMPARE(w->currentFile, own);
        QVERIFY(asked().calls.isEmpty() && !w->modified);
        const QString broken = file("broken.kml", "<kml><Placemark>\n</kml>");
        QVERIFY(!w->openFile(broken));
        QCOMPARE(asked().kinds(), QStringList({"warning"}));
        QVERIFY(asked().calls.last().text.startsWith(broken + "\nKML を読めません"));
        QVERIFY(!w->openFile(file("t.geojson", "{\"type\":\"Feature\",\"geometry\":"
                                               "{\"type\":\"Point\",\"coordinates\":[1,2]}}")));
        QCOMPARE(asked().kinds(), QStringList({"warning", "dialog"}));
        QCOMPARE(names(w->places), QStringList({"江戸城"}));
        QVERIFY(!w->modified && !w->editHistory()->canUndo());
    }

    // Only the marked places when the user says so; a file that cannot be written warns.
    void exportMarked()
    {
        w->places[1]->marked = true;
        const QString out = dir->file("out.kml");
        asked().buttonAnswers << QMessageBox::Yes << QMessageBox::No;
        asked().fileAnswers << out << dir->file("out.txt");
        w->exportMenuAction()->trigger();
        QCOMPARE(asked().kinds(), QStringList({"question", "save"}));
        const formats::ImportResult back = formats::importFile(out);
        QCOMPARE(names(back.places), QStringList({"富士山"}));
        QCOMPARE(back.places[0]->shape, "Scaled");
        QCOMPARE(w->statusBar()->currentMessage(), out + " に 1 件を書き出しました");
        w->exportMenuAction()->trigger();
        QCOMPARE(asked().kinds().last(), "warning");
        QVERIFY(!QFile::exists(dir->file("out.txt")));
    }
};

QTEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
