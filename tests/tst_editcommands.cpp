// The editing commands on the assembled window: cell right clicks, the marker
// click, a new place from the map, delete, bulk replace, and undo and redo of
// each, compared by the bytes of the saved list.
#include "../app/ui_mainwindow.h"
#include "app/mivaromap.h"
#include "records/placefile.h"
#include "records/tablemodel.h"
#include "records/tableview.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QClipboard>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using qmapcontrol::PointWorldCoord;

namespace {

const QByteArray five = "大坂城,135.5259,34.6873,1,1,Image,11,10\n"
                        "富士山,138.7274,35.3606,2,2,Scaled,11,10\n"
                        "江戸城,139.7528,35.6852,3,3,Circle,11,10\n"
                        "名古屋城,136.8995,35.1856,4,4,Image,11,10\n"
                        "江戸城,139.7600,35.6900,5,5,Image,11,10\n";

QStringList names(const TableModel* model)
{
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->data(model->index(row, 0)).toString();
    return out;
}

} // namespace

class Window
{
public:
    explicit Window(const QByteArray& csv = five)
    {
        writeAll(dir.file("list.csv"), csv);
        AppSettings::instance().load();
        keepTilesLocal();
        AppSettings& settings = AppSettings::instance();
        settings.csv_filename = dir.file("list.csv");
        // Twenty named classes for the palette.
        for (int i = 0; i < 20; ++i) {
            settings.className[i] = QStringLiteral("c%1").arg(i);
            settings.classBack[i] = QColor(10 * i, 0, 0);
        }
        window = std::make_unique<MivaroMap>();
        window->resize(1200, 800);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        asked().calls.clear();
    }

    MivaroMap& w() { return *window; }
    Ui::MainWindow& ui() { return *window->form(); }
    ScriptedPrompts& asked() { return prompts.prompts(); }
    QString autosaveFile() const { return dir.file("list_autosave.csv"); }
    // The list as a save would write it.
    QByteArray saved()
    {
        const QString path = dir.file("probe.csv");
        window->savePlaceFile(path, false, false);
        return readAll(path);
    }
    void mark(const QList<int>& indexes)
    {
        for (int i : indexes)
            window->places[i]->marked = true;
    }
    QList<bool> marks() const
    {
        QList<bool> out;
        for (const auto& p : window->places)
            out << p->marked;
        return out;
    }
    void rightClickCell(int row, int column)
    {
        TableView* view = ui().tableView;
        const QPoint at = view->visualRect(w().dataTableModel()->index(row, column)).center();
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
    }

    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
};

class TestEditCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initMivaroMapResources(); }

    void deleteMarked()
    {
        Window s;
        writeAll(s.autosaveFile(), "old\n");
        const QByteArray list = readAll(s.dir.file("list.csv"));
        s.mark({1, 3});
        s.asked().buttonAnswers << QMessageBox::No << QMessageBox::Yes;
        QTest::mouseClick(s.ui().btnDelete, Qt::LeftButton);
        QCOMPARE(s.w().places.size(), size_t(5));
        QCOMPARE(readAll(s.autosaveFile()), QByteArray("old\n"));
        const QByteArray before = s.saved();

        QTest::mouseClick(s.ui().btnDelete, Qt::LeftButton);
        QCOMPARE(s.asked().calls[1].title, QString("データ削除"));
        QCOMPARE(s.asked().calls[1].parent, nullptr);
        QCOMPARE(names(s.w().dataTableModel()), (QStringList{"大坂城", "江戸城", "江戸城"}));
        QCOMPARE(names(s.w().bulkTableModel()), (QStringList{"大坂城", "江戸城", "江戸城"}));
        QCOMPARE(s.w().markerLayers()[1]->geometries().size(), size_t(0));
        QVERIFY(s.w().modified);
        const QByteArray after = s.saved();
        QCOMPARE(readAll(s.autosaveFile()), after);
        QCOMPARE(readAll(s.autosaveFile() + ".bak1"), QByteArray("old\n"));
        QCOMPARE(readAll(s.dir.file("list.csv")), list);

        s.w().modified = false;
        // From the search field, which has the focus and nothing of its own to undo.
        s.w().activateWindow();
        s.ui().lineEdit->setFocus();
        QTest::keyClick(s.ui().lineEdit, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.saved(), before);
        QCOMPARE(readAll(s.autosaveFile()), before);
        QVERIFY(s.w().modified);
        QCOMPARE(s.w().markerLayers()[1]->geometries().size(), size_t(1));
        QCOMPARE(s.w().dataTableModel()->rowCount(), 5);
        QTest::keyClick(s.ui().lineEdit, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(s.saved(), after);
        // Typed text is the field's own to take back first.
        QTest::keyClicks(s.ui().lineEdit, "ab");
        QTest::keyClick(s.ui().lineEdit, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.saved(), after);
        QVERIFY(s.ui().lineEdit->text().size() < 2);
        QCOMPARE(readAll(s.autosaveFile()), after);
        QCOMPARE(s.w().bulkTableModel()->rowCount(), 3);
    }

    void deleteUnderTheNameFilter()
    {
        Window s;
        s.ui().lineEdit->setText("江戸");
        QTest::mouseClick(s.ui().btnSearch, Qt::LeftButton);
        QCOMPARE(s.w().dataTableModel()->rowCount(), 2);
        s.asked().buttonAnswers << QMessageBox::Yes << QMessageBox::Yes << QMessageBox::Yes;
        // Nothing marked: no autosave, nothing to undo, the table refreshed all the same.
        QTest::mouseClick(s.ui().btnDelete, Qt::LeftButton);
        QVERIFY(!QFile::exists(s.autosaveFile()));
        QVERIFY(!s.w().modified);
        QVERIFY(!s.w().undoMenuAction()->isEnabled());
        QCOMPARE(s.w().dataTableModel()->rowCount(), 5);

        // Earlier unsaved edits are autosaved with a backup.
        s.w().modified = true;
        QTest::mouseClick(s.ui().btnDelete, Qt::LeftButton);
        QCOMPARE(readAll(s.autosaveFile()), s.saved());

        // A marked row the filter hides is kept.
        s.mark({0, 2});
        s.ui().lineEdit->setText("江戸");
        QTest::mouseClick(s.ui().btnSearch, Qt::LeftButton);
        QTest::mouseClick(s.ui().btnDelete, Qt::LeftButton);
        QCOMPARE(names(s.w().dataTableModel()),
                 (QStringList{"大坂城", "富士山", "名古屋城", "江戸城"}));
        QVERIFY(s.w().places[0]->marked);
    }

    void bulkReplace()
    {
        Window s;
        s.ui().le_layer->setText("2");
        QCOMPARE(names(s.w().bulkTableModel()), QStringList{"富士山"});
        s.asked().calls.clear();
        QTest::mouseClick(s.ui().btnRefresh3, Qt::LeftButton);
        QCOMPARE(s.asked().kinds(), (QStringList{"beep", "information"}));
        QCOMPARE(s.asked().calls[1].title, QString("一括置換"));
        QCOMPARE(s.asked().calls[1].text, QString("選択された行が見つかりません"));

        s.ui().le_layer->clear();
        s.ui().le_font->setText("11");
        s.mark({0, 1, 3});
        s.ui().le_level->setText("10");
        s.ui().le_layer->setText("1");
        // The bulk table shows 大坂城 only; 富士山 and 名古屋城 are marked but not shown.
        QCOMPARE(names(s.w().bulkTableModel()), QStringList{"大坂城"});
        // Every replacement field empty: nothing changes, modified stays as it was.
        const QByteArray before = s.saved();
        s.asked().calls.clear();
        QTest::mouseClick(s.ui().btnRefresh3, Qt::LeftButton);
        QVERIFY(s.asked().calls.isEmpty());
        QVERIFY(!s.w().modified);
        QCOMPARE(s.saved(), before);
        QVERIFY(!s.w().undoMenuAction()->isEnabled());

        s.ui().le_level_2->setText("15");
        QTest::mouseClick(s.ui().btnRefresh3, Qt::LeftButton);
        QVERIFY(s.w().modified);
        QCOMPARE(s.w().places[0]->level, QString("15"));
        QCOMPARE(s.w().places[1]->level, QString("10"));
        QCOMPARE(s.w().places[3]->level, QString("10"));
        QCOMPARE(s.w().places[0]->shape, QString("Image"));
        QVERIFY(!QFile::exists(s.autosaveFile()));
        // It no longer passes the level filter and leaves the table, keeping its mark.
        QCOMPARE(s.w().bulkTableModel()->rowCount(), 0);
        QVERIFY(s.w().places[0]->marked);
        const QByteArray after = s.saved();

        s.ui().le_level->clear();
        s.ui().le_layer->clear();
        s.ui().cmb_shape_2->setCurrentIndex(3);
        s.ui().le_color_2->setText("7");
        s.ui().le_level_2->clear();
        QTest::mouseClick(s.ui().btnRefresh3, Qt::LeftButton);
        QCOMPARE(s.w().places[1]->shape, QString("Circle"));
        QCOMPARE(s.w().places[3]->color, QString("7"));
        QCOMPARE(s.w().places[2]->color, QString("3"));
        QCOMPARE(s.w().places[0]->level, QString("15"));

        s.w().undoMenuAction()->trigger();
        QCOMPARE(s.saved(), after);
        s.w().undoMenuAction()->trigger();
        QCOMPARE(s.saved(), before);
        QVERIFY(!QFile::exists(s.autosaveFile()));
        s.w().redoMenuAction()->trigger();
        QCOMPARE(s.saved(), after);
    }

    void markToggleOnFourRows()
    {
        Window s(five.left(five.lastIndexOf("江戸城")));
        s.mark({2});
        QTest::mouseClick(s.ui().btnMarkToggle, Qt::LeftButton);
        QCOMPARE(s.marks(), (QList<bool>{true, true, false, true}));
        QTest::mouseClick(s.ui().btnMarkClear_2, Qt::LeftButton);
        QCOMPARE(s.marks(), (QList<bool>{false, false, false, false}));
        QTest::mouseClick(s.ui().btnMarkToggle_2, Qt::LeftButton);
        QCOMPARE(s.marks(), (QList<bool>{true, true, true, true}));
    }

    void levelMenu()
    {
        Window s;
        const QByteArray list = readAll(s.dir.file("list.csv"));
        s.asked().menuAnswers << QString() << "15";
        s.rightClickCell(1, 7);
        QCOMPARE(s.asked().kinds(), QStringList{"menu"});
        QCOMPARE(s.asked().calls[0].text, QString("9\n10\n11\n12\n13\n14\n15\n16\n17"));
        QVERIFY(!QFile::exists(s.autosaveFile()));
        const QByteArray before = s.saved();
        s.rightClickCell(1, 7);
        QCOMPARE(s.w().places[1]->level, QString("15"));
        QCOMPARE(s.w().searchPosition(), 1);
        QCOMPARE(readAll(s.autosaveFile()), s.saved());
        QCOMPARE(readAll(s.dir.file("list.csv")), list);
        // Name and text size cells do nothing.
        s.rightClickCell(1, 0);
        s.rightClickCell(1, 6);
        QCOMPARE(s.asked().calls.size(), 2);
        s.w().undoMenuAction()->trigger();
        QCOMPARE(s.saved(), before);
        QCOMPARE(readAll(s.autosaveFile()), before);
    }

    void pickersOnCells_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("menuAnswer"); // empty: the palette, or dismissed
        QTest::addColumn<int>("paletteClass");
        QTest::addColumn<QString>("value");
        QTest::newRow("class 12") << 3 << "" << 12 << "12";
        QTest::newRow("palette left") << 3 << "" << 150 << "2";
        QTest::newRow("layer 7") << 4 << "Layer7" << 0 << "7";
        QTest::newRow("layer menu dismissed") << 4 << "" << 0 << "2";
        QTest::newRow("Circle") << 5 << "Cricle" << 0 << "Circle";
        QTest::newRow("shape menu dismissed") << 5 << "" << 0 << "Scaled";
    }
    void pickersOnCells()
    {
        QFETCH(int, column);
        QFETCH(QString, menuAnswer);
        QFETCH(int, paletteClass);
        QFETCH(QString, value);
        Window s;
        const QByteArray list = readAll(s.dir.file("list.csv"));
        const QByteArray before = s.saved();
        s.asked().menuAnswers << menuAnswer;
        s.asked().dialogAnswers << clickClassLabel(paletteClass);
        s.rightClickCell(1, column);
        QCOMPARE(s.w().places[1]->field(column), value);
        const bool changed = s.saved() != before;
        QCOMPARE(QFile::exists(s.autosaveFile()), changed);
        QCOMPARE(readAll(s.dir.file("list.csv")), list);
        if (!changed)
            return;
        QCOMPARE(readAll(s.autosaveFile()), s.saved());
        if (column == 3)
            QCOMPARE(s.w().dataTableModel()->data(s.w().dataTableModel()->index(1, 3),
                                                  Qt::BackgroundRole),
                     QVariant(AppSettings::instance().classBack[12]));
        if (column == 4)
            QCOMPARE(s.w().markerLayers()[6]->geometries().size(), size_t(1));
        s.w().undoMenuAction()->trigger();
        QCOMPARE(s.saved(), before);
        QCOMPARE(readAll(s.autosaveFile()), before);
        s.w().redoMenuAction()->trigger();
        QCOMPARE(s.w().places[1]->field(column), value);
    }

    void pasteCoordinates_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        auto row = [](const char* tag, QString clip, int column, QString x, QString y) {
            QTest::addRow("%s", tag) << clip << column << x << y;
        };
        row("latitude first", "35.0, 135.5", 1, " 135.5", "35.0");
        row("longitude first", "135.5,35.0", 2, "135.5", "35.0");
        row("one blank", "135.5 35.0", 1, "135.5", "35.0");
        row("abc", "abc", 1, "138.7274", "35.3606");
        row("not a position", "東京 タワー", 2, "138.7274", "35.3606");
        row("out of range", "35.0,200.0", 2, "138.7274", "35.3606");
    }
    void pasteCoordinates()
    {
        QFETCH(QString, clipboard);
        QFETCH(int, column);
        QFETCH(QString, x);
        Window s;
        QApplication::clipboard()->setText(clipboard);
        const QByteArray before = s.saved();
        s.asked().buttonAnswers << QMessageBox::Yes;
        s.rightClickCell(1, column);
        QCOMPARE(s.asked().calls[0].title, QString("座標ペースト"));
        QCOMPARE(s.w().places[1]->x, x);
        QTEST(s.w().places[1]->y, "y");
        const bool changed = x != "138.7274";
        QCOMPARE(QFile::exists(s.autosaveFile()), changed);
        QCOMPARE(s.w().undoMenuAction()->isEnabled(), changed);
        if (changed) {
            // The marker went with it.
            const auto& marker = s.w().markerLayers()[1]->geometries().front();
            QCOMPARE(marker->metadata("name").toString(), QString("富士山"));
            s.w().undoMenuAction()->trigger();
            QCOMPARE(s.saved(), before);
        }
    }

    void markerClickFindsTheRecordDrawn()
    {
        Window s;
        const auto& layer = s.w().markerLayers()[4];
        QCOMPARE(layer->geometries().size(), size_t(1));
        emit layer->geometryClicked(layer->geometries().front().get());
        QVERIFY(s.w().places[4]->marked);
        QVERIFY(!s.w().places[2]->marked);
        QCOMPARE(s.w().searchPosition(), 4);
        QCOMPARE(s.ui().tableView->currentIndex().row(), 4);
        QVERIFY(!QFile::exists(s.autosaveFile()));

        // The palette: the clicked place takes class 0, its namesake keeps its own.
        const QByteArray before = s.saved();
        s.asked().dialogAnswers << clickClassLabel(0);
        emit layer->geometryClicked(layer->geometries().front().get());
        QCOMPARE(s.w().places[4]->color, QString("0"));
        QCOMPARE(s.w().places[2]->color, QString("3"));
        QCOMPARE(readAll(s.autosaveFile()), s.saved());
        s.w().undoMenuAction()->trigger();
        QCOMPARE(s.saved(), before);

        // Only a marker of a named place counts.
        qmapcontrol::GeometryPointImage unnamed(PointWorldCoord(1, 1), QPixmap(4, 4), 0, 17);
        s.asked().calls.clear();
        emit layer->geometryClicked(&unnamed);
        QVERIFY(s.asked().calls.isEmpty());
    }

    void newPlaceFromTheMap()
    {
        Window s;
        s.ui().lineEdit->setText("小田原城");
        QTest::mouseClick(s.ui().btnNext, Qt::LeftButton);
        const QByteArray before = s.saved();
        QStringList started;
        auto answer = [&](int result) {
            return [&, result](QDialog* d) {
                for (const char* name :
                     {"le_name", "le_coordX", "le_coordY", "le_colorno", "le_layerno", "le_shape"})
                    started << d->findChild<QLineEdit*>(name)->text();
                started << d->findChild<QSpinBox*>("spnPoint")->text()
                        << d->findChild<QSpinBox*>("spnZoomLevel")->text();
                d->findChild<QLineEdit*>("le_layerno")->setText("6");
                return result;
            };
        };
        s.asked().calls.clear();
        s.asked().menuAnswers << "XY座標に新規で部品を作成する"
                              << "XY座標に新規で部品を作成する";
        s.asked().dialogAnswers << answer(QDialog::Rejected) << answer(QDialog::Accepted);
        const auto& layer = s.w().markerLayers()[0];
        emit layer->mouseRightClicked(PointWorldCoord(139.15, 35.25));
        QCOMPARE(s.asked().kinds(), (QStringList{"menu", "dialog"}));
        QCOMPARE(s.asked().calls[1].title, QString("データ設定"));
        QCOMPARE(s.asked().calls[1].parent, &s.w());
        QCOMPARE(started, (QStringList{"小田原城", "139.15000000000001", "35.25000000000000", "0",
                                       "1", "Image", "11", "10"}));
        QCOMPARE(s.w().places.size(), size_t(5));
        QVERIFY(!QFile::exists(s.autosaveFile()));

        emit layer->mouseRightClicked(PointWorldCoord(139.15, 35.25));
        QCOMPARE(s.w().places.size(), size_t(6));
        QCOMPARE(s.w().places.back()->name, QString("小田原城"));
        QCOMPARE(s.w().places.back()->layer, QString("6"));
        QVERIFY(!s.w().places.back()->marked);
        QCOMPARE(s.w().markerLayers()[5]->geometries().size(), size_t(1));
        const QByteArray after = s.saved();
        QCOMPARE(readAll(s.autosaveFile()), after);
        QCOMPARE(s.w().dataTableModel()->rowCount(), 6);

        s.w().undoMenuAction()->trigger();
        QCOMPARE(s.saved(), before);
        QCOMPARE(s.w().markerLayers()[5]->geometries().size(), size_t(0));
        s.w().redoMenuAction()->trigger();
        QCOMPARE(s.saved(), after);
    }

    void undoMenuAndLoad()
    {
        Window s;
        s.mark({0});
        s.asked().buttonAnswers << QMessageBox::Yes;
        QTest::mouseClick(s.ui().btnDelete, Qt::LeftButton);
        QVERIFY(s.w().undoMenuAction()->isEnabled());
        // A class move renumbers places and saves: it cannot be taken back, nor what came before.
        QPushButton* down = nullptr;
        for (QPushButton* b : s.w().findChildren<QPushButton*>())
            if (b->toolTip() == "down1")
                down = b;
        QVERIFY(down);
        down->click();
        QCOMPARE(s.w().places[0]->color, QString("1"));
        QVERIFY(!s.w().undoMenuAction()->isEnabled());

        s.asked().menuAnswers << "12";
        s.rightClickCell(0, 7);
        QVERIFY(s.w().undoMenuAction()->isEnabled());
        writeAll(s.dir.file("other.csv"), "A,1,2,0,1,Image,11,10\n");
        s.asked().fileAnswers << s.dir.file("other.csv");
        s.asked().buttonAnswers << QMessageBox::No;
        QTest::mouseClick(s.ui().btnLoad, Qt::LeftButton);
        QCOMPARE(s.w().places.size(), size_t(1));
        QVERIFY(!s.w().undoMenuAction()->isEnabled());
        QCOMPARE(s.w().editHistory()->count(), 0);
    }
};

QTEST_MAIN(TestEditCommands)
#include "tst_editcommands.moc"
