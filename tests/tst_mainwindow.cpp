// The assembled main window; every tile address points to a server on 127.0.0.1 started here.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "map/markers.h"
#include "qmapcontrol/layeroverview.h"
#include "qmapcontrol/zoomcontrols.h"
#include "records/tablemodel.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QtTest>

using qmapcontrol::PointWorldCoord;

namespace {

const QByteArray castles = "大坂城,135.5259,34.6873,1,1,Image,11,10\n"
                           "富士山,138.7274,35.3606,2,2,Scaled,11,10\n"
                           "江戸城,139.7528,35.6852,3,3,Circle,11,10\n"
                           "名古屋城,136.8995,35.1856,4,4,Image,11,10\n";

QStringList names(const TableModel* model)
{
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->data(model->index(row, 0)).toString();
    return out;
}

QString names(const qmapcontrol::LayerGeometry& layer)
{
    QStringList out;
    for (const auto& g : layer.geometries())
        out << g->metadata(QStringLiteral("name")).toString();
    return out.join(' ');
}

// Tiles are saturated, so one of their colour values is low; the attribution box is light.
int darkest(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return std::min({qRed(p), qGreen(p), qBlue(p)});
}

// QTest's mouse move carries no held button.
void dragTo(QWidget* widget, const QPoint& pos, Qt::KeyboardModifiers mods = {})
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                     mods);
    QApplication::sendEvent(widget, &move);
}

void dragSplitter(QSplitter* splitter, int dx)
{
    QWidget* handle = splitter->handle(1);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    dragTo(handle, grip + QPoint(dx, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(dx, 0));
}

QString xy(const PointWorldCoord& c, const QString& between)
{
    return QString::number(c.longitude(), 'f', 14) + between +
           QString::number(c.latitude(), 'f', 14);
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
        start(castles, {"provider=7", "zoomLevel=17"}); // 7 is GSI
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
    }

    // The saved sort at start, then header clicks; the markers follow the order, and the
    // sort and a column width set by hand are saved at exit.
    void sortAndColumns()
    {
        start("b,139.5,35.1,2,1,Image,11,10\n"
              "a,99.5,35.2,1,1,Image,11,10\n"
              "c,100.25,35.3,3,1,Image,11,10\n",
              {"sort=8"});
        QVERIFY(show());
        QHeaderView* header = ui().tableView->horizontalHeader();
        const QPoint column1(header->sectionViewportPosition(1) + header->sectionSize(1) / 2,
                             header->height() / 2);
        for (auto [mode, order] :
             {std::pair{8, "c b a"}, {3, "a c b"}, {4, "b c a"}, {3, "a c b"}}) {
            if (mode != 8)
                QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, column1);
            QCOMPARE(w().currentSortMode(), mode);
            QCOMPARE(header->sortIndicatorSection(), (mode - 1) / 2);
            QCOMPARE(header->sortIndicatorOrder(),
                     mode % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
            QCOMPARE(names(w().dataTableModel()).join(' '), QString(order));
            QCOMPARE(names(*w().markerLayers()[0]), QString(order));
        }
        QList<int> widths;
        header->resizeSection(2, 123);
        for (int c = 0; c < 8; ++c)
            widths << ui().tableView->columnWidth(c);
        window.reset();
        QCOMPARE(AppSettings::instance().sort, 3);
        QCOMPARE(AppSettings::instance().columnWidth, widths);
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

    // The pointer's position, a box drawn with Shift, the right-click menu, presses.
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

        // Shift and a drag of 40 pixels around 江戸城: the bulk page with it alone.
        map()->setMapFocusPoint(PointWorldCoord(139.7528, 35.6852));
        const QPoint centre = map()->toWidgetPoint(PointWorldCoord(139.7528, 35.6852)).toPoint();
        const QPoint from = centre - QPoint(20, 20), to = centre + QPoint(20, 20);
        const PointWorldCoord a = map()->toPointWorldCoord(from);
        const PointWorldCoord b = map()->toPointWorldCoord(to);
        QTest::mousePress(map(), Qt::LeftButton, Qt::ShiftModifier, from);
        dragTo(map(), centre, Qt::ShiftModifier);
        dragTo(map(), to, Qt::ShiftModifier);
        QTest::mouseRelease(map(), Qt::LeftButton, Qt::ShiftModifier, to);
        QCOMPARE(ui().le_startX->text() + ", " + ui().le_startY->text(), xy(a, ", "));
        QCOMPARE(ui().le_endX->text() + ", " + ui().le_endY->text(), xy(b, ", "));
        QCOMPARE(ui().tabWidget->currentIndex(), 2);
        QCOMPARE(names(w().bulkTableModel()), QStringList{"江戸城"});
        QCOMPARE(map()->toPointWorldCoord(from), a); // the map did not pan under the box

        // No pixel lands exactly on this: a place layer's signal carries it.
        const PointWorldCoord point(139.949, 35.7153);
        asked().menuAnswers << QStringLiteral("XY座標をクリップボードにコピー");
        emit w().markerLayers()[8]->mouseRightClicked(point);
        const QString text = QStringLiteral("139.94900000000001, 35.71530000000000");
        QCOMPARE(QApplication::clipboard()->text(), text);
        QCOMPARE(status(), text + QStringLiteral("をクリップボードにコピーしました"));
    }

    void splitterSnapsToTables_data()
    {
        QTest::addColumn<QString>("widths");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("pane");
        // The tab widget's own limits (560 to 600) hold the pane in any case.
        const QString given = QStringLiteral("60,80,70,70,70,70,70,70");
        QTest::newRow("at the tables' width: left alone") << given << 560 << 560;
        QTest::newRow("wider than the tables: snaps to +40") << given << 585 << 600;
    }
    void splitterSnapsToTables()
    {
        QFETCH(QString, widths);
        QFETCH(int, position);
        QFETCH(int, pane);
        start(castles, {"columnWidth=\"" + widths + "\""});
        for (int c = 0; c < 8; ++c)
            QCOMPARE(ui().tableView_2->columnWidth(c), widths.section(',', c, c).toInt());
        QCOMPARE(w().mapTableWidth(), 560);
        QVERIFY(show());
        QSignalSpy moved(ui().splitter, &QSplitter::splitterMoved);
        dragSplitter(ui().splitter, position - ui().splitter->sizes().at(0));
        QCOMPARE(moved.value(moved.size() - 1).value(0).toInt(), position);
        QCOMPARE(ui().splitter->sizes().at(0), pane);
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
        asked().buttonAnswers << QMessageBox::No; // the edits are not wanted
        asked().fileAnswers << file("other.csv");
        QTest::keyClick(&w(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(asked().kinds().filter("open").size(), 1);
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

    // Below the markers' zooms every place is a dot; a hidden layer takes its dots along;
    // the switch is remembered.
    void overviewFromTheMenus()
    {
        start(castles, {"zoomLevel=5", "coordX=137.5", "coordY=35.5"});
        QVERIFY(show());
        const auto point = [&](int layer) {
            return static_cast<const qmapcontrol::GeometryPoint*>(
                w().markerLayers()[std::size_t(layer)]->geometries().at(0).get());
        };
        const auto dots = [&] {
            int n = 0;
            for (const auto& c : w().overview()->clusters(map()->getCurrentZoom()))
                n += c.count;
            return n;
        };
        QVERIFY(w().overviewMenuAction()->isChecked());
        QCOMPARE(dots(), 4);
        w().layerMenuActions()[0]->trigger();
        QVERIFY(!w().markerLayers()[0]->isVisible());
        QCOMPARE(dots(), 3);
        // All places shown, as large as they fit.
        w().showAllMenuAction()->trigger();
        QVERIFY(map()->getCurrentZoom() > 5);
        for (int layer : {1, 2, 3})
            QVERIFY(map()->rect().contains(map()->toWidgetPoint(point(layer)->coord()).toPoint()));

        w().overviewMenuAction()->trigger();
        QVERIFY(!w().overview()->isVisible());
        // Without the overview the scaled label shows at every zoom again.
        QCOMPARE(w().markerLayers()[1]->geometries().at(0)->zoomMinimum(), 0);
        window.reset();
        AppSettings::instance().overview = true;
        AppSettings::instance().load();
        QCOMPARE(AppSettings::instance().overview, false);
        window = std::make_unique<MivaroMap>();
        QVERIFY(!w().overviewMenuAction()->isChecked() && !w().overview()->isVisible());
    }

    void exportPicture_data()
    {
        QTest::addColumn<QString>("answer"); // in the program directory; "" cancels
        QTest::newRow("the screen") << "map";
        QTest::newRow("cancel") << "";
        QTest::newRow("missing folder") << "gone/map.png";
    }
    // A measurement (armed from the menu) lives through the export of the screen.
    void exportPicture()
    {
        QFETCH(QString, answer);
        const bool saved = answer == "map";
        start(castles, {"provider=1"});
        QVERIFY(show(QSize(1000, 700)));
        const int w = map()->width(), h = map()->height();
        // Tiles in every corner, above the attribution box and the scale bar too.
        if (saved)
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    const QImage shot = map()->grab().toImage();
                    return darkest(shot, 2, 2) < 100 && darkest(shot, w - 2, h - 30) < 100 &&
                           darkest(shot, 2, h - 30) < 100;
                }(),
                20000);
        window->distanceMenuAction()->trigger();
        QTest::mouseClick(map(), Qt::LeftButton, {}, map()->rect().center());
        const QString before = status();
        const QStringList files = QDir(dir->path()).entryList(QDir::Files);
        const QString path = answer.isEmpty() ? QString() : file(answer);
        asked().fileAnswers << path;
        asked().dialogAnswers << [](QDialog*) { return int(QDialog::Accepted); };
        ui().btnMapImageSave->click();
        const auto& calls = asked().calls;
        QCOMPARE(calls.value(0).kind + "|" + calls.value(0).title,
                 QStringLiteral("dialog|画像保存"));
        QCOMPARE(calls.value(1).kind + "|" + calls.value(1).title + "|" + calls.value(1).text,
                 "save|Save as file|" + file("mapimage.png"));
        QCOMPARE(calls.value(1).parent, window.get());
        QVERIFY(map()->zoomControls()->isVisible() && map()->updatesEnabled());
        if (saved) {
            QCOMPARE(asked().kinds(), QStringList({"dialog", "save"}));
            QCOMPARE(status(), path + QStringLiteral(" に保存しました"));
            const QByteArray bytes = readAll(path);
            QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
            const QImage picture =
                QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_ARGB32);
            map()->enableZoomControls(false);
            const QImage bare = map()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
            map()->enableZoomControls(true);
            QVERIFY(picture == bare);
            QVERIFY(picture != map()->grab().toImage().convertToFormat(QImage::Format_ARGB32));
            // The attribution box lies light over the tiles bottom right.
            QVERIFY(darkest(picture, w - 2, h - 2) >= 189 && darkest(picture, w - 2, h - 30) < 100);
        } else {
            QCOMPARE(status(), before);
            QCOMPARE(QDir(dir->path()).entryList(QDir::Files), files);
            QCOMPARE(asked().kinds().mid(2),
                     answer.isEmpty() ? QStringList() : QStringList{"warning"});
            if (!answer.isEmpty())
                QVERIFY(
                    calls[2].text.startsWith(path + QStringLiteral(" に保存できませんでした。")));
        }
        QTest::mouseClick(map(), Qt::LeftButton, {}, map()->rect().center() + QPoint(50, 50));
        QCOMPARE(window->notes().geometries().size(), 3u);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
