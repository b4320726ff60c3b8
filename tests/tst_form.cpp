// The designer form of the main window read back as a widget tree, and the
// compiled-in pictures it and the rest of the program ask for.

// The relative path lets the build find the form compiled from app/mainwindow.ui.
#include "../app/ui_mainwindow.h"
#include "resources/resources.h"
#include "testsupport.h"

#include <QtTest>

class TestForm : public QObject
{
    Q_OBJECT
    QMainWindow window;
    Ui::MainWindow ui;

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        ui.setupUi(&window);
    }

    // Rows are object names; each shows the picture of its own resource, not just any.
    void buttons_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("icon");
        const char* rows[][4] = {
            {"btnNameClear", "", "名前をクリア", "search_field"},
            {"btnNext", "", "次へ", "next"},
            {"btnPrev", "", "前へ", "prev"},
            {"btnSearch", "絞込", "", "find"},
            {"btnRefresh", "Refresh", "", "update"},
            {"btnMapImageSave", "画像保存", "", "mapimage"},
            {"btnDelete", " 削除", "", "delete"},
            {"btnMarkToggle", "", "マークドグル", "clr"},
            {"btnMarkClear_2", "", "全マーククリア", "allclr"},
            {"btnHelp1", "", "", "question"},
            {"btnCSVAdd", " CSV Add", "", "expand"},
            {"btnLoad", " CSV Load", "", "document-open-5"},
            {"btnCsvSave", " CSV Save", "", "document-save-as-3"},
            {"btnColorRandum", "色ランダム", "", "color"},
            {"btnMaskClear", "", "マスククリア", "search_field"},
            {"btnRefresh3", "置換", "", "update"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]);
    }
    void buttons()
    {
        QFETCH(QString, icon);
        auto* button = window.findChild<QPushButton*>(QTest::currentDataTag());
        QVERIFY(button);
        QTEST(button->text(), "text");
        QTEST(button->toolTip(), "toolTip");
        const QImage expected = QPixmap(":/icons/" + icon + ".png").toImage();
        QVERIFY(!expected.isNull());
        QCOMPARE(button->icon().pixmap(expected.size()).toImage(), expected);
    }

    // Icon-only buttons are flat; none presses itself on Return; F1 is only for help.
    void everyButton()
    {
        QStringList withF1;
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            const QByteArray name = button->objectName().toLatin1();
            const int side = name.startsWith("btnHelp") ? 20 : 24;
            QVERIFY2(!button->icon().isNull() && button->iconSize() == QSize(side, side), name);
            QVERIFY2(button->isFlat() == button->text().isEmpty(), name);
            QVERIFY2(!button->isDefault() && !button->autoDefault(), name);
            if (button->shortcut() == QKeySequence(Qt::Key_F1))
                withF1 << name;
            else
                QVERIFY2(button->shortcut().isEmpty(), name);
        }
        withF1.sort();
        QCOMPARE(withF1, QStringList({"btnHelp1", "btnHelp2", "btnHelp3"}));
    }

    void pagesAndFocusChain()
    {
        QCOMPARE(ui.splitter->widget(0), ui.tabWidget);
        QCOMPARE(ui.tabWidget->count(), 3);
        QCOMPARE(ui.tabWidget->tabText(0) + ui.tabWidget->tabText(1) + ui.tabWidget->tabText(2),
                 "データ設定分類クラス設定データ一括修正");
        const QStringList expected =
            QStringLiteral(
                "tabWidget lineEdit btnNameClear btnNext btnPrev btnSearch btnRefresh "
                "btnMapImageSave tableView btnDelete btnMarkClear btnMarkToggle btnHelp1 "
                "btnCSVAdd btnLoad btnCsvSave btnClassLoad btnClassSave btnRefresh2 btnHelp2 "
                "scrollArea le_startX le_startY le_endX le_endY btnHelp3 le_color le_layer "
                "cmb_shape le_font le_level btnMaskClear tableView_2 btnMarkClear_2 "
                "btnMarkToggle_2 le_color_2 le_layer_2 cmb_shape_2 le_font_2 le_level_2 "
                "btnRefresh3")
                .split(' ');
        QCOMPARE(focusOrder(ui.tabWidget, expected), expected);
    }

    void pictures()
    {
        for (const char* name :
             {"search_field", "next", "prev", "find", "update", "delete", "allclr", "clr",
              "question", "expand", "document-open-5", "document-save-as-3", "color",
              "pelwicktools", "qt-icon", "help"}) {
            const QPixmap pixmap(QStringLiteral(":/icons/%1.png").arg(name));
            QVERIFY2(pixmap.size() == QSize(24, 24) && pixmap.hasAlphaChannel(), name);
        }
        QCOMPARE(QPixmap(":/icons/siro16.png").size(), QSize(16, 16));
        // Our own picture, shown large in the About dialog.
        const QImage sheet = QImage(":/icons/mapimage.png");
        QVERIFY(sheet.size() == QSize(64, 64) && qAlpha(sheet.pixel(0, 0)) == 0 &&
                qAlpha(sheet.pixel(32, 40)) == 255);
        // The map pins the flag at its bottom-right corner: the foot of the pole is there.
        const QImage flag =
            QImage(":/resources/images/flag.png").convertToFormat(QImage::Format_ARGB32);
        QVERIFY(flag.size() == QSize(19, 25) && flag.pixelColor(18, 24).alpha() == 255 &&
                flag.pixelColor(0, 24).alpha() == 0);
    }
};

QTEST_MAIN(TestForm)
#include "tst_form.moc"
