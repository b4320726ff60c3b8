// The assembled main window: what only shows when the form, the map, the
// tables, the menus and the settings work together. Every window here reads
// its settings from a temporary program folder, and every tile address in it
// points to a tile server on 127.0.0.1 started by this test.

#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "records/tablemodel.h"
#include "records/tableview.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QDirIterator>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QtMath>
#include <QtTest>

#include <cmath>
#include <memory>

using qmapcontrol::PointWorldCoord;

namespace {

const QByteArray castles = "大坂城,135.5259,34.6873,1,1,Image,11,10\n"
                           "富士山,138.7274,35.3606,2,2,Scaled,11,10\n"
                           "江戸城,139.7528,35.6852,3,3,Circle,11,10\n"
                           "名古屋城,136.8995,35.1856,4,4,Image,11,10\n";

QStringList names(const PlaceList& places)
{
    QStringList out;
    for (const auto& p : places)
        out << p->name;
    return out;
}

// Names in the order the data table shows them.
QStringList tableNames(const TableModel* model)
{
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->data(model->index(row, 0)).toString();
    return out;
}

QStringList geometryNames(const qmapcontrol::LayerGeometry& layer)
{
    QStringList out;
    for (const auto& g : layer.geometries())
        out << g->metadata(QStringLiteral("name")).toString();
    return out;
}

QString fixed14(double v)
{
    return QString::number(v, 'f', 14);
}

// The tile (x, y) of a coordinate at a zoom, Web Mercator.
QPoint tileOf(double lon, double lat, int zoom)
{
    const double n = std::pow(2.0, zoom);
    const double rad = lat * M_PI / 180.0;
    return QPoint(int(std::floor((lon + 180.0) / 360.0 * n)),
                  int(std::floor((1.0 - std::asinh(std::tan(rad)) / M_PI) / 2.0 * n)));
}

int pixelsOf(const QImage& image, const QColor& colour)
{
    const QImage argb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb want = colour.rgb();
    int n = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            n += argb.pixel(x, y) == want;
    return n;
}

// A mouse move with the buttons held (QTest only moves the cursor for widgets).
void dragTo(QWidget* widget, const QPoint& pos, Qt::KeyboardModifiers mods = {})
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                     mods);
    QApplication::sendEvent(widget, &move);
}

} // namespace

// One window over a place list and settings of the test's choosing; it goes
// before the prompts and the program folder it uses.
class Session
{
public:
    // general: extra "key=value" lines of [General]; sections: further groups.
    Session(const TestTileServer& server, const QByteArray& csv, const QStringList& general = {},
            const QString& sections = {})
    {
        if (!csv.isNull())
            writeAll(dir.file("list.csv"), csv);
        QString ini =
            QStringLiteral("[General]\ncsv_filename=%1\ncache=false\n").arg(dir.file("list.csv"));
        for (const QString& line : general)
            ini += line + QLatin1Char('\n');
        ini += sections;
        ini += QStringLiteral("\n[tiles]\n");
        for (const char* provider : {"google", "osm", "stamen", "gsi"})
            ini += QStringLiteral("%1=%2\n").arg(
                QLatin1String(provider),
                server.urlTemplate(QStringLiteral("/%1/{z}/{x}/{y}.png").arg(provider)));
        writeAll(dir.file("mivaromap.ini"), ini.toUtf8());
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

    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
};

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void providerAtStart_data();
    void providerAtStart();
    void providerSwitchesKeepOneBaseLayerUnderThePlaces();
    void zoomLabelIsClamped_data();
    void zoomLabelIsClamped();
    void columnWidthsGiveTableWidth_data();
    void columnWidthsGiveTableWidth();
    void sortAtStart_data();
    void sortAtStart();
    void menus_data();
    void menus();
    void menuFontAndStartState();
    void classRows();

    void markersOnTheirLayers();
    void hiddenLayerStaysHiddenAfterRefresh();

    void searchWalk_data();
    void searchWalk();
    void webSearchQuery();
    void narrowAndClearName();

    void shiftDragFillsRectangle();
    void dragWithoutShiftChangesNothing();
    void leftPressShowsCoordinate();
    void rightClickMenu_data();
    void rightClickMenu();
    void exactCoordinateTexts();

    void doubleClickFliesTheMap_data();
    void doubleClickFliesTheMap();
    void headerClicksSortAndRefresh();

    void narrowWindowKeepsMapAtLeastOnePixel();
    void splitterSnapsToTables_data();
    void splitterSnapsToTables();
    void f1PressesOnlyTheVisibleHelp();

    void tilesFromTheConfiguredServer();

private:
    std::unique_ptr<TestTileServer> server;
    QStringList menuEntries(QMenu* menu) const;
};

void TestMainWindow::initTestCase()
{
    initMivaroMapResources();
    server = std::make_unique<TestTileServer>();
    QVERIFY(server->isListening());
}

void TestMainWindow::cleanupTestCase()
{
    server.reset();
}

// ---------------------------------------------------------------- construction

void TestMainWindow::providerAtStart_data()
{
    QTest::addColumn<int>("provider");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("zoomMin");
    QTest::addColumn<int>("zoomMax");
    QTest::newRow("Google") << 0 << 0 << "マップデータ : Google" << 0 << 17;
    QTest::newRow("OpenStreetMap") << 1 << 1 << "マップデータ : OpenStreatMap" << 0 << 17;
    QTest::newRow("Stamen") << 2 << 2 << "マップデータ : Stamen Design" << 5 << 12;
    QTest::newRow("7 is GSI") << 7 << 3 << "マップデータ : 国土地理院 白地図" << 0 << 17;
    QTest::newRow("-1 is GSI") << -1 << 3 << "マップデータ : 国土地理院 白地図" << 0 << 17;
}

void TestMainWindow::providerAtStart()
{
    QFETCH(int, provider);
    QFETCH(int, action);
    QFETCH(QString, label);
    QFETCH(int, zoomMin);
    QFETCH(int, zoomMax);
    Session s(*server, castles, {QStringLiteral("provider=%1").arg(provider)});
    for (int i = 0; i < 4; ++i)
        QCOMPARE(s.w().providerMenuActions()[i]->isChecked(), i == action);
    QCOMPARE(s.w().providerStatusLabel()->text(), label);
    QCOMPARE(s.w().map()->getZoomMinimum(), zoomMin);
    QCOMPARE(s.w().map()->getZoomMaximum(), zoomMax);
    // The setting follows the provider shown.
    QCOMPARE(AppSettings::instance().provider, action);
}

void TestMainWindow::providerSwitchesKeepOneBaseLayerUnderThePlaces()
{
    Session s(*server, castles, {"provider=1", "zoomLevel=14"});
    const auto& actions = s.w().providerMenuActions();
    struct Step
    {
        int action;
        int zoomMin, zoomMax, zoom;
    };
    // Stamen pulls zoom 14 down to 12; widening again leaves it there.
    for (const Step& step : {Step{2, 5, 12, 12}, Step{0, 0, 17, 12}, Step{3, 0, 17, 12},
                             Step{2, 5, 12, 12}, Step{1, 0, 17, 12}}) {
        actions[step.action]->trigger();
        QVERIFY(actions[step.action]->isChecked());
        QCOMPARE(AppSettings::instance().provider, step.action);
        QCOMPARE(s.w().map()->getZoomMinimum(), step.zoomMin);
        QCOMPARE(s.w().map()->getZoomMaximum(), step.zoomMax);
        QCOMPARE(s.w().map()->getCurrentZoom(), step.zoom);
        QCOMPARE(s.w().zoomStatusLabel()->text(), QStringLiteral("ZoomLevel: %1").arg(step.zoom));
    }
    QStringList layers;
    for (const auto& layer : s.w().map()->layers())
        layers << layer->name();
    QStringList expected{"Map", "Notes"};
    for (int n = 1; n <= 9; ++n)
        expected << QStringLiteral("Layer %1").arg(n);
    QCOMPARE(layers, expected);
    for (int n = 0; n < 9; ++n)
        QCOMPARE(s.w().map()->layers()[n + 2], s.w().markerLayers()[n]);
}

void TestMainWindow::zoomLabelIsClamped_data()
{
    QTest::addColumn<int>("provider");
    QTest::addColumn<int>("zoomLevel");
    QTest::addColumn<int>("startZoom");
    QTest::addColumn<int>("signalled");
    QTest::addColumn<int>("shown");
    QTest::newRow("in range") << 1 << 9 << 9 << 11 << 11;
    QTest::newRow("above 17") << 1 << 9 << 9 << 25 << 17;
    QTest::newRow("below 0") << 1 << 9 << 9 << -3 << 0;
    QTest::newRow("saved zoom 0") << 1 << 0 << 0 << 4 << 4;
    QTest::newRow("Stamen above 12") << 2 << 14 << 12 << 15 << 12;
    QTest::newRow("Stamen below 5") << 2 << 3 << 5 << 2 << 5;
}

void TestMainWindow::zoomLabelIsClamped()
{
    QFETCH(int, provider);
    QFETCH(int, zoomLevel);
    QFETCH(int, startZoom);
    QFETCH(int, signalled);
    QFETCH(int, shown);
    Session s(*server, castles,
              {QStringLiteral("provider=%1").arg(provider),
               QStringLiteral("zoomLevel=%1").arg(zoomLevel)});
    QCOMPARE(s.w().map()->getCurrentZoom(), startZoom);
    QCOMPARE(s.w().zoomStatusLabel()->text(), QStringLiteral("ZoomLevel: %1").arg(startZoom));
    emit s.w().map()->changeZoomLevel(signalled);
    QCOMPARE(s.w().zoomStatusLabel()->text(), QStringLiteral("ZoomLevel: %1").arg(shown));
}

void TestMainWindow::columnWidthsGiveTableWidth_data()
{
    QTest::addColumn<QStringList>("general");
    QTest::addColumn<QList<int>>("widths");
    QTest::newRow("absent") << QStringList() << QList<int>{40, 40, 40, 40, 40, 40, 40, 40};
    QTest::newRow("given") << QStringList{"columnWidth=\"90,60,50,45,45,40,70,80\""}
                           << QList<int>{90, 60, 50, 45, 45, 40, 70, 80};
}

void TestMainWindow::columnWidthsGiveTableWidth()
{
    QFETCH(QStringList, general);
    QFETCH(QList<int>, widths);
    Session s(*server, castles, general);
    int sum = 0;
    for (int c = 0; c < 8; ++c) {
        QCOMPARE(s.ui().tableView->columnWidth(c), widths[c]);
        QCOMPARE(s.ui().tableView_2->columnWidth(c), widths[c]);
        sum += widths[c];
    }
    QCOMPARE(s.w().mapTableWidth(), sum);
}

void TestMainWindow::sortAtStart_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<int>("sort");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("unsorted") << castles << 0
                              << QStringList{"大坂城", "富士山", "江戸城", "名古屋城"};
    QTest::newRow("x ascending") << castles << 3
                                 << QStringList{"大坂城", "名古屋城", "富士山", "江戸城"};
    QTest::newRow("colour descending")
        << castles << 8 << QStringList{"名古屋城", "江戸城", "富士山", "大坂城"};
    QTest::newRow("mode out of range")
        << castles << 99 << QStringList{"大坂城", "富士山", "江戸城", "名古屋城"};
    QTest::newRow("empty list") << QByteArray() << 3 << QStringList();
}

void TestMainWindow::sortAtStart()
{
    QFETCH(QByteArray, csv);
    QFETCH(int, sort);
    QFETCH(QStringList, order);
    Session s(*server, csv, {QStringLiteral("sort=%1").arg(sort)});
    QCOMPARE(s.w().currentSortMode(), sort);
    QCOMPARE(names(s.w().places), order);
    // The table and the markers show the sorted list.
    QCOMPARE(tableNames(s.w().dataTableModel()), order);
    if (sort >= 1 && sort <= 16 && !order.isEmpty()) {
        const QHeaderView* header = s.ui().tableView->horizontalHeader();
        QCOMPARE(header->sortIndicatorSection(), (sort - 1) / 2);
        QCOMPARE(header->sortIndicatorOrder(), sort % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

QStringList TestMainWindow::menuEntries(QMenu* menu) const
{
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

void TestMainWindow::menus_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("entries");
    QStringList layers;
    for (int n = 1; n <= 9; ++n)
        layers << QStringLiteral("レイヤー %1").arg(n);
    QTest::newRow("layers") << "(&L) レイヤー表示" << layers;
    QTest::newRow("tools") << "(&T) ツール" << QStringList{"(&M) ２地点の距離を計測"};
    QTest::newRow("map") << "(&M) マップデータ切替"
                         << QStringList{"(&G) Google Map",
                                        "(&O) OpenStreetMap",
                                        "(&S) Stamen Design",
                                        "(&J) 国土地理院白地図",
                                        "-",
                                        "(&C) データをキャッシュする"};
    QTest::newRow("help") << "(&H) ヘルプ"
                          << QStringList{"(&D) ドキュメント", "-", "(&Q) Qtについて",
                                         "(&V) バージョン"};
}

void TestMainWindow::menus()
{
    QFETCH(QString, title);
    QFETCH(QStringList, entries);
    Session s(*server, castles);
    QMenu* menu = nullptr;
    QStringList titles;
    for (QAction* a : s.w().menuBar()->actions()) {
        titles << a->text();
        if (a->text() == title)
            menu = a->menu();
    }
    QCOMPARE(titles, QStringList({"(&L) レイヤー表示", "(&T) ツール", "(&M) マップデータ切替",
                                  "(&H) ヘルプ"}));
    QVERIFY(menu);
    QCOMPARE(menuEntries(menu), entries);
}

void TestMainWindow::menuFontAndStartState()
{
    Session s(*server, castles, {"cache=true"},
              QStringLiteral("[font]\ninp_family=DejaVu Sans\ninp_pointSize=13\n"));
    const QFont wanted = AppSettings::instance().inpFont;
    QCOMPARE(wanted.pointSize(), 13);
    QList<QWidget*> carriers{s.w().menuBar()};
    for (QAction* a : s.w().menuBar()->actions())
        carriers << a->menu();
    for (QWidget* c : carriers) {
        QCOMPARE(c->font().family(), wanted.family());
        QCOMPARE(c->font().pointSize(), 13);
    }

    for (QAction* a : s.w().layerMenuActions()) {
        QVERIFY(a->isCheckable());
        QVERIFY(a->isChecked());
    }
    const QActionGroup* group = s.w().providerMenuActions()[0]->actionGroup();
    QVERIFY(group && group->isExclusive());
    for (QAction* a : s.w().providerMenuActions())
        QCOMPARE(a->actionGroup(), group);
    QVERIFY(s.w().cacheMenuAction()->isCheckable());
    QVERIFY(s.w().cacheMenuAction()->isChecked());

    QMenu* help = s.w().menuBar()->actions().last()->menu();
    const QStringList tips{"ドキュメント表示", QString(), "Qtバージョン表示", "バージョン表示"};
    for (int i = 0; i < 4; ++i) {
        QAction* a = help->actions()[i];
        QCOMPARE(a->statusTip(), tips[i]);
        QCOMPARE(a->icon().isNull(), a->isSeparator());
    }

    QCOMPARE(s.w().windowTitle(), QStringLiteral("MivaroMap Ver 0.70"));
    // After the list was loaded and drawn, not the table's count.
    QCOMPARE(s.status(), QStringLiteral("Ready"));
    QCOMPARE(s.w().searchPosition(), -1);
    QCOMPARE(s.ui().tabWidget->currentIndex(), 0);
    QCOMPARE(s.w().dataTableModel()->rowCount(), 4);
    QCOMPARE(s.w().bulkTableModel()->rowCount(), 4);
}

void TestMainWindow::classRows()
{
    Session s(*server, castles);
    QVBoxLayout* rows = s.ui().settingLayout;
    QCOMPARE(rows->count(), AppSettings::ClassCount + 1);
    QVERIFY(rows->itemAt(AppSettings::ClassCount)->spacerItem());
    const AppSettings& settings = AppSettings::instance();
    for (int i = 0; i < AppSettings::ClassCount; ++i) {
        QLayout* row = rows->itemAt(i)->layout();
        QVERIFY(row);
        QCOMPARE(row->count(), 8);
        auto* number = qobject_cast<QLabel*>(row->itemAt(0)->widget());
        auto* edit = qobject_cast<QLineEdit*>(row->itemAt(1)->widget());
        QVERIFY(number && edit);
        QCOMPARE(number->text(), QStringLiteral("%1 ").arg(i, 3, 10, QLatin1Char('0')));
        QCOMPARE(edit->toolTip(), QStringLiteral("lineedit%1").arg(i));
        QCOMPARE(edit->text(), settings.className[i]);
        QVERIFY(edit->styleSheet().contains(settings.classBack[i].name()));
        const QStringList tips{"up", "down", "erase", "insert", "back", "fore"};
        for (int b = 0; b < 6; ++b)
            QCOMPARE(row->itemAt(b + 2)->widget()->toolTip(), tips[b] + QString::number(i));
    }
}

// ---------------------------------------------------------------- markers

void TestMainWindow::markersOnTheirLayers()
{
    const QByteArray csv = "zero,139.1,35.1,1,0,Image,11,10\n"
                           "minus,139.2,35.2,1,-3,Scaled,11,10\n"
                           "text,139.3,35.3,1,abc,Circle,11,10\n"
                           "twelve,139.4,35.4,1,12,Image,11,10\n"
                           "five,139.5,35.5,1,5,Image,11,10\n"
                           ",139.6,35.6,1,5,Image,11,10\n"
                           "nine,139.7,35.7,1,9,Image,11,10\n";
    Session s(*server, csv);
    const QList<QStringList> expected{{"zero", "minus", "text"}, {}, {}, {}, {"five"}, {}, {}, {},
                                      {"twelve", "nine"}};
    for (int n = 0; n < 9; ++n)
        QCOMPARE(geometryNames(*s.w().markerLayers()[n]), expected[n]);
    const auto& five = s.w().markerLayers()[4]->geometries().front();
    const auto* point = dynamic_cast<const qmapcontrol::GeometryPoint*>(five.get());
    QVERIFY(point);
    QCOMPARE(point->coord().longitude(), 139.5);
    QCOMPARE(point->coord().latitude(), 35.5);
    // The nameless place is still in the table.
    QCOMPARE(s.w().dataTableModel()->rowCount(), 7);
}

void TestMainWindow::hiddenLayerStaysHiddenAfterRefresh()
{
    Session s(*server, castles);
    QAction* third = s.w().layerMenuActions()[2];
    const auto& layer = s.w().markerLayers()[2];
    QCOMPARE(geometryNames(*layer), QStringList{"江戸城"});
    third->trigger();
    QVERIFY(!third->isChecked());
    QVERIFY(!layer->isVisible());
    QVERIFY(s.w().markerLayers()[1]->isVisible());
    QTest::mouseClick(s.ui().btnRefresh, Qt::LeftButton);
    QVERIFY(!layer->isVisible());
    QCOMPARE(geometryNames(*layer), QStringList{"江戸城"});
    third->trigger();
    QVERIFY(layer->isVisible());
}

// ---------------------------------------------------------------- search

void TestMainWindow::searchWalk_data()
{
    QTest::addColumn<bool>("byReturn");
    QTest::newRow("次へ") << false;
    QTest::newRow("Return") << true;
}

void TestMainWindow::searchWalk()
{
    QFETCH(bool, byReturn);
    Session s(*server, castles);
    s.ui().lineEdit->setText(QStringLiteral("城"));
    auto next = [&] {
        if (byReturn)
            QTest::keyClick(s.ui().lineEdit, Qt::Key_Return);
        else
            QTest::mouseClick(s.ui().btnNext, Qt::LeftButton);
    };
    for (int hit : {0, 2, 3}) {
        next();
        QCOMPARE(s.w().searchPosition(), hit);
        QCOMPARE(s.ui().tableView->currentIndex().row(), hit);
        QVERIFY(s.w().places[hit]->marked);
        QCOMPARE(s.w().dataTableModel()->rowCount(), 4);
        QVERIFY(s.asked().calls.isEmpty());
    }
    next();
    QCOMPARE(s.status(), QStringLiteral("城 は見つかりませんでした。Google Map で検索します"));
    QCOMPARE(s.asked().kinds(), QStringList({"beep", "url"}));
    const QUrl url(s.asked().calls[1].extra);
    QCOMPARE(url.host(), QStringLiteral("www.google.com"));
    QCOMPARE(url.path(), QStringLiteral("/maps/search/城/"));
    QCOMPARE(s.w().searchPosition(), -1);
    QCOMPARE(s.w().missedName(), QStringLiteral("城"));
    QCOMPARE(names(s.w().places).size(), 4);
    for (int i : {0, 2, 3})
        QVERIFY(s.w().places[i]->marked);
    QVERIFY(!s.w().places[1]->marked);

    // The next press starts again at the top.
    next();
    QCOMPARE(s.w().searchPosition(), 0);
    QCOMPARE(s.w().missedName(), QString());
}

void TestMainWindow::webSearchQuery()
{
    Session s(*server, castles);
    s.ui().lineEdit->setText(QStringLiteral("小田原城"));
    QTest::mouseClick(s.ui().btnNext, Qt::LeftButton);
    QCOMPARE(s.asked().kinds(), QStringList({"beep", "url"}));
    QCOMPARE(QUrl(s.asked().calls[1].extra).path(), QStringLiteral("/maps/search/小田原城跡/"));
    QCOMPARE(s.w().missedName(), QStringLiteral("小田原城"));

    // Backwards from before the first row fails at once, without a web search.
    s.asked().calls.clear();
    QTest::mouseClick(s.ui().btnPrev, Qt::LeftButton);
    QCOMPARE(s.asked().kinds(), QStringList{"beep"});
    QCOMPARE(s.status(), QStringLiteral("小田原城 は見つかりませんでした"));
}

void TestMainWindow::narrowAndClearName()
{
    Session s(*server, castles);
    s.ui().lineEdit->setText(QStringLiteral("戸"));
    QTest::mouseClick(s.ui().btnSearch, Qt::LeftButton);
    QCOMPARE(tableNames(s.w().dataTableModel()), QStringList{"江戸城"});
    QCOMPARE(s.ui().tableView->currentIndex().row(), 0);
    QCOMPARE(s.w().searchPosition(), 0);
    QVERIFY(s.asked().calls.isEmpty());

    s.ui().lineEdit->setText(QStringLiteral("熊本"));
    QTest::mouseClick(s.ui().btnSearch, Qt::LeftButton);
    QCOMPARE(s.asked().kinds(), QStringList{"beep"});
    QCOMPARE(s.status(), QStringLiteral("該当は見つかりませんでした"));
    QCOMPARE(s.w().dataTableModel()->rowCount(), 0);
    QCOMPARE(s.w().searchPosition(), -1);
    // The markers stay whatever the table shows.
    QCOMPARE(geometryNames(*s.w().markerLayers()[2]), QStringList{"江戸城"});

    QTest::mouseClick(s.ui().btnNameClear, Qt::LeftButton);
    QCOMPARE(s.ui().lineEdit->text(), QString());
    QCOMPARE(s.w().dataTableModel()->rowCount(), 4);
    QCOMPARE(s.status(), QStringLiteral("該当データ 4/4"));
}

// ---------------------------------------------------------------- map mouse

void TestMainWindow::shiftDragFillsRectangle()
{
    Session s(*server, castles);
    s.show();
    QWidget* map = s.w().map();
    // A box of 40 pixels around 江戸城.
    s.w().map()->setMapFocusPoint(PointWorldCoord(139.7528, 35.6852));
    const QPoint centre = s.w().map()->toWidgetPoint(PointWorldCoord(139.7528, 35.6852)).toPoint();
    const QPoint from = centre - QPoint(20, 20);
    const QPoint to = centre + QPoint(20, 20);
    const PointWorldCoord a = s.w().map()->toPointWorldCoord(from);
    const PointWorldCoord b = s.w().map()->toPointWorldCoord(to);

    QTest::mousePress(map, Qt::LeftButton, Qt::ShiftModifier, from);
    dragTo(map, centre, Qt::ShiftModifier);
    dragTo(map, to, Qt::ShiftModifier);
    QTest::mouseRelease(map, Qt::LeftButton, Qt::ShiftModifier, to);

    QCOMPARE(s.ui().le_startX->text(), fixed14(a.longitude()));
    QCOMPARE(s.ui().le_startY->text(), fixed14(a.latitude()));
    QCOMPARE(s.ui().le_endX->text(), fixed14(b.longitude()));
    QCOMPARE(s.ui().le_endY->text(), fixed14(b.latitude()));
    const QRegularExpression fourteen(QStringLiteral("^1[34][0-9]\\.[0-9]{14}$|^35\\.[0-9]{14}$"));
    for (QLineEdit* e : {s.ui().le_startX, s.ui().le_startY, s.ui().le_endX, s.ui().le_endY})
        QVERIFY2(fourteen.match(e->text()).hasMatch(), qPrintable(e->text()));
    QCOMPARE(s.ui().tabWidget->currentIndex(), 2);
    // The bulk table now shows the places inside the box.
    QCOMPARE(tableNames(s.w().bulkTableModel()), QStringList{"江戸城"});
    // The map did not pan under the box.
    QCOMPARE(s.w().map()->toPointWorldCoord(from), a);
}

void TestMainWindow::dragWithoutShiftChangesNothing()
{
    Session s(*server, castles);
    s.show();
    QWidget* map = s.w().map();
    const QPoint centre = map->rect().center();
    const PointWorldCoord before = s.w().map()->mapFocusPointCoord();
    QTest::mousePress(map, Qt::LeftButton, {}, centre);
    dragTo(map, centre + QPoint(15, 0));
    dragTo(map, centre + QPoint(30, 10));
    QTest::mouseRelease(map, Qt::LeftButton, {}, centre + QPoint(30, 10));
    for (QLineEdit* e : {s.ui().le_startX, s.ui().le_startY, s.ui().le_endX, s.ui().le_endY})
        QCOMPARE(e->text(), QString());
    QCOMPARE(s.ui().tabWidget->currentIndex(), 0);
    QVERIFY(s.w().map()->mapFocusPointCoord() != before); // it panned instead
}

void TestMainWindow::leftPressShowsCoordinate()
{
    Session s(*server, castles);
    s.show();
    QWidget* map = s.w().map();
    const QPoint at = map->rect().center() + QPoint(17, -9);
    const PointWorldCoord c = s.w().map()->toPointWorldCoord(at);
    QTest::mouseClick(map, Qt::LeftButton, {}, at);
    QCOMPARE(s.status(),
             QStringLiteral("X=%1 Y=%2").arg(fixed14(c.longitude()), fixed14(c.latitude())));
}

void TestMainWindow::rightClickMenu_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("copied");
    QTest::newRow("copy") << "XY座標をクリップボードにコピー" << true;
    QTest::newRow("dismissed") << QString() << false;
}

void TestMainWindow::rightClickMenu()
{
    QFETCH(QString, answer);
    QFETCH(bool, copied);
    Session s(*server, castles);
    s.show();
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    s.w().statusBar()->showMessage(QStringLiteral("before"));
    s.asked().menuAnswers << answer;
    QWidget* map = s.w().map();
    const QPoint at = map->rect().center() + QPoint(-23, 11);
    const PointWorldCoord c = s.w().map()->toPointWorldCoord(at);
    QTest::mouseClick(map, Qt::RightButton, {}, at);

    QCOMPARE(s.asked().kinds(), QStringList{"menu"});
    QCOMPARE(s.asked().calls[0].text,
             QStringLiteral("XY座標をクリップボードにコピー\nXY座標に新規で部品を作成する"));
    const QString text = fixed14(c.longitude()) + ", " + fixed14(c.latitude());
    QCOMPARE(QApplication::clipboard()->text(), copied ? text : QStringLiteral("untouched"));
    // The right press itself writes no coordinate.
    QCOMPARE(s.status(), copied ? text + QStringLiteral("をクリップボードにコピーしました")
                                : QStringLiteral("before"));
}

void TestMainWindow::exactCoordinateTexts()
{
    // A pixel cannot land exactly on 139.949 / 35.7153, so the coordinate
    // comes straight from the map's and a place layer's signals, as they send it.
    Session s(*server, castles);
    const PointWorldCoord point(139.949, 35.7153);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    emit s.w().map()->mouseEventPressCoordinate(&press, point);
    QCOMPARE(s.status(), QStringLiteral("X=139.94900000000001 Y=35.71530000000000"));

    s.asked().menuAnswers << QStringLiteral("XY座標をクリップボードにコピー");
    emit s.w().markerLayers()[8]->mouseRightClicked(point);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("139.94900000000001, 35.71530000000000"));
    QCOMPARE(
        s.status(),
        QStringLiteral("139.94900000000001, 35.71530000000000をクリップボードにコピーしました"));
}

// ---------------------------------------------------------------- tables

void TestMainWindow::doubleClickFliesTheMap_data()
{
    QTest::addColumn<bool>("bulkTable");
    QTest::newRow("data table") << false;
    QTest::newRow("bulk-edit table") << true;
}

void TestMainWindow::doubleClickFliesTheMap()
{
    QFETCH(bool, bulkTable);
    Session s(*server, castles);
    s.show();
    TableView* view = bulkTable ? s.ui().tableView_2 : s.ui().tableView;
    TableModel* model = bulkTable ? s.w().bulkTableModel() : s.w().dataTableModel();
    s.ui().tabWidget->setCurrentIndex(bulkTable ? 2 : 0);
    qint64 ms = 50000;
    view->setClock([&ms] { return ms; });
    const PointWorldCoord start = s.w().map()->mapFocusPointCoord();

    const int row = 3; // 名古屋城
    auto press = [&] {
        const QPoint cell = view->visualRect(model->index(row, 1)).center();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, cell);
    };
    press();
    ms += 300;
    QTest::qWait(200);
    QCOMPARE(s.w().map()->mapFocusPointCoord(), start); // one press does not fly
    press();
    QCOMPARE(s.w().searchPosition(), row);
    const PointWorldCoord target(136.8995, 35.1856);
    QTRY_VERIFY_WITH_TIMEOUT(s.w().map()->mapFocusPointCoord() == target, 15000);
    view->setClock({});
}

void TestMainWindow::headerClicksSortAndRefresh()
{
    const QByteArray csv = "b,139.5,35.1,1,1,Image,11,10\n"
                           "a,99.5,35.2,1,1,Image,11,10\n"
                           "c,100.25,35.3,1,1,Image,11,10\n";
    Session s(*server, csv);
    s.show();
    QHeaderView* header = s.ui().tableView->horizontalHeader();
    const QPoint column1(header->sectionViewportPosition(1) + header->sectionSize(1) / 2,
                         header->height() / 2);
    const QStringList up{"a", "c", "b"};
    const QStringList down{"b", "c", "a"};
    struct Step
    {
        int mode;
        Qt::SortOrder order;
        QStringList names;
    };
    for (const Step& step : {Step{3, Qt::AscendingOrder, up}, Step{4, Qt::DescendingOrder, down},
                             Step{3, Qt::AscendingOrder, up}}) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, column1);
        QCOMPARE(s.w().currentSortMode(), step.mode);
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), step.order);
        QCOMPARE(names(s.w().places), step.names);
        QCOMPARE(tableNames(s.w().dataTableModel()), step.names);
        // The markers were rebuilt in the new order.
        QCOMPARE(geometryNames(*s.w().markerLayers()[0]), step.names);
    }
    s.window.reset();
    QCOMPARE(AppSettings::instance().sort, 3);
}

// ---------------------------------------------------------------- layout

void TestMainWindow::narrowWindowKeepsMapAtLeastOnePixel()
{
    Session s(*server, castles, {"columnWidth=\"500,500,500,500,500,500,500,500\""});
    QCOMPARE(s.w().mapTableWidth(), 4000);
    s.show(QSize(900, 600));
    s.w().resize(700, 500);
    QTRY_COMPARE(s.w().map()->sizeHint().width(), 1);
    QCOMPARE(s.w().map()->sizeHint().height(), s.w().height() - 40);
}

void TestMainWindow::splitterSnapsToTables_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("pane");
    // The tab widget's own limits (560 to 600) hold the pane in any case.
    QTest::newRow("at the tables' width: left alone") << 70 << 560 << 560;
    QTest::newRow("wider than the tables: snaps to +40") << 70 << 585 << 600;
    QTest::newRow("default widths: stays at the minimum") << 40 << 590 << 560;
}

void TestMainWindow::splitterSnapsToTables()
{
    QFETCH(int, column);
    QFETCH(int, position);
    QFETCH(int, pane);
    QStringList widths;
    for (int c = 0; c < 8; ++c)
        widths << QString::number(column);
    Session s(*server, castles,
              {QStringLiteral("columnWidth=\"%1\"").arg(widths.join(QLatin1Char(',')))});
    QCOMPARE(s.w().mapTableWidth(), 8 * column);
    s.show();
    QSplitter* splitter = s.ui().splitter;
    QSignalSpy moved(splitter, &QSplitter::splitterMoved);
    QWidget* handle = splitter->handle(1);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    const int start = splitter->sizes().at(0);
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    const QPoint end = grip + QPoint(position - start, 0);
    dragTo(handle, end);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, end);
    QVERIFY(!moved.isEmpty());
    QCOMPARE(moved.last().at(0).toInt(), position);
    QCOMPARE(splitter->sizes().at(0), pane);
}

void TestMainWindow::f1PressesOnlyTheVisibleHelp()
{
    Session s(*server, castles);
    s.show();
    s.w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s.w()));
    const QList<QPushButton*> help{s.ui().btnHelp1, s.ui().btnHelp2, s.ui().btnHelp3};
    for (int page = 0; page < 3; ++page) {
        s.ui().tabWidget->setCurrentIndex(page);
        QList<std::shared_ptr<QSignalSpy>> spies;
        for (QPushButton* b : help)
            spies << std::make_shared<QSignalSpy>(b, &QAbstractButton::clicked);
        QTest::keyClick(&s.w(), Qt::Key_F1);
        QTRY_COMPARE_WITH_TIMEOUT(spies[page]->count(), 1, 10000);
        QTest::qWait(150);
        for (int other = 0; other < 3; ++other)
            QCOMPARE(spies[other]->count(), other == page ? 1 : 0);
    }
}

// ---------------------------------------------------------------- tiles

void TestMainWindow::tilesFromTheConfiguredServer()
{
    server->clearRequests();
    // Also the start-up cache: beside the program when no cache_path is set.
    Session s(*server, QByteArray(), {"provider=1", "cache=true"});
    QCOMPARE(AppSettings::instance().tilesOsm,
             server->urlTemplate(QStringLiteral("/osm/{z}/{x}/{y}.png")));
    QVERIFY(s.w().cacheMenuAction()->isChecked());
    s.show();

    const QPoint tile = tileOf(139.949, 35.7153, 9);
    const QString path = QStringLiteral("/osm/9/%1/%2.png").arg(tile.x()).arg(tile.y());
    QTRY_VERIFY_WITH_TIMEOUT(server->paths().contains(path), 20000);
    for (const QString& p : server->paths())
        QVERIFY2(p.startsWith(QStringLiteral("/osm/9/")), qPrintable(p));
    const QColor colour = TestTileServer::tileColor(9, tile.x(), tile.y());
    QTRY_VERIFY_WITH_TIMEOUT(pixelsOf(s.w().map()->grab().toImage(), colour) > 5000, 20000);
    const QString cacheDir = s.dir.file("cache");
    auto cachedTiles = [](const QString& dir) {
        int n = 0;
        for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
             it.next())
            ++n;
        return n;
    };
    QTRY_VERIFY_WITH_TIMEOUT(cachedTiles(cacheDir) > 0, 20000);

    // Another provider from the menu: its own address.
    server->clearRequests();
    s.w().providerMenuActions()[3]->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(
        server->paths().contains(QStringLiteral("/gsi/9/%1/%2.png").arg(tile.x()).arg(tile.y())),
        20000);

    // The cache switched off and on from the menu lives in the home folder.
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    s.w().cacheMenuAction()->trigger();
    QVERIFY(!AppSettings::instance().cache);
    s.w().cacheMenuAction()->trigger();
    QVERIFY(AppSettings::instance().cache);
    s.w().map()->setMapFocusPoint(PointWorldCoord(135.5259, 34.6873));
    QTRY_VERIFY_WITH_TIMEOUT(cachedTiles(home.filePath("QMapControl.cache")) > 0, 20000);
    s.window.reset();
    qputenv("HOME", oldHome);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
