// The assembled main window; every tile address points to a server on 127.0.0.1 started here.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "map/markers.h"
#include "qmapcontrol/layeroverview.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QtTest>

using qmapcontrol::PointWorldCoord;

namespace {

const QByteArray castles = "大坂城,135.5259,34.6873,1,1,Image,11,10\n"
                           "富士山,138.7274,35.3606,2,2,Scaled,11,10\n"
                           "江戸城,139.7528,35.6852,3,3,Circle,11,10\n"
                           "名古屋城,136.8995,35.1856,4,4,Image,11,10\n";

QString names(const qmapcontrol::LayerGeometry& layer)
{
    QStringList out;
    for (const auto& g : layer.geometries())
        out << g->metadata(QStringLiteral("name")).toString();
    return out.join(' ');
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    TestTileServer server;
    std::unique_ptr<ProgramDirScope> dir;
    std::unique_ptr<PromptScope> prompts;
    std::unique_ptr<MivaroMap> window;

    MivaroMap& w() { return *window; }
    qmapcontrol::QMapControl* map() { return window->map(); }
    Ui::MainWindow& ui() { return *window->form(); }
    ScriptedPrompts& asked() { return prompts->prompts(); }
    QString status() const { return window->statusBar()->currentMessage(); }
    QString file(const QString& name) const { return dir->file(name); }

    // A window over list.csv (none when csv is null) and these [General] settings.
    void start(const QByteArray& csv = castles, const QStringList& general = {})
    {
        if (!csv.isNull())
            writeAll(file("list.csv"), csv);
        QStringList ini{"[General]", "csv_filename=" + file("list.csv")};
        if (general.filter(QRegularExpression("^cache=")).isEmpty())
            ini << "cache=false";
        ini << general << "[tiles]";
        for (const QString provider : {"google", "osm", "stamen", "gsi"})
            ini << provider + "=" + server.urlTemplate("/" + provider + "/{z}/{x}/{y}.png");
        writeAll(file("mivaromap.ini"), ini.join('\n').toUtf8());
        AppSettings::instance().load();
        window = std::make_unique<MivaroMap>();
        window->glideStepInterval = {};
    }
    bool show(const QSize& size = QSize(1200, 800), bool active = false)
    {
        window->resize(size);
        window->show();
        window->activateWindow();
        return active ? QTest::qWaitForWindowActive(window.get())
                      : QTest::qWaitForWindowExposed(window.get());
    }

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        QVERIFY(server.isListening());
    }
    void init()
    {
        dir = std::make_unique<ProgramDirScope>();
        prompts = std::make_unique<PromptScope>();
    }
    void cleanup()
    {
        window.reset();
        prompts.reset();
        dir.reset();
    }

    // First: no window of another test has tile requests left in flight.
    void tilesFromTheConfiguredServer()
    {
        server.clearRequests();
        QTemporaryDir cache;
        start(QByteArray(), {"provider=1", "cache=false", "cache_path=" + cache.path()});
        QVERIFY(!w().cacheMenuAction()->isChecked());
        w().cacheMenuAction()->trigger();
        QVERIFY(show());
        // 455/201 is the tile of the start position 139.949, 35.7153 at zoom 9.
        QTRY_VERIFY_WITH_TIMEOUT(server.paths().contains("/osm/9/455/201.png"), 20000);
        for (const QString& p : server.paths().filter(QRegularExpression("^/osm/")))
            QVERIFY2(p.startsWith(QStringLiteral("/osm/9/")), qPrintable(p));
        const QPoint centre = map()->rect().center();
        QTRY_COMPARE_WITH_TIMEOUT(map()->grab().toImage().pixel(centre),
                                  TestTileServer::tileColor(9, 455, 201).rgb(), 20000);
        // Kept in the folder the settings name, not in the default one beside the program.
        QTRY_VERIFY(
            QDirIterator(cache.path(), QDir::Files, QDirIterator::Subdirectories).hasNext());
        QVERIFY(!QFileInfo::exists(file("cache")));
        w().providerMenuActions()[3]->trigger(); // another provider: its own address
        QTRY_VERIFY_WITH_TIMEOUT(server.paths().contains("/gsi/9/455/201.png"), 20000);
    }

    void tileFailuresInTheStatusBar()
    {
        server.setResponse("/osm/9/455/201.png", {404, "text/plain", "gone", {}});
        start(QByteArray(), {"provider=1"});
        QVERIFY(show());
        const QString head = QStringLiteral("地図タイルを取得できません: ");
        QTRY_COMPARE_WITH_TIMEOUT(status(), head + "HTTP 404", 20000);
        QStatusBar* bar = w().statusBar();
        QCOMPARE(bar->toolTip(), head + "HTTP 404");
        // Too long for the room beside the labels: cut with "…", whole in the tooltip.
        const QString reason =
            QStringLiteral("ホスト tile.openstreetmap.org が見つかりません").repeated(3);
        emit map()->tileLoadError(reason);
        QVERIFY2(status().startsWith(head + "ホスト") && status().endsWith(QChar(0x2026)),
                 qPrintable(status()));
        QCOMPARE(bar->toolTip(), head + reason);
        server.setResponse("/osm/9/455/201.png",
                           {200, "image/png", TestTileServer::tilePng(9, 455, 201), {}});
        // Taken back once the tiles load, but never a message that came after it.
        emit map()->tileLoadError(QString());
        QVERIFY(status().isEmpty() && bar->toolTip().isEmpty());
        emit map()->tileLoadError(QStringLiteral("HTTP 500"));
        bar->showMessage("X=1 Y=2");
        emit map()->tileLoadError(QString());
        QCOMPARE(status(), QStringLiteral("X=1 Y=2"));
    }

    // From the settings, then from the menu: label, zoom range and zoom, whole in a
    // narrow status bar; the place layers lie between the base map and the overview.
    void providers()
    {
        start(castles, {"provider=7", "zoomLevel=17", "sort=8",
                        "columnWidth=\"60,80,70,70,70,70,70,70\""}); // 7 is GSI
        QVERIFY(show(QSize(765, 645)));
        const char* labels[] = {"Google", "OpenStreatMap", "Stamen Design", "国土地理院 白地図"};
        int zoom = 17;
        const QList<int> sequence{3, 2, 0, 3, 1};
        for (int i = 0; i < sequence.size(); ++i) {
            const int next = sequence[i];
            if (i > 0)
                w().providerMenuActions()[next]->trigger();
            zoom = next == 2 ? 12 : zoom;
            for (int i = 0; i < 4; ++i)
                QCOMPARE(w().providerMenuActions()[i]->isChecked(), i == next);
            QCOMPARE(AppSettings::instance().provider, next);
            QCOMPARE(w().providerStatusLabel()->text(),
                     "マップデータ : " + QString::fromUtf8(labels[next]));
            QCOMPARE(map()->getZoomMinimum(), next == 2 ? 5 : 0);
            QCOMPARE(map()->getZoomMaximum(), next == 2 ? 12 : 17);
            QCOMPARE(w().zoomStatusLabel()->text(), QStringLiteral("ZoomLevel: %1").arg(zoom));
        }
        const auto& layers = map()->layers();
        QCOMPARE(layers.size(), 12u);
        QCOMPARE(layers[0]->name() + layers[1]->name(), QStringLiteral("MapNotes"));
        QCOMPARE(layers[2], w().markerLayers()[0]);
        QCOMPARE(layers[11].get(), static_cast<qmapcontrol::Layer*>(w().overview()));
        QStringList shown;
        for (const auto& layer : w().markerLayers())
            shown << names(*layer);
        QCOMPARE(shown.join('|'), QStringLiteral("大坂城|富士山|江戸城|名古屋城|||||"));
        // The saved sort and widths are taken at start and written back at exit.
        QCOMPARE(w().currentSortMode(), 8);
        QCOMPARE(ui().tableView->columnWidth(1), 80);
        emit ui().tableView->horizontalHeader()->sectionClicked(1);
        ui().tableView->setColumnWidth(2, 123);
        window.reset();
        QCOMPARE(AppSettings::instance().sort, 3);
        QCOMPARE(AppSettings::instance().columnWidth.value(2), 123);
    }

    // Ctrl+F from any page; Return, 次へ and F3 step on, Shift+F3 back, the table follows;
    // a miss beeps and asks the web. F1 presses the help button of the page in sight only.
    void search()
    {
        start();
        QVERIFY(show(QSize(1200, 800), true));
        ui().tabWidget->setCurrentIndex(2);
        QTest::keyClick(&w(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(ui().tabWidget->currentIndex(), 0);
        QTRY_VERIFY(ui().lineEdit->hasFocus());
        ui().lineEdit->setText(QStringLiteral("城"));
        QStringList hits;
        QString missed;
        const auto hit = [&] {
            hits << QString::number(ui().tableView->currentIndex().row());
            missed = hits.last() == "-1" && missed.isEmpty() ? status() : missed;
        };
        QTest::keyClick(ui().lineEdit, Qt::Key_Return);
        hit();
        QTest::mouseClick(ui().btnNext, Qt::LeftButton);
        hit();
        for (auto mods :
             {Qt::NoModifier, Qt::NoModifier, Qt::NoModifier, Qt::NoModifier, Qt::ShiftModifier}) {
            QTest::keyClick(&w(), Qt::Key_F3, mods);
            hit();
        }
        QCOMPARE(hits.join(' '), QStringLiteral("0 2 3 -1 0 2 0"));
        QCOMPARE(missed, QStringLiteral("城 は見つかりませんでした。Google Map で検索します"));
        QCOMPARE(asked().kinds(), QStringList({"beep", "url"}));
        QSignalSpy spies[] = {{ui().btnHelp1, &QAbstractButton::pressed},
                              {ui().btnHelp2, &QAbstractButton::pressed},
                              {ui().btnHelp3, &QAbstractButton::pressed}};
        for (int page = 0; page < 3; ++page) {
            ui().tabWidget->setCurrentIndex(page);
            QTest::keyClick(&w(), Qt::Key_F1);
            for (int other = 0; other < 3; ++other)
                QCOMPARE(spies[other].count(), other <= page ? 1 : 0);
        }
    }

    // The pointer's position and the right-click menu.
    void mapMouse()
    {
        start();
        QVERIFY(show());
        // Longitude and latitude to five decimals while the pointer is over the map.
        QLabel* pointer = w().pointerStatusLabel();
        const QPoint at = map()->rect().center() + QPoint(31, -17);
        const PointWorldCoord c = map()->toPointWorldCoord(at);
        QMouseEvent move(QEvent::MouseMove, at, map()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         {});
        QApplication::sendEvent(map(), &move);
        QCOMPARE(pointer->text(), QString::number(c.longitude(), 'f', 5) + ", " +
                                      QString::number(c.latitude(), 'f', 5));
        emit map()->mouseEventMoveCoordinate(&move, PointWorldCoord(135.5259, 34.6873));
        QCOMPARE(pointer->text(), QStringLiteral("135.52590, 34.68730"));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(map(), &leave);
        QVERIFY(pointer->text().isEmpty() && !pointer->isVisible()); // its room goes back

        // No pixel lands exactly on this: a place layer's signal carries it.
        const PointWorldCoord point(139.949, 35.7153);
        asked().menuAnswers << QStringLiteral("XY座標をクリップボードにコピー");
        emit w().markerLayers()[8]->mouseRightClicked(point);
        const QString text = QStringLiteral("139.94900000000001, 35.71530000000000");
        QCOMPARE(QApplication::clipboard()->text(), text);
        QCOMPARE(status(), text + QStringLiteral("をクリップボードにコピーしました"));
    }

    // The title names the open list and stars unsaved changes; Ctrl+S saves to that list
    // with the daily backup, Ctrl+O loads another.
    void titleAndFileKeys()
    {
        start();
        QVERIFY(show(QSize(1200, 800), true));
        const QString list = file("list.csv");
        const QString title = QStringLiteral("MivaroMap Ver 0.70 - ");
        QCOMPARE(w().windowTitle(), title + "list.csv");
        setModified(list, QDateTime::currentDateTime().addDays(-2));
        const auto save = [&](const QString& name) {
            w().places[0]->name = name;
            w().modified = true;
            w().refreshPlaces();
            QCOMPARE(w().windowTitle(), title + "list.csv*");
            QTest::keyClick(&w(), Qt::Key_S, Qt::ControlModifier);
        };
        save(QStringLiteral("大阪城"));
        QCOMPARE(w().windowTitle(), title + "list.csv");
        QCOMPARE(status(), list + QStringLiteral(" に保存しました"));
        QVERIFY(readAll(list).contains("大阪城,135.5259") && !w().modified);
        QCOMPARE(readAll(list + ".bak1"), castles);
        writeAll(file("other.csv"), castles);
        w().modified = true;
        asked().buttonAnswers << QMessageBox::No; // the edits are not wanted
        asked().fileAnswers << file("other.csv");
        QTest::keyClick(&w(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(asked().kinds().filter(QRegularExpression("^(open|question)$")).join(' '),
                 QStringLiteral("open question"));
        QCOMPARE(w().windowTitle(), title + "other.csv");
    }

    // Closing when the settings cannot be written: try again after freeing space, stay
    // open, or close without saving; only the last loses the edits.
    void closeOnFullDisk_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("retry after freeing space") << int(QMessageBox::Retry);
        QTest::newRow("stay open") << int(QMessageBox::Cancel);
        QTest::newRow("close without saving") << int(QMessageBox::Discard);
    }
    void closeOnFullDisk()
    {
        QFETCH(int, answer);
        start();
        QVERIFY(show());
        const auto edited = [&] {
            AppSettings file;
            file.loadClasses(dir->file("classsetting.ini"));
            return file.className[5] == QStringLiteral("編集した分類");
        };
        AppSettings::instance().className[5] = "編集した分類";
        auto full = std::make_unique<FileSizeLimit>(64);
        asked().buttonAnswers << QMessageBox::StandardButton(answer);
        if (answer == QMessageBox::Retry) // space freed while the message is up
            asked().onMessage = [&](const ScriptedPrompts::Call&) { full.reset(); };
        const bool closed = w().close();
        full.reset();
        QCOMPARE(asked().kinds(), QStringList{"warning"});
        QVERIFY(asked().calls[0].text.contains(QStringLiteral("ファイルが大きすぎます")));
        QVERIFY(closed != w().isVisible() && closed == (answer != QMessageBox::Cancel));
        QCOMPARE(edited(), answer == QMessageBox::Retry);
        if (answer == QMessageBox::Cancel)
            QVERIFY(w().close() && edited()); // space freed: the next close saves
        window.reset();                       // writes and asks nothing more
        QCOMPARE(asked().calls.size(), 1);
        QCOMPARE(edited(), answer != QMessageBox::Discard);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
