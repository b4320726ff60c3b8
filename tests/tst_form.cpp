// The designer form of the main window read back as a widget tree, and the
// compiled-in pictures it and the rest of the program ask for.

// The relative path lets the build find the form compiled from app/mainwindow.ui.
#include "../app/ui_mainwindow.h"
#include "resources/resources.h"

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

    void widgets_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("icon");
        const struct
        {
            const char *name, *className, *text, *toolTip, *icon;
        } rows[] = {
            {"splitter", "QSplitter", "", "", ""},
            {"tableView", "TableView", "", "", ""},
            {"tableView_2", "TableView", "", "", ""},
            {"le_startX", "QLineEdit", "", "", ""},
            {"cmb_shape_2", "QComboBox", "", "", ""},
            {"settingLayout", "QVBoxLayout", "", "", ""},
            {"btnNameClear", "QPushButton", "", "名前をクリア", "search_field"},
            {"btnNext", "QPushButton", "", "次へ", "next"},
            {"btnPrev", "QPushButton", "", "前へ", "prev"},
            {"btnSearch", "QPushButton", "絞込", "", "find"},
            {"btnRefresh", "QPushButton", "Refresh", "", "update"},
            {"btnMapImageSave", "QPushButton", "画像保存", "", "mapimage"},
            {"btnDelete", "QPushButton", " 削除", "", "delete"},
            {"btnMarkToggle", "QPushButton", "", "マークドグル", "clr"},
            {"btnMarkClear_2", "QPushButton", "", "全マーククリア", "allclr"},
            {"btnHelp1", "QPushButton", "", "", "question"},
            {"btnCSVAdd", "QPushButton", " CSV Add", "", "expand"},
            {"btnLoad", "QPushButton", " CSV Load", "", "document-open-5"},
            {"btnCsvSave", "QPushButton", " CSV Save", "", "document-save-as-3"},
            {"btnColorRandum", "QPushButton", "色ランダム", "", "color"},
            {"btnMaskClear", "QPushButton", "", "マスククリア", "search_field"},
            {"btnRefresh3", "QPushButton", "置換", "", "update"},
            {"label_12", "QLabel", "開始X:", "", ""},
            {"label_6", "QLabel", "絞込条件", "", ""},
            {"label_9", "QLabel", "部品型", "", ""},
            {"label_11", "QLabel", "レベル", "", ""},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << QString(r.className) << QString(r.text) << QString(r.toolTip)
                                  << QString(r.icon);
    }

    void widgets()
    {
        QFETCH(QString, text);
        QFETCH(QString, icon);
        QObject* object = window.findChild<QObject*>(QTest::currentDataTag());
        QVERIFY(object);
        QTEST(QString(object->metaObject()->className()), "className");
        if (auto* widget = qobject_cast<QWidget*>(object))
            QTEST(widget->toolTip(), "toolTip");
        if (auto* label = qobject_cast<QLabel*>(object))
            QCOMPARE(label->text(), text);
        if (auto* button = qobject_cast<QPushButton*>(object)) {
            QCOMPARE(button->text(), text);
            // The icon shows the picture of its own resource, not just any picture.
            const QImage expected = QPixmap(":/icons/" + icon + ".png").toImage();
            QVERIFY(!expected.isNull());
            QCOMPARE(button->icon().pixmap(expected.size()).toImage(), expected);
        }
    }

    void everyButton()
    {
        QStringList withF1;
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            const QByteArray name = button->objectName().toLatin1();
            // Icon-only buttons are flat; none presses itself on Return.
            QVERIFY2(!button->icon().isNull(), name);
            QVERIFY2(button->isFlat() == button->text().isEmpty(), name);
            QVERIFY2(!button->isDefault() && !button->autoDefault(), name);
            const int side = name.startsWith("btnHelp") ? 20 : 24; // the help icons are smaller
            QVERIFY2(button->iconSize() == QSize(side, side), name);
            if (button->shortcut() == QKeySequence(Qt::Key_F1))
                withF1 << name;
            else
                QVERIFY2(button->shortcut().isEmpty(), name);
        }
        withF1.sort();
        QCOMPARE(withF1, QStringList({"btnHelp1", "btnHelp2", "btnHelp3"}));
    }

    void pages()
    {
        QCOMPARE(ui.splitter->widget(0), ui.tabWidget);
        QCOMPARE(ui.tabWidget->count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ui.tabWidget->tabText(i),
                     QStringList({"データ設定", "分類クラス設定", "データ一括修正"})[i]);
        // The constructor fills these two boxes.
        QCOMPARE(ui.verticalLayout->count(), 0);
        QCOMPARE(ui.settingLayout->count(), 0);
    }

    void focusChain()
    {
        const QStringList expected =
            QStringLiteral("tabWidget lineEdit btnNameClear btnNext btnPrev btnSearch "
                           "btnRefresh btnMapImageSave tableView btnDelete btnMarkClear "
                           "btnMarkToggle btnHelp1 btnCSVAdd btnLoad btnCsvSave "
                           "btnClassLoad btnClassSave btnRefresh2 btnHelp2 scrollArea "
                           "le_startX le_startY le_endX le_endY btnHelp3 le_color "
                           "le_layer cmb_shape le_font le_level btnMaskClear tableView_2 "
                           "btnMarkClear_2 btnMarkToggle_2 le_color_2 le_layer_2 "
                           "cmb_shape_2 le_font_2 le_level_2 btnRefresh3")
                .split(' ');
        // Walk the whole chain once from the tab widget and keep the named stops.
        QStringList order;
        QWidget* widget = ui.tabWidget;
        do {
            if (expected.contains(widget->objectName()) && !order.contains(widget->objectName()))
                order << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget && widget != ui.tabWidget);
        QCOMPARE(order, expected);
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
        QCOMPARE(sheet.size(), QSize(64, 64));
        QCOMPARE(qAlpha(sheet.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(sheet.pixel(32, 40)), 255);
        // The map pins the flag at its bottom-right corner: the foot of the pole is there.
        const QImage flag =
            QImage(":/resources/images/flag.png").convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(flag.size(), QSize(19, 25));
        QCOMPARE(flag.pixelColor(18, 24).alpha(), 255);
        QCOMPARE(flag.pixelColor(0, 24).alpha(), 0);
    }
};

QTEST_MAIN(TestForm)
#include "tst_form.moc"
