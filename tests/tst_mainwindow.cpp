// The assembled main window; every tile address points to a server on 127.0.0.1 started here.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "map/distance.h"
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

QStringList names(const qmapcontrol::LayerGeometry& layer)
{
    QStringList out;
    for (const auto& g : layer.geometries())
        out << g->metadata(QStringLiteral("name")).toString();
    return out;
}

// The smallest of a pixel's three colour values: tiles are saturated, so at
// least one of theirs is low; background and the attribution box are light.
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

} // namespace

class Session
{
public:
    Session(const TestTileServer& server, const QByteArray& csv, const QStringList& general = {})
    {
        if (!csv.isNull())
            writeAll(dir.file("list.csv"), csv);
        QStringList ini{"[General]", "csv_filename=" + dir.file("list.csv")};
        if (general.filter(QRegularExpression("^cache=")).isEmpty())
            ini << "cache=false";
        ini << general << "[tiles]";
        for (const QString provider : {"google", "osm", "stamen", "gsi"})
            ini << provider + "=" + server.urlTemplate("/" + provider + "/{z}/{x}/{y}.png");
        writeAll(dir.file("mivaromap.ini"), ini.join('\n').toUtf8());
        AppSettings::instance().load();
        window = std::make_unique<MivaroMap>();
    }

    MivaroMap& w() { return *window; }
    Ui::MainWindow& ui() { return *window->form(); }
    ScriptedPrompts& asked() { return prompts.prompts(); }
    QString status() const { return window->statusBar()->currentMessage(); }

    void show(const QSize& size = QSize(1200, 800))
    {
        window->resize(size);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void showActive()
    {
        show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void checkZoomRange(int action)
    {
        QCOMPARE(window->map()->getZoomMinimum(), action == 2 ? 5 : 0);
        QCOMPARE(window->map()->getZoomMaximum(), action == 2 ? 12 : 17);
    }

    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
};

class TestMainWindow : public QObject
{
    Q_OBJECT
    TestTileServer server;

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        QVERIFY(server.isListening());
    }

    void providerAtStart_data()
    {
        QTest::addColumn<int>("provider");
        QTest::addColumn<int>("zoomLevel");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("startZoom");
        QTest::newRow("Google") << 0 << 9 << 0 << "マップデータ : Google" << 9;
        QTest::newRow("OSM") << 1 << 9 << 1 << "マップデータ : OpenStreatMap" << 9;
        QTest::newRow("Stamen") << 2 << 14 << 2 << "マップデータ : Stamen Design" << 12;
        QTest::newRow("7 is GSI") << 7 << 0 << 3 << "マップデータ : 国土地理院 白地図" << 0;
    }

    void providerAtStart()
    {
        QFETCH(int, provider);
        QFETCH(int, zoomLevel);
        QFETCH(int, action);
        QFETCH(int, startZoom);
        Session s(
            server, castles,
            {"provider=" + QString::number(provider), "zoomLevel=" + QString::number(zoomLevel)});
        for (int i = 0; i < 4; ++i)
            QCOMPARE(s.w().providerMenuActions()[i]->isChecked(), i == action);
        QTEST(s.w().providerStatusLabel()->text(), "label");
        s.checkZoomRange(action);
        QCOMPARE(s.w().zoomStatusLabel()->text(), QStringLiteral("ZoomLevel: %1").arg(startZoom));
        QCOMPARE(AppSettings::instance().provider, action);
    }

    void placeLayersThroughProviderSwitches()
    {
        Session s(server,
                  "zero,139.1,35.1,1,0,Image,11,10\n"
                  "minus,139.2,35.2,1,-3,Scaled,11,10\n"
                  "text,139.3,35.3,1,abc,Circle,11,10\n"
                  "twelve,139.4,35.4,1,12,Image,11,10\n"
                  "five,139.5,35.5,1,5,Image,11,10\n",
                  {"provider=1", "zoomLevel=14"});
        // Stamen (5 to 12) pulls zoom 14 down to 12; widening again leaves it there.
        for (int action : {2, 0, 3, 2, 1}) {
            s.w().providerMenuActions()[action]->trigger();
            QCOMPARE(AppSettings::instance().provider, action);
            s.checkZoomRange(action);
            QCOMPARE(s.w().zoomStatusLabel()->text(), QStringLiteral("ZoomLevel: 12"));
        }
        // One base layer under "Notes", the nine place layers and the overview on top.
        const auto& layers = s.w().map()->layers();
        QCOMPARE(layers.size(), 12);
        QCOMPARE(layers[0]->name() + layers[1]->name(), QStringLiteral("MapNotes"));
        QCOMPARE(layers[2], s.w().markerLayers()[0]);
        QCOMPARE(layers[11].get(), static_cast<qmapcontrol::Layer*>(s.w().overview()));
        const QList<QStringList> expected{
            {"zero", "minus", "text"}, {}, {}, {}, {"five"}, {}, {}, {}, {"twelve"}};
        for (int n = 0; n < 9; ++n)
            QCOMPARE(names(*s.w().markerLayers()[n]), expected[n]);
    }

    void sortAtStart_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("sort");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("x up") << castles << 3
                              << QStringList{"大坂城", "名古屋城", "富士山", "江戸城"};
        QTest::newRow("colour down")
            << castles << 8 << QStringList{"名古屋城", "江戸城", "富士山", "大坂城"};
        QTest::newRow("mode out of range")
            << castles << 99 << QStringList{"大坂城", "富士山", "江戸城", "名古屋城"};
        QTest::newRow("empty list") << QByteArray() << 3 << QStringList();
    }

    void sortAtStart()
    {
        QFETCH(int, sort);
        QFETCH(QStringList, order);
        QFETCH(QByteArray, csv);
        Session s(server, csv, {QStringLiteral("sort=%1").arg(sort)});
        QCOMPARE(s.w().currentSortMode(), sort);
        QCOMPARE(names(s.w().dataTableModel()), order);
        if (sort >= 1 && sort <= 16 && !order.isEmpty()) {
            const QHeaderView* header = s.ui().tableView->horizontalHeader();
            QCOMPARE(header->sortIndicatorSection(), (sort - 1) / 2);
            QCOMPARE(header->sortIndicatorOrder(),
                     sort % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
        }
    }

    void searchWalk()
    {
        Session s(server, castles);
        bool byReturn = false; // both ways step on alike
        auto next = [&](const QString& text) {
            s.ui().lineEdit->setText(text);
            if ((byReturn = !byReturn))
                QTest::keyClick(s.ui().lineEdit, Qt::Key_Return);
            else
                QTest::mouseClick(s.ui().btnNext, Qt::LeftButton);
        };
        for (int hit : {0, 2, 3}) {
            next(QStringLiteral("城"));
            QCOMPARE(s.w().searchPosition(), hit);
            QCOMPARE(s.ui().tableView->currentIndex().row(), hit);
        }
        QVERIFY(s.asked().calls.isEmpty());
        next(QStringLiteral("城"));
        QCOMPARE(s.status(), QStringLiteral("城 は見つかりませんでした。Google Map で検索します"));
        QCOMPARE(s.asked().kinds(), QStringList({"beep", "url"}));
        QCOMPARE(s.w().searchPosition(), -1);
        next(QStringLiteral("城")); // starts again at the top
        QCOMPARE(s.w().searchPosition(), 0);

        s.asked().calls.clear();
        next(QStringLiteral("小田原城"));
        QCOMPARE(s.asked().kinds(), QStringList({"beep", "url"}));
        QCOMPARE(QUrl(s.asked().calls[1].extra).path(), QStringLiteral("/maps/search/小田原城跡/"));
    }

    void mapMouse()
    {
        Session s(server, castles);
        s.show();
        auto* map = s.w().map();
        QLineEdit* const fields[] = {s.ui().le_startX, s.ui().le_startY, s.ui().le_endX,
                                     s.ui().le_endY};
        // A box of 40 pixels around 江戸城.
        map->setMapFocusPoint(PointWorldCoord(139.7528, 35.6852));
        const QPoint centre = map->toWidgetPoint(PointWorldCoord(139.7528, 35.6852)).toPoint();
        const QPoint from = centre - QPoint(20, 20), to = centre + QPoint(20, 20);
        const PointWorldCoord a = map->toPointWorldCoord(from);
        const PointWorldCoord b = map->toPointWorldCoord(to);
        QTest::mousePress(map, Qt::LeftButton, Qt::ShiftModifier, from);
        dragTo(map, centre, Qt::ShiftModifier);
        dragTo(map, to, Qt::ShiftModifier);
        QTest::mouseRelease(map, Qt::LeftButton, Qt::ShiftModifier, to);
        const double expected[] = {a.longitude(), a.latitude(), b.longitude(), b.latitude()};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(fields[i]->text(), QString::number(expected[i], 'f', 14));
        QCOMPARE(s.ui().tabWidget->currentIndex(), 2);
        QCOMPARE(names(s.w().bulkTableModel()), QStringList{"江戸城"});
        QCOMPARE(map->toPointWorldCoord(from), a); // the map did not pan under the box

        const QString copy = QStringLiteral("XY座標をクリップボードにコピー");
        s.asked().menuAnswers << copy << copy;
        const QPoint at = map->rect().center() + QPoint(-23, 11);
        const PointWorldCoord c = map->toPointWorldCoord(at);
        QTest::mouseClick(map, Qt::RightButton, {}, at);
        QCOMPARE(s.asked().calls.value(0).text,
                 copy + QStringLiteral("\nXY座標に新規で部品を作成する"));
        const QString copied =
            QString::number(c.longitude(), 'f', 14) + ", " + QString::number(c.latitude(), 'f', 14);
        QCOMPARE(QApplication::clipboard()->text(), copied);

        // A pixel cannot land exactly on 139.949 / 35.7153, so the coordinate comes
        // straight from the map's and a place layer's signals, as they send it.
        const PointWorldCoord point(139.949, 35.7153);
        QMouseEvent press(QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton, {});
        emit map->mouseEventPressCoordinate(&press, point);
        QCOMPARE(s.status(), QStringLiteral("X=139.94900000000001 Y=35.71530000000000"));
        emit s.w().markerLayers()[8]->mouseRightClicked(point);
        const QString text = QStringLiteral("139.94900000000001, 35.71530000000000");
        QCOMPARE(QApplication::clipboard()->text(), text);
        QCOMPARE(s.status(), text + QStringLiteral("をクリップボードにコピーしました"));
    }

    // Real clicks at an ordinary speed (inside the system's double-click interval) and a slow one.
    void doubleClickFliesTheMap()
    {
        Session s(server, castles);
        s.show();
        for (auto [row, gap] : {std::pair{3, 150}, {0, 500}}) {
            TableView* view = row ? s.ui().tableView : s.ui().tableView_2;
            s.ui().tabWidget->setCurrentIndex(row ? 0 : 2);
            const PointWorldCoord start = s.w().map()->mapFocusPointCoord();
            const QPoint cell = view->visualRect(view->model()->index(row, 1)).center();
            screenClick(view->viewport(), cell);
            QTest::qWait(gap);
            QCOMPARE(s.w().map()->mapFocusPointCoord(), start); // one press does not fly
            screenClick(view->viewport(), cell);
            QCOMPARE(s.w().searchPosition(), row);
            const PointWorldCoord target(row ? 136.8995 : 135.5259, row ? 35.1856 : 34.6873);
            QTRY_VERIFY_WITH_TIMEOUT(s.w().map()->mapFocusPointCoord() == target, 15000);
            QTest::qWait(900); // the next table's first click is no second one
        }
    }

    void headerClicksSortAndRefresh()
    {
        Session s(server, "b,139.5,35.1,1,1,Image,11,10\n"
                          "a,99.5,35.2,1,1,Image,11,10\n"
                          "c,100.25,35.3,1,1,Image,11,10\n");
        s.show();
        QHeaderView* header = s.ui().tableView->horizontalHeader();
        const QPoint column1(header->sectionViewportPosition(1) + header->sectionSize(1) / 2,
                             header->height() / 2);
        for (int mode : {3, 4, 3}) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, column1);
            // Numeric order: 99.5 < 100.25 < 139.5.
            const QStringList order =
                mode == 3 ? QStringList{"a", "c", "b"} : QStringList{"b", "c", "a"};
            QCOMPARE(s.w().currentSortMode(), mode);
            QCOMPARE(header->sortIndicatorSection(), 1);
            QCOMPARE(header->sortIndicatorOrder(),
                     mode == 3 ? Qt::AscendingOrder : Qt::DescendingOrder);
            QCOMPARE(names(s.w().dataTableModel()), order);
            QCOMPARE(names(*s.w().markerLayers()[0]), order); // markers rebuilt in the new order
        }
        s.window.reset();
        QCOMPARE(AppSettings::instance().sort, 3);
    }

    // However narrow the window or far the handle goes, 200 pixels of map stay.
    void mapPaneNeverBelow200()
    {
        Session s(server, castles, {"columnWidth=\"500,500,500,500,500,500,500,500\""});
        s.show(QSize(900, 600));
        s.w().resize(300, 300);
        QTRY_COMPARE(s.w().map()->sizeHint().width(), 200);
        QTRY_VERIFY(s.w().width() >= s.w().minimumSizeHint().width());
        QVERIFY(s.w().map()->width() >= 200);
        QSplitter* splitter = s.ui().splitter;
        dragSplitter(splitter, 400);
        QVERIFY2(splitter->sizes().at(1) >= 200,
                 qPrintable(QString::number(splitter->sizes().at(1))));
        QVERIFY(s.w().map()->width() >= 200);
    }

    // Whole texts in the status bar: every provider's name and a two-digit zoom.
    void statusLabelsHoldTheirTexts()
    {
        Session s(server, castles, {"zoomLevel=17"});
        s.show(QSize(765, 645));
        QLabel* zoom = s.w().zoomStatusLabel();
        QVERIFY(zoom->width() >= 120);
        for (QAction* provider : s.w().providerMenuActions()) {
            if (provider == s.w().providerMenuActions()[2])
                continue; // Stamen stops at zoom 12
            provider->trigger();
            QCOMPARE(zoom->text(), QStringLiteral("ZoomLevel: 17"));
            QLabel* name = s.w().providerStatusLabel();
            QVERIFY(name->width() >= 250);
            for (QLabel* label : {zoom, name}) {
                const int text = label->fontMetrics().horizontalAdvance(label->text());
                QVERIFY2(label->contentsRect().width() >= text &&
                             label->width() >= label->sizeHint().width(),
                         qPrintable(label->text()));
            }
        }
    }

    // Longitude and latitude to five decimals while the pointer is over the map.
    void pointerPosition()
    {
        Session s(server, castles);
        s.show();
        auto* map = s.w().map();
        QLabel* pointer = s.w().pointerStatusLabel();
        QCOMPARE(pointer->text(), QString());
        QVERIFY(!pointer->isVisible());
        const QPoint at = map->rect().center() + QPoint(31, -17);
        const PointWorldCoord c = map->toPointWorldCoord(at);
        QMouseEvent move(QEvent::MouseMove, at, map->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         {});
        QApplication::sendEvent(map, &move);
        QCOMPARE(pointer->text(), QString::number(c.longitude(), 'f', 5) + ", " +
                                      QString::number(c.latitude(), 'f', 5));
        QVERIFY(pointer->isVisible());
        QMouseEvent exact(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, {});
        emit map->mouseEventMoveCoordinate(&exact, PointWorldCoord(135.5259, 34.6873));
        QCOMPARE(pointer->text(), QStringLiteral("135.52590, 34.68730"));
        QVERIFY(pointer->width() >=
                pointer->fontMetrics().horizontalAdvance("-179.99999, -85.05113"));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(map, &leave);
        QCOMPARE(pointer->text(), QString());
        QVERIFY(!pointer->isVisible()); // its room goes back to the messages
    }

    // The title names the open list and stars unsaved changes; Ctrl+S saves to that list
    // with the backups of the close question, Ctrl+O loads another.
    void titleAndFileKeys()
    {
        Session s(server, castles);
        s.showActive();
        const QString list = s.dir.file("list.csv");
        auto title = [&] { return s.w().windowTitle(); };
        QCOMPARE(title(), QStringLiteral("MivaroMap Ver 0.70 - list.csv"));
        setModified(list, QDateTime::currentDateTime().addDays(-2));
        auto edit = [&](const QString& name) {
            s.w().places[0]->name = name;
            s.w().modified = true;
            s.w().refreshPlaces();
        };
        edit(QStringLiteral("大阪城"));
        QCOMPARE(title(), QStringLiteral("MivaroMap Ver 0.70 - list.csv*"));
        QTest::keyClick(&s.w(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(title(), QStringLiteral("MivaroMap Ver 0.70 - list.csv"));
        QVERIFY(!s.w().modified);
        QCOMPARE(s.status(), list + QStringLiteral(" に保存しました"));
        QVERIFY(readAll(list).contains("大阪城,135.5259"));
        QCOMPARE(readAll(list + ".bak1"), castles); // the state before, kept once a day
        edit(QStringLiteral("大坂城"));
        QTest::keyClick(&s.w(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(readAll(list).contains("大坂城,135.5259") && !s.w().modified);
        QCOMPARE(readAll(list + ".bak1"), castles); // already saved today: no second backup

        // A folder where the list should be: the save fails, the star stays.
        edit(QStringLiteral("難波"));
        QVERIFY(QFile::remove(list) && QDir(s.dir.path()).mkdir("list.csv"));
        QTest::keyClick(&s.w(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(s.asked().kinds().filter("warning").size(), 1);
        QVERIFY(s.w().modified);
        QCOMPARE(title(), QStringLiteral("MivaroMap Ver 0.70 - list.csv*"));

        writeAll(s.dir.file("other.csv"), castles);
        s.asked().buttonAnswers << QMessageBox::No; // the edits are not wanted
        s.asked().fileAnswers << s.dir.file("other.csv");
        QTest::keyClick(&s.w(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(s.asked().kinds().filter("open").size(), 1);
        QCOMPARE(title(), QStringLiteral("MivaroMap Ver 0.70 - other.csv"));
    }

    // Ctrl+F goes to the search field from any page; F3 and Shift+F3 step the search.
    void searchKeys()
    {
        Session s(server, castles);
        s.showActive();
        s.ui().tabWidget->setCurrentIndex(2);
        QTest::keyClick(&s.w(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(s.ui().tabWidget->currentIndex(), 0);
        QTRY_VERIFY(s.ui().lineEdit->hasFocus());
        s.ui().lineEdit->setText(QStringLiteral("城"));
        QList<int> hits;
        for (auto mods : {Qt::NoModifier, Qt::NoModifier, Qt::ShiftModifier}) {
            QTest::keyClick(&s.w(), Qt::Key_F3, mods);
            hits << s.w().searchPosition();
        }
        QCOMPARE(hits, (QList<int>{0, 2, 0}));
        // Each key shows beside its command and in the button's tool tip.
        QStringList menu;
        for (QAction* a : s.w().menuBar()->actions().at(1)->menu()->actions())
            if (!a->shortcut().isEmpty())
                menu << a->text() + '=' + a->shortcut().toString();
        QCOMPARE(menu,
                 QStringList({"元に戻す=Ctrl+Z", "やり直し=Ctrl+Y", "(&G) 地名・住所で探す=Ctrl+G",
                              "(&F) 名前で検索=Ctrl+F", "(&N) 次へ=F3", "(&P) 前へ=Shift+F3",
                              "(&O) CSV Load=Ctrl+O", "(&S) 上書き保存=Ctrl+S"}));
        QCOMPARE(s.ui().btnNext->toolTip() + s.ui().btnPrev->toolTip(),
                 QStringLiteral("次へ (F3)前へ (Shift+F3)"));
        QVERIFY(s.ui().btnLoad->toolTip().endsWith("(Ctrl+O)"));
    }

    // Closing when the settings cannot be written (the disk is full): try again after
    // freeing space, stay open, or close without saving; only the last loses the edits.
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
        Session s(server, castles);
        s.show();
        const auto edited = [&] {
            AppSettings file;
            file.loadClasses(s.dir.file("classsetting.ini"));
            return file.className[5] == QStringLiteral("編集した分類");
        };
        AppSettings::instance().className[5] = "編集した分類";
        auto full = std::make_unique<FileSizeLimit>(64);
        s.asked().buttonAnswers << QMessageBox::StandardButton(answer);
        if (answer == QMessageBox::Retry) // space freed while the message is up
            s.asked().onMessage = [&](const ScriptedPrompts::Call&) { full.reset(); };
        const bool closed = s.w().close();
        full.reset();
        QCOMPARE(s.asked().kinds(), QStringList{"warning"});
        QVERIFY(s.asked().calls[0].text.contains(QStringLiteral("ファイルが大きすぎます")));
        QVERIFY(closed != s.w().isVisible() && closed == (answer != QMessageBox::Cancel));
        QCOMPARE(edited(), answer == QMessageBox::Retry);
        if (answer == QMessageBox::Cancel) {
            // Space freed: the next close saves.
            QVERIFY(s.w().close());
            QVERIFY(edited());
        }
        // The window going away writes nothing more and asks nothing more.
        s.window.reset();
        QCOMPARE(s.asked().calls.size(), 1);
        QCOMPARE(edited(), answer != QMessageBox::Discard);
    }

    // Widths dragged by hand reach the settings at exit.
    void columnWidthsKept()
    {
        Session s(server, castles);
        QList<int> widths;
        for (int c = 0; c < 8; ++c)
            widths << s.ui().tableView->columnWidth(c);
        s.ui().tableView->horizontalHeader()->resizeSection(2, 123);
        widths[2] = 123;
        s.window.reset();
        QCOMPARE(AppSettings::instance().columnWidth, widths);
    }

    void splitterSnapsToTables_data()
    {
        QTest::addColumn<QString>("widths");
        QTest::addColumn<int>("tableWidth");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("pane");
        // The tab widget's own limits (560 to 600) hold the pane in any case.
        const QString given = QStringLiteral("60,80,70,70,70,70,70,70");
        QTest::newRow("at the tables' width: left alone") << given << 560 << 560 << 560;
        QTest::newRow("wider than the tables: snaps to +40") << given << 560 << 585 << 600;
        QTest::newRow("no widths saved: fitted columns") << QString() << -1 << 590 << -1;
    }

    void splitterSnapsToTables()
    {
        QFETCH(QString, widths);
        QFETCH(int, position);
        Session s(server, castles,
                  {widths.isEmpty() ? QString() : "columnWidth=\"" + widths + "\""});
        QFETCH(int, tableWidth);
        int sum = 0;
        for (int c = 0; c < 8; ++c) {
            const int want = widths.isEmpty() ? s.ui().tableView->columnWidth(c)
                                              : widths.section(',', c, c).toInt();
            QCOMPARE(s.ui().tableView->columnWidth(c), want);
            QCOMPARE(s.ui().tableView_2->columnWidth(c), want);
            sum += want;
        }
        QCOMPARE(s.w().mapTableWidth(), tableWidth < 0 ? sum : tableWidth);
        s.show();
        QSplitter* splitter = s.ui().splitter;
        QSignalSpy moved(splitter, &QSplitter::splitterMoved);
        dragSplitter(splitter, position - splitter->sizes().at(0));
        QCOMPARE(moved.value(moved.size() - 1).value(0).toInt(), position);
        QFETCH(int, pane);
        if (pane < 0) // the fitted tables: left alone within them, else snapped to them
            pane = sum >= position ? position : std::clamp(sum + 40, 560, 600);
        QCOMPARE(splitter->sizes().at(0), pane);
    }

    void f1PressesOnlyTheVisibleHelp()
    {
        Session s(server, castles);
        s.showActive();
        QSignalSpy spies[] = {{s.ui().btnHelp1, &QAbstractButton::clicked},
                              {s.ui().btnHelp2, &QAbstractButton::clicked},
                              {s.ui().btnHelp3, &QAbstractButton::clicked}};
        for (int page = 0; page < 3; ++page) {
            s.ui().tabWidget->setCurrentIndex(page);
            QTest::keyClick(&s.w(), Qt::Key_F1);
            QTRY_COMPARE_WITH_TIMEOUT(spies[page].count(), 1, 10000);
            QTest::qWait(150);
            for (int other = 0; other < 3; ++other)
                QCOMPARE(spies[other].count(), other <= page ? 1 : 0);
        }
    }

    // Below the markers' zooms every place is a dot of its class colour (or in
    // a disc); a hidden layer takes its dots along; the switch is remembered.
    void overviewFromTheMenus()
    {
        Session s(server, castles, {"zoomLevel=5", "coordX=137.5", "coordY=35.5"});
        s.show();
        const auto dotShown = [&](int layer) {
            const auto& g = s.w().markerLayers()[std::size_t(layer)]->geometries().at(0);
            const auto* p = static_cast<const qmapcontrol::GeometryPoint*>(g.get());
            const QImage shot = s.w().map()->grab().toImage();
            const QPoint at = s.w().map()->toWidgetPoint(p->coord()).toPoint();
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    if (shot.pixel(at + QPoint(dx, dy)) == p->overviewColor())
                        return true;
            return false;
        };
        const auto dots = [&] {
            int n = 0;
            for (const auto& c : s.w().overview()->clusters(s.w().map()->getCurrentZoom()))
                n += c.count;
            return n;
        };
        QVERIFY(s.w().overviewMenuAction()->isChecked());
        QCOMPARE(dots(), 4);
        QVERIFY(dotShown(0));
        s.w().layerMenuActions()[0]->trigger();
        QVERIFY(!s.w().markerLayers()[0]->isVisible());
        QCOMPARE(dots(), 3);
        QVERIFY(!dotShown(0) && dotShown(3));

        // All places shown, as large as they fit.
        s.w().showAllMenuAction()->trigger();
        const int zoom = s.w().map()->getCurrentZoom();
        QVERIFY(zoom > 5);
        for (int layer : {1, 2, 3}) {
            const auto* p = static_cast<const qmapcontrol::GeometryPoint*>(
                s.w().markerLayers()[std::size_t(layer)]->geometries().at(0).get());
            QVERIFY(s.w().map()->rect().contains(s.w().map()->toWidgetPoint(p->coord()).toPoint()));
        }

        s.w().overviewMenuAction()->trigger();
        QVERIFY(!s.w().overview()->isVisible());
        // Without the overview the scaled label shows at every zoom again.
        QCOMPARE(s.w().markerLayers()[1]->geometries().at(0)->zoomMinimum(), 0);
        s.window.reset();
        AppSettings::instance().overview = true;
        AppSettings::instance().load();
        QCOMPARE(AppSettings::instance().overview, false);
        s.window = std::make_unique<MivaroMap>();
        QVERIFY(!s.w().overviewMenuAction()->isChecked() && !s.w().overview()->isVisible());

        // The note while picture files are written, gone when they are.
        auto* note = s.w().statusBar()->findChild<QLabel*>("markerFilesLabel");
        QVERIFY(note);
        emit s.w().markerPictures()->filesProgress(3, 10);
        QVERIFY(!note->isHidden());
        QCOMPARE(note->text(), QStringLiteral("マーカー画像を保存中 3/10"));
        emit s.w().markerPictures()->filesProgress(10, 10);
        QVERIFY(note->isHidden());
        emit s.w().markerPictures()->fileFailed("/x/image/a.png", "No space left on device");
        QVERIFY(s.status().contains("/x/image/a.png") &&
                s.status().contains("No space left on device"));
        // Tiles asked for at zoom 5 are answered before the next test counts requests.
        s.window.reset();
        QTest::qWait(300);
    }

    void distanceOnTheMap()
    {
        Session s(server, castles);
        s.show();
        auto* map = s.w().map();
        const auto& notes = s.w().notes().geometries();
        const QPoint p1 = map->rect().center() - QPoint(90, 40);
        const QPoint p2 = map->rect().center() + QPoint(110, 70);
        const PointWorldCoord a = map->toPointWorldCoord(p1), b = map->toPointWorldCoord(p2);

        QTest::mouseClick(map, Qt::LeftButton, {}, p1);
        QCOMPARE(notes.size(), 0u); // not armed

        // Armed twice, still one handler: the first press only plants the flag.
        s.w().distanceMenuAction()->trigger();
        s.w().distanceMenuAction()->trigger();
        QTest::mouseClick(map, Qt::RightButton, {}, p1);
        QCOMPARE(notes.size(), 1u);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, p2, Qt::LeftButton, Qt::LeftButton, {});
        emit map->mouseEventPressCoordinate(&dbl, b);
        QCOMPARE(notes.size(), 1u);
        QTest::mouseClick(map, Qt::LeftButton, {}, p2);
        QCOMPARE(s.status(), QStringLiteral("X=%1 Y=%2")
                                 .arg(b.longitude(), 0, 'f', 14)
                                 .arg(b.latitude(), 0, 'f', 14));
        QCOMPARE(notes.size(), 3u);

        auto* flag = dynamic_cast<qmapcontrol::GeometryPointImage*>(notes[0].get());
        auto* line = dynamic_cast<qmapcontrol::GeometryLineString*>(notes[1].get());
        auto* label = dynamic_cast<qmapcontrol::GeometryPointImage*>(notes[2].get());
        QVERIFY(flag && line && label);
        QCOMPARE(flag->coord(), a);
        QCOMPARE(flag->alignmentType(), Geometry::AlignmentType::BottomRight);
        QCOMPARE(flag->image().size(), QSize(19, 25));
        QCOMPARE(line->points(), (std::vector<PointWorldCoord>{a, b}));
        QCOMPARE(label->coord(), b);
        QCOMPARE(label->alignmentType(), Geometry::AlignmentType::BottomLeft);
        QCOMPARE(label->image().toImage(),
                 distance::labelPicture(distance::greatCircleKm(a, b)).toImage());
        for (const auto& g : notes)
            QVERIFY(g->isVisible(0) && g->isVisible(17) && !g->isVisible(18));

        // Finished: the next press draws nothing until the action is chosen again.
        QTest::mouseClick(map, Qt::LeftButton, {}, p1);
        QCOMPARE(notes.size(), 3u);
        s.w().distanceMenuAction()->trigger();
        QTest::mouseClick(map, Qt::LeftButton, {}, p2);
        QCOMPARE(notes.size(), 4u);
        QCOMPARE(dynamic_cast<qmapcontrol::GeometryPoint*>(notes[3].get())->coord(), b);
    }

    void exportPicture_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QString>("answer"); // in the program directory; "" cancels
        QTest::addColumn<bool>("saved");
        QTest::newRow("default name") << QSize(1200, 800) << "mapimage.png" << true;
        QTest::newRow("another extension") << QSize(1000, 700) << "map.jpg" << true;
        QTest::newRow("no extension") << QSize(1300, 760) << "map" << true;
        QTest::newRow("cancel") << QSize(1200, 800) << "" << false;
        QTest::newRow("missing folder") << QSize(1200, 800) << "gone/map.png" << false;
    }

    void exportPicture()
    {
        QFETCH(QSize, window);
        QFETCH(QString, answer);
        QFETCH(bool, saved);
        Session s(server, castles);
        s.show(window);
        auto* map = s.w().map();
        const int w = map->width(), h = map->height();
        // Tiles in every corner, above the attribution box and the scale bar too.
        if (saved)
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    const QImage shot = map->grab().toImage();
                    return darkest(shot, 2, 2) < 100 && darkest(shot, w - 2, h - 30) < 100 &&
                           darkest(shot, 2, h - 30) < 100;
                }(),
                20000);
        QVERIFY(map->zoomControls()->isVisible());

        // A measurement under way lives through the export.
        s.w().distanceMenuAction()->trigger();
        QTest::mouseClick(map, Qt::LeftButton, {}, map->rect().center());
        const QString status = s.status();

        const QString path = answer.isEmpty() ? QString() : s.dir.file(answer);
        s.asked().fileAnswers << path;
        // The size and scale offered first are the screen's: the plain save.
        s.asked().dialogAnswers << [](QDialog*) { return int(QDialog::Accepted); };
        const QStringList before = QDir(s.dir.path()).entryList(QDir::Files);
        s.ui().btnMapImageSave->click();
        QVERIFY(map->zoomControls()->isVisible());
        QCOMPARE(s.asked().calls.value(0).kind + "|" + s.asked().calls.value(0).title,
                 QStringLiteral("dialog|画像保存"));
        s.asked().calls.removeFirst();
        const auto& calls = s.asked().calls;
        QCOMPARE(calls.value(0).kind + "|" + calls.value(0).title + "|" + calls.value(0).text,
                 "save|Save as file|" + s.dir.file("mapimage.png"));
        QCOMPARE(calls.value(0).parent, &s.w());

        if (saved) {
            QCOMPARE(s.asked().kinds(), QStringList{"save"});
            QCOMPARE(s.status(), path + QStringLiteral(" に保存しました"));
            const QByteArray bytes = readAll(path);
            QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
            const QImage picture =
                QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(picture.size(), QSize(w, h));
            map->enableZoomControls(false);
            const QImage bare = map->grab().toImage().convertToFormat(QImage::Format_ARGB32);
            map->enableZoomControls(true);
            const QImage withControls =
                map->grab().toImage().convertToFormat(QImage::Format_ARGB32);
            QVERIFY(picture == bare);
            QVERIFY(picture != withControls);
            // The attribution box lies light over the tiles in the bottom-right corner.
            QVERIFY(darkest(picture, w - 2, h - 2) >= 189);
            QVERIFY(darkest(picture, w - 2, h - 30) < 100);
            QVERIFY(darkest(picture, 1, h - 2) >= 189); // and the scale bar's, bottom left
        } else {
            QCOMPARE(s.status(), status);
            QCOMPARE(QDir(s.dir.path()).entryList(QDir::Files), before);
            if (answer.isEmpty()) {
                QCOMPARE(s.asked().kinds(), QStringList{"save"});
            } else {
                QCOMPARE(s.asked().kinds(), (QStringList{"save", "warning"}));
                QCOMPARE(calls[1].title, QStringLiteral("保存エラー"));
                const QString head = path + QStringLiteral(" に保存できませんでした。\n");
                QVERIFY2(calls[1].text.startsWith(head) && calls[1].text.size() > head.size(),
                         qPrintable(calls[1].text));
            }
        }

        QTest::mouseClick(map, Qt::LeftButton, {}, map->rect().center() + QPoint(50, 50));
        QCOMPARE(s.w().notes().geometries().size(), 3u);
    }

    void printPicture()
    {
        Session s(server, castles, {"provider=1"});
        s.show();
        auto* map = s.w().map();
        const QSize screen = map->size();
        s.asked().dialogAnswers << [](QDialog* d) {
            d->findChild<QComboBox*>("exportScale")->setCurrentIndex(1);
            d->findChild<QCheckBox*>("exportLegend")->setChecked(true);
            return int(QDialog::Accepted);
        };
        const QString path = s.dir.file("print.png");
        s.asked().fileAnswers << path;
        s.ui().btnMapImageSave->click();
        QCOMPARE(s.asked().kinds(), (QStringList{"dialog", "save"}));
        QCOMPARE(s.status(), path + QStringLiteral(" に保存しました"));
        const QImage picture(path);
        QCOMPARE(picture.size(), screen * 2);
        // The tiles of the next zoom, and the legend's frame in the top-left corner.
        QVERIFY(server.paths().filter("/osm/10/").size() > 0);
        QCOMPARE(QColor(picture.pixel(12, 12)), QColor(120, 120, 120));
        QVERIFY(map->isVisible() && map->updatesEnabled());
    }

    void tilesFromTheConfiguredServer_data()
    {
        QTest::addColumn<bool>("fromMenu");
        // The menu row first: the other leaves requests of another provider in flight.
        QTest::newRow("cache turned on from the menu") << true;
        QTest::newRow("cache at start") << false;
    }
    void tilesFromTheConfiguredServer()
    {
        QFETCH(bool, fromMenu);
        server.clearRequests();
        QTemporaryDir cache;
        Session s(
            server, QByteArray(),
            {"provider=1", fromMenu ? "cache=false" : "cache=true", "cache_path=" + cache.path()});
        QCOMPARE(AppSettings::instance().tilesOsm, server.urlTemplate("/osm/{z}/{x}/{y}.png"));
        QCOMPARE(s.w().cacheMenuAction()->isChecked(), !fromMenu);
        if (fromMenu)
            s.w().cacheMenuAction()->trigger();
        s.show();
        // 455/201 is the tile of the start position 139.949, 35.7153 at zoom 9.
        QTRY_VERIFY_WITH_TIMEOUT(server.paths().contains("/osm/9/455/201.png"), 20000);
        for (const QString& p : server.paths())
            QVERIFY2(p.startsWith(QStringLiteral("/osm/9/")), qPrintable(p));
        const QPoint centre = s.w().map()->rect().center();
        QTRY_COMPARE_WITH_TIMEOUT(s.w().map()->grab().toImage().pixel(centre),
                                  TestTileServer::tileColor(9, 455, 201).rgb(), 20000);
        // Kept in the folder the settings name, not in the default one beside the program.
        QTRY_VERIFY(
            QDirIterator(cache.path(), QDir::Files, QDirIterator::Subdirectories).hasNext());
        QVERIFY(!QFileInfo::exists(s.dir.file("cache")));

        if (fromMenu)
            return;
        // Another provider from the menu: its own address.
        server.clearRequests();
        s.w().providerMenuActions()[3]->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(server.paths().contains("/gsi/9/455/201.png"), 20000);
    }

    void tileFailuresInTheStatusBar()
    {
        server.setResponse("/osm/9/455/201.png", {404, "text/plain", "gone", {}});
        Session s(server, QByteArray(), {"provider=1"});
        s.show();
        const QString note = QStringLiteral("地図タイルを取得できません: HTTP 404");
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), note, 20000);
        QCOMPARE(s.w().statusBar()->toolTip(), note);
        // A reason longer than the room beside the labels is cut with "…"; the
        // tooltip keeps it whole.
        const QString reason =
            QStringLiteral("ホスト tile.openstreetmap.org が見つかりません").repeated(3);
        emit s.w().map()->tileLoadError(reason);
        QVERIFY2(s.status().startsWith("地図タイルを取得できません: ホスト") &&
                     s.status().endsWith(QChar(0x2026)),
                 qPrintable(s.status()));
        QStatusBar* bar = s.w().statusBar();
        QVERIFY(bar->fontMetrics().horizontalAdvance(s.status()) <=
                bar->width() - s.w().providerStatusLabel()->width() -
                    s.w().zoomStatusLabel()->width());
        QCOMPARE(bar->toolTip(), "地図タイルを取得できません: " + reason);
        // A wider window shows more of it.
        s.w().resize(1900, s.w().height());
        QTRY_COMPARE(s.status(), "地図タイルを取得できません: " + reason);
        server.setResponse("/osm/9/455/201.png",
                           {200, "image/png", TestTileServer::tilePng(9, 455, 201), {}});
        // Taken back once the tiles load, but never a message that came after it.
        emit s.w().map()->tileLoadError(QString());
        QCOMPARE(s.status(), QString());
        QCOMPARE(bar->toolTip(), QString());
        emit s.w().map()->tileLoadError(QStringLiteral("HTTP 500"));
        s.w().statusBar()->showMessage("X=1 Y=2");
        emit s.w().map()->tileLoadError(QString());
        QCOMPARE(s.status(), QStringLiteral("X=1 Y=2"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
