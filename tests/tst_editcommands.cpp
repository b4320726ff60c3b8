// The editing commands on one assembled window, compared by the bytes of the list.
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

class TestEditCommands : public QObject
{
    Q_OBJECT
    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
    const QString list = dir.file("list.csv"), autosave = dir.file("list_autosave.csv");

    MivaroMap& w() { return *window; }
    Ui::MainWindow& ui() { return *window->form(); }
    ScriptedPrompts& asked() { return prompts.prompts(); }
    // The list as a save writes it.
    QByteArray saved()
    {
        QByteArray bytes("\xEF\xBB\xBF");
        for (const auto& p : window->places)
            bytes += formatPlaceLine(*p).toUtf8();
        return bytes;
    }
    void mark(const QList<int>& indexes)
    {
        for (int i : indexes)
            window->places[i]->marked = true;
    }
    void rightClickCell(int row, int column)
    {
        const QPoint at =
            ui().tableView->visualRect(w().dataTableModel()->index(row, column)).center();
        QTest::mouseClick(ui().tableView->viewport(), Qt::RightButton, {}, at);
    }
    size_t markers(int layer) { return w().markerLayers()[layer]->geometries().size(); }

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        writeAll(list, five);
        AppSettings::instance().load();
        keepTilesLocal();
        AppSettings::instance().csv_filename = list;
        window = std::make_unique<MivaroMap>();
        window->resize(1200, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    // The same list, fields and classes for each test, with nothing to undo.
    void init()
    {
        AppSettings& settings = AppSettings::instance();
        for (int i = 0; i < 20; ++i)
            settings.className[i] = QStringLiteral("c%1").arg(i);
        for (QLineEdit* e : {ui().lineEdit, ui().le_layer, ui().le_level, ui().le_font,
                             ui().le_color_2, ui().le_level_2, ui().le_layer_2, ui().le_font_2})
            e->clear();
        ui().cmb_shape_2->setCurrentIndex(0);
        writeAll(list, five);
        for (const QString& f : {autosave, autosave + ".bak1"})
            QFile::remove(f);
        w().modified = false;
        QVERIFY(w().openFile(list));
        asked() = ScriptedPrompts();
    }
    void cleanupTestCase() { window.reset(); }

    void deleteMarked()
    {
        writeAll(autosave, "old\n");
        mark({1, 3}); // 富士山 is hidden by the name filter and stays
        ui().lineEdit->setText("城");
        QTest::mouseClick(ui().btnSearch, Qt::LeftButton);
        asked().buttonAnswers << QMessageBox::No << QMessageBox::Yes;
        const QByteArray before = saved();
        QTest::mouseClick(ui().btnDelete, Qt::LeftButton);
        QCOMPARE(saved(), before);
        QCOMPARE(readAll(autosave), QByteArray("old\n"));

        QTest::mouseClick(ui().btnDelete, Qt::LeftButton);
        QVERIFY(asked().calls[1].title == "データ削除" && !asked().calls[1].parent);
        QCOMPARE(names(w().dataTableModel()) + names(w().bulkTableModel()),
                 QString("大坂城 富士山 江戸城 江戸城 大坂城 富士山 江戸城 江戸城").split(' '));
        QVERIFY(markers(3) == 0 && markers(1) == 1 && w().places[1]->marked && w().modified);
        const QByteArray after = saved();
        QCOMPARE(readAll(autosave), after);
        QCOMPARE(readAll(autosave + ".bak1"), QByteArray("old\n"));
        QCOMPARE(readAll(list), five);

        w().modified = false;
        // From the search field, which has the focus and nothing of its own to undo.
        w().activateWindow();
        ui().lineEdit->setFocus();
        QTest::keyClick(ui().lineEdit, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(saved() == before && readAll(autosave) == before && w().modified);
        QVERIFY(markers(3) == 1 && w().dataTableModel()->rowCount() == 5);
        QTest::keyClick(ui().lineEdit, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(saved(), after);
        // Typed text is the field's own to take back first.
        QTest::keyClicks(ui().lineEdit, "ab");
        QTest::keyClick(ui().lineEdit, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(saved() == after && readAll(autosave) == after);
        QVERIFY(!ui().lineEdit->text().endsWith("ab") && w().bulkTableModel()->rowCount() == 4);
    }

    // The filter and the replacement are the editing tests'; here what the window adds.
    void bulkReplace()
    {
        ui().le_layer->setText("2");
        QTest::mouseClick(ui().btnRefresh3, Qt::LeftButton);
        QCOMPARE(asked().kinds().join('|') + asked().calls[1].title + asked().calls[1].text,
                 QString("beep|information一括置換選択された行が見つかりません"));
        mark({0, 1, 3}); // only 大坂城 is shown; 富士山 and 名古屋城 are marked but hidden
        ui().le_layer->setText("1");
        ui().le_level->setText("10");
        ui().le_level_2->setText("15");
        ui().cmb_shape_2->setCurrentIndex(3);
        QTest::mouseClick(ui().btnRefresh3, Qt::LeftButton);
        QVERIFY(w().modified && !QFile::exists(autosave));
        QCOMPARE(formatPlaceLine(*w().places[0]), "大坂城,135.5259,34.6873,1,1,Circle,11,15\n");
        QCOMPARE(w().places[1]->level + w().places[1]->shape + w().places[3]->shape,
                 QString("10ScaledImage"));
        // It no longer passes the level filter and leaves the table, keeping its mark.
        QVERIFY(w().bulkTableModel()->rowCount() == 0 && w().places[0]->marked);
    }

    // A right click on each column of row 1 (富士山): a menu entry, a palette class or the
    // clipboard as the answer; the record afterwards, or empty when nothing may change.
    void cellClicks_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("after");
        const auto row = [](const char* tag, int column, const char* answer, const char* after) {
            QTest::newRow(tag) << column << QString(answer) << QString(after);
        };
        row("name", 0, "15", "");
        row("level 15", 7, "15", "富士山,138.7274,35.3606,2,2,Scaled,11,15");
        row("class 12", 3, "12", "富士山,138.7274,35.3606,12,2,Scaled,11,10");
        row("palette left", 3, "150", "");
        row("layer 7", 4, "Layer7", "富士山,138.7274,35.3606,2,7,Scaled,11,10");
        row("Circle", 5, "Cricle", "富士山,138.7274,35.3606,2,2,Circle,11,10");
        row("paste, latitude first", 1, "35.0, 135.5", "富士山,135.5,35.0,2,2,Scaled,11,10");
    }
    void cellClicks()
    {
        QFETCH(int, column);
        QFETCH(QString, answer);
        QFETCH(QString, after);
        const QByteArray before = saved();
        QApplication::clipboard()->setText(answer);
        asked().menuAnswers << answer;
        asked().dialogAnswers << clickClassLabel(answer.toInt());
        asked().buttonAnswers << QMessageBox::Yes;
        rightClickCell(1, column);
        QCOMPARE(w().searchPosition(), 1);
        if (column == 7)
            QCOMPARE(asked().calls[0].text, QString("9\n10\n11\n12\n13\n14\n15\n16\n17"));
        const bool changes = !after.isEmpty();
        QVERIFY(QFile::exists(autosave) == changes && w().undoMenuAction()->isEnabled() == changes);
        QCOMPARE(saved() != before, changes);
        if (!changes)
            return;
        QCOMPARE(formatPlaceLine(*w().places[1]), after + "\n");
        QCOMPARE(readAll(autosave), saved());
        // The marker followed.
        const auto& drawn = w().markerLayers()[w().places[1]->layer.toInt() - 1]->geometries();
        QVERIFY(drawn.size() == 1 && drawn.front()->metadata("name") == "富士山");
    }

    void markerClickFindsTheRecordDrawn()
    {
        const auto& layer = w().markerLayers()[4];
        emit layer->geometryClicked(layer->geometries().front().get()); // marks it, as on the map
        QVERIFY(ui().tableView->currentIndex().row() == 4 && !QFile::exists(autosave));
        // The palette: the clicked place takes class 0, its namesake keeps its own.
        asked().dialogAnswers << clickClassLabel(0);
        emit layer->geometryClicked(layer->geometries().front().get());
        QCOMPARE(w().places[4]->color + w().places[2]->color, QString("03"));
        QCOMPARE(readAll(autosave), saved());
    }

    void newPlaceFromTheMap()
    {
        ui().lineEdit->setText("小田原城");
        QTest::mouseClick(ui().btnNext, Qt::LeftButton);
        QStringList started;
        asked().calls.clear();
        asked().menuAnswers << "XY座標に新規で部品を作成する";
        asked().dialogAnswers << [&](QDialog* d) {
            for (const char* name : {"le_name", "le_coordX", "le_coordY"})
                started << d->findChild<QLineEdit*>(name)->text();
            d->findChild<QLineEdit*>("le_layerno")->setText("6");
            return int(QDialog::Accepted);
        };
        emit w().markerLayers()[0]->mouseRightClicked(PointWorldCoord(139.15, 35.25));
        QCOMPARE(asked().kinds().join('|') + asked().calls[1].title, "menu|dialogデータ設定");
        QCOMPARE(asked().calls[1].parent, &w());
        QCOMPARE(started, (QStringList{"小田原城", "139.15000000000001", "35.25000000000000"}));
        QVERIFY(w().places.size() == 6 && !w().places.back()->marked);
        QCOMPARE(w().places.back()->name + w().places.back()->layer, QString("小田原城6"));
        QVERIFY(markers(5) == 1 && readAll(autosave) == saved() &&
                w().dataTableModel()->rowCount() == 6);
    }

    void undoMenuAndLoad()
    {
        mark({0});
        asked().buttonAnswers << QMessageBox::Yes;
        QTest::mouseClick(ui().btnDelete, Qt::LeftButton);
        QVERIFY(w().undoMenuAction()->isEnabled());
        // A class move renumbers places and saves: it cannot be taken back, nor what came before.
        for (QPushButton* b : w().findChildren<QPushButton*>())
            if (b->toolTip() == "down1")
                b->click();
        QCOMPARE(w().places[0]->color, QString("1"));
        QVERIFY(!w().undoMenuAction()->isEnabled());

        asked().menuAnswers << "12";
        rightClickCell(0, 7);
        QVERIFY(w().undoMenuAction()->isEnabled());
        writeAll(dir.file("other.csv"), "A,1,2,0,1,Image,11,10\n");
        asked().fileAnswers << dir.file("other.csv");
        asked().buttonAnswers << QMessageBox::No;
        QTest::mouseClick(ui().btnLoad, Qt::LeftButton);
        QVERIFY(w().places.size() == 1 && !w().undoMenuAction()->isEnabled());
        QCOMPARE(w().editHistory()->count(), 0);
    }
};

QTEST_MAIN(TestEditCommands)
#include "tst_editcommands.moc"
