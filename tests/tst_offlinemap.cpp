// Offline maps in the window: opened from the map menu, shown, remembered.
#include "app/mivaromap.h"
#include "qmapcontrol/projection.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include "support_offline.h"
#include "support_tileserver.h"

#include <QAction>
#include <QDirIterator>
#include <QLabel>
#include <QStatusBar>
#include <QtTest>

using namespace qmapcontrol;

namespace {

const QString fileEntry = QStringLiteral("MBTiles ファイル (.mbtiles)…");
const QString xyzEntry = QStringLiteral("タイルのフォルダ (XYZ: 行番号は北から)…");
const QString tmsEntry = QStringLiteral("タイルのフォルダ (TMS: 行番号は南から)…");

// The map's colour at the middle of tile z/x/y, once the tiles are in.
QRgb colourOfTile(QMapControl* map, int z, int x, int y)
{
    const double n = 1 << z;
    const QPointF at =
        map->toWidgetPoint(projection::fromNormalized({(x + 0.5) / n, (y + 0.5) / n}));
    return map->grab().toImage().pixel(at.toPoint());
}

// Every file under a folder with its content.
QMap<QString, QByteArray> filesUnder(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(it.next(), readAll(it.filePath()));
    return files;
}

} // namespace

class TestOfflineMap : public QObject
{
    Q_OBJECT
    ProgramDirScope dir;
    QTemporaryDir maps;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;

    ScriptedPrompts& asked() { return prompts.prompts(); }
    // A window over provider 1 and no tile server: what it shows comes from the offline map.
    void start(const QStringList& general = {})
    {
        window.reset();
        asked().calls.clear();
        writeAll(dir.file("list.csv"), "");
        const QStringList ini{"[General]",
                              "cache=false",
                              "provider=1",
                              "zoomLevel=2",
                              "coordX=0",
                              "coordY=0",
                              "csv_filename=" + dir.file("list.csv")};
        writeAll(dir.file("mivaromap.ini"), (ini + general).join('\n').toUtf8());
        restart();
    }
    // Closes the window (settings saved) and opens it again from the file.
    void restart()
    {
        window.reset();
        AppSettings::instance().load();
        keepTilesLocal();
        window = std::make_unique<MivaroMap>();
        window->resize(1200, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void open(const QString& entry, const QString& path)
    {
        asked().menuAnswers << entry;
        asked().fileAnswers << path;
        window->offlineOpenMenuAction()->trigger();
    }
    QString label() const { return window->providerStatusLabel()->toolTip(); }

private slots:
    void initTestCase() { initMivaroMapResources(); }
    void cleanup() { window.reset(); }

    void openShowAndRemember_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPointF>("inside"); // a point of the map's extent
        QTest::newRow("MBTiles") << fileEntry << "房総" << QPointF(140.2, 35.4);
        QTest::newRow("folder, XYZ") << xyzEntry << "tiles" << QPointF(0, 0);
        QTest::newRow("folder, TMS") << tmsEntry << "tiles" << QPointF(0, 0);
    }

    void openShowAndRemember()
    {
        QFETCH(QString, entry);
        QFETCH(QString, name);
        QFETCH(QPointF, inside);
        const bool folder = entry != fileEntry;
        const QString path = maps.filePath(folder ? "tiles" : "boso.mbtiles");
        QDir(path).removeRecursively();
        if (folder)
            testoffline::writeTileFolder(path, 1, 3, entry == tmsEntry);
        else
            testoffline::writeMBTiles(path, 1, 3,
                                      {{"name", "房総"}, {"bounds", "139.5,34.8,140.9,36.1"}});
        const auto before = filesUnder(maps.path());
        start();
        QVERIFY(!window->offlineMenuAction()->isVisible());
        QVERIFY(!window->offlineBoundsMenuAction()->isEnabled());

        open(entry, path);
        QCOMPARE(asked().kinds().filter(QRegularExpression("^(menu|open|folder)$")),
                 QStringList({"menu", folder ? "folder" : "open"}));
        const PointWorldCoord at =
            window->map()->mapFocusPointCoord(); // a map elsewhere: shown there
        QVERIFY(qAbs(at.longitude() - inside.x()) < 1 && qAbs(at.latitude() - inside.y()) < 1);
        for (int round = 0; round < (folder ? 1 : 2); ++round) { // shown, then remembered
            if (round)
                restart();
            QAction* offline = window->offlineMenuAction();
            QVERIFY(offline->isVisible() && offline->isChecked());
            QCOMPARE(offline->text(), "(&F) オフライン: " + name);
            QCOMPARE(label(), "マップデータ : " + name);
            QCOMPARE(window->map()->getZoomMinimum(), 1);
            QCOMPARE(window->map()->getZoomMaximum(), 6);
            QVERIFY(window->offlineBoundsMenuAction()->isEnabled());
            window->map()->setZoom(2);
            window->map()->setMapFocusPoint(PointWorldCoord(0, 0));
            for (const QPoint& xy : {QPoint(1, 1), QPoint(2, 1), QPoint(1, 2)})
                QTRY_COMPARE(colourOfTile(window->map(), 2, xy.x(), xy.y()),
                             TestTileServer::tileColor(2, xy.x(), xy.y()).rgb());
        }
        // Read only: not a byte written into the user's map, no journal beside it.
        QCOMPARE(filesUnder(maps.path()), before);
    }

    void badChoiceKeepsTheMap_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("make");
        QTest::addColumn<QString>("message"); // empty: nothing is said (the messages: tst_offline)
        const QString rows[][4] = {
            {"not SQLite", fileEntry, "text", "SQLite のデータベースではありません"},
            {"dialog cancelled", fileEntry, "cancel", ""}};
        for (const auto& r : rows)
            QTest::newRow(qPrintable(r[0])) << r[1] << r[2] << r[3];
    }

    void badChoiceKeepsTheMap()
    {
        QFETCH(QString, entry);
        QFETCH(QString, make);
        QFETCH(QString, message);
        const QString good = dir.file("good.mbtiles");
        for (const QString name : {"good.mbtiles", "bad.mbtiles"})
            QFile::remove(dir.file(name));
        testoffline::writeMBTiles(good, 0, 2);
        QString path = dir.file("bad.mbtiles");
        if (make == "text")
            writeAll(path, "name,x,y\n");
        else
            path = "";

        start({"offline/path=" + good, "offline/shown=false"});
        QCOMPARE(window->offlineMenuAction()->text(), "(&F) オフライン: good");
        open(entry, path);
        QCOMPARE(asked().kinds().filter("warning").size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(asked().calls.last().title, "オフライン地図");
            QVERIFY2(asked().calls.last().text.contains(message),
                     qPrintable(asked().calls.last().text));
        }
        QCOMPARE(label(), "マップデータ : OpenStreatMap");
        QVERIFY(window->providerMenuActions()[1]->isChecked());
        restart();
        QCOMPARE(AppSettings::instance().offlinePath, good);
        QCOMPARE(label(), "マップデータ : OpenStreatMap");
        if (make != "cancel")
            return;
        // The remembered map is gone at the next start: the online one, and why.
        window->offlineMenuAction()->trigger();
        QCOMPARE(label(), "マップデータ : good");
        window.reset();
        QVERIFY(QFile::remove(good));
        restart();
        QCOMPARE(label(), "マップデータ : OpenStreatMap");
        QTRY_VERIFY(window->statusBar()->currentMessage().contains("オフライン地図を開けません"));
        QVERIFY(window->offlineMenuAction()->isVisible());
    }
};

QTEST_MAIN(TestOfflineMap)
#include "tst_offlinemap.moc"
