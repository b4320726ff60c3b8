// The designer form of the main window, read back as a widget tree, and the
// compiled-in pictures it and the rest of the program ask for.

// The form is compiled for this test too; the relative path lets the build
// find app/mainwindow.ui from here.
#include "../app/ui_mainwindow.h"
#include "resources/resources.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

class TestForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void objectClasses_data();
    void objectClasses();
    void textsAndToolTips_data();
    void textsAndToolTips();
    void iconButtons_data();
    void iconButtons();
    void everyIconOnlyButtonIsFlatWithoutText();
    void sizes_data();
    void sizes();
    void sizePolicies_data();
    void sizePolicies();
    void fonts_data();
    void fonts();
    void helpButtonsAloneCarryF1();
    void focusChain();
    void windowFrame();
    void pages();

    void resourcePictures_data();
    void resourcePictures();
    void flagIsPinnedAtItsBottomRightCorner();

private:
    template <typename T = QWidget> T* get(const QString& name) const
    {
        return window->findChild<T*>(name);
    }

    std::unique_ptr<QMainWindow> window;
    Ui::MainWindow ui;
};

void TestForm::initTestCase()
{
    initMivaroMapResources();
    window = std::make_unique<QMainWindow>();
    ui.setupUi(window.get());
}

void TestForm::cleanupTestCase()
{
    window.reset();
}

void TestForm::objectClasses_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("spacing"); // -1: not checked

    const struct
    {
        const char* names;
        const char* className;
        int spacing;
    } groups[] = {
        {"MainWindow", "QMainWindow", -1},
        {"centralwidget tab tab_2 tab_3 verticalLayoutWidget scrollAreaWidgetContents", "QWidget",
         -1},
        {"splitter", "QSplitter", -1},
        {"tabWidget", "QTabWidget", -1},
        {"scrollArea", "QScrollArea", -1},
        {"menubar", "QMenuBar", -1},
        {"statusBar", "QStatusBar", -1},
        {"tableView tableView_2", "TableView", -1},
        {"lineEdit le_startX le_startY le_endX le_endY le_color le_layer le_font le_level "
         "le_color_2 le_layer_2 le_font_2 le_level_2",
         "QLineEdit", -1},
        {"cmb_shape cmb_shape_2", "QComboBox", -1},
        {"btnNameClear btnNext btnPrev btnSearch btnRefresh btnMapImageSave btnDelete "
         "btnMarkClear btnMarkToggle btnHelp1 btnCSVAdd btnLoad btnCsvSave btnClassLoad "
         "btnClassSave btnColorRandum btnRefresh2 btnHelp2 btnHelp3 btnMaskClear btnMarkClear_2 "
         "btnMarkToggle_2 btnRefresh3",
         "QPushButton", -1},
        {"label label_2 label_3 label_4 label_5 label_6 label_7 label_8 label_9 label_10 "
         "label_11 label_12 label_13 label_14 label_15",
         "QLabel", -1},
        {"gridLayout gridLayout_3 gridLayout_4 gridLayout_5", "QGridLayout", -1},
        {"gridLayout_2", "QGridLayout", 0},
        {"verticalLayout settingLayout", "QVBoxLayout", -1},
        {"horizontalLayout horizontalLayout_7 horizontalLayout_8 horizontalLayout_14",
         "QHBoxLayout", -1},
        // the inner boxes of the bulk-edit page sit close together
        {"horizontalLayout_2 horizontalLayout_3 horizontalLayout_4 horizontalLayout_5 "
         "horizontalLayout_6 horizontalLayout_9 horizontalLayout_10 horizontalLayout_11 "
         "horizontalLayout_12 horizontalLayout_13 horizontalLayout_15 horizontalLayout_16",
         "QHBoxLayout", 2},
    };
    for (const auto& group : groups)
        for (const QString& name : QString::fromLatin1(group.names).split(' '))
            QTest::newRow(qPrintable(name)) << group.className << group.spacing;
}

void TestForm::objectClasses()
{
    QFETCH(QString, className);
    QFETCH(int, spacing);
    const QString name = QTest::currentDataTag();
    QObject* object = name == "MainWindow" ? window.get() : get<QObject>(name);
    QVERIFY2(object, qPrintable(name + " is missing"));
    QCOMPARE(object->objectName(), name);
    QCOMPARE(QString(object->metaObject()->className()), className);
    if (spacing >= 0)
        QCOMPARE(qobject_cast<QLayout*>(object)->spacing(), spacing);
}

void TestForm::textsAndToolTips_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");

    const QString none;
    QTest::newRow("btnNameClear") << none << "名前をクリア";
    QTest::newRow("btnNext") << none << "次へ";
    QTest::newRow("btnPrev") << none << "前へ";
    QTest::newRow("btnSearch") << "絞込" << none;
    QTest::newRow("btnRefresh") << "Refresh" << none;
    QTest::newRow("btnMapImageSave") << "画像保存" << none;
    QTest::newRow("btnDelete") << " 削除" << none;
    QTest::newRow("btnMarkClear") << none << "全マーククリア";
    QTest::newRow("btnMarkToggle") << none << "マークドグル";
    QTest::newRow("btnCSVAdd") << " CSV Add" << none;
    QTest::newRow("btnLoad") << " CSV Load" << none;
    QTest::newRow("btnCsvSave") << " CSV Save" << none;
    QTest::newRow("btnClassLoad") << "Class Load" << none;
    QTest::newRow("btnClassSave") << "Class Save" << none;
    QTest::newRow("btnColorRandum") << "色ランダム" << none;
    QTest::newRow("btnRefresh2") << "Refresh" << none;
    QTest::newRow("btnMaskClear") << none << "マスククリア";
    QTest::newRow("btnMarkClear_2") << none << "全マーククリア";
    QTest::newRow("btnMarkToggle_2") << none << "マークドグル";
    QTest::newRow("btnRefresh3") << "置換" << none;
    QTest::newRow("label_12") << "開始X:" << none;
    QTest::newRow("label_13") << "Y:" << none;
    QTest::newRow("label_14") << "終了X:" << none;
    QTest::newRow("label_15") << "Y:" << none;
    QTest::newRow("label_6") << "絞込条件" << none;
    QTest::newRow("label") << "色" << none;
    QTest::newRow("label_2") << "レイヤ" << none;
    QTest::newRow("label_3") << "部品型" << none;
    QTest::newRow("label_4") << "文字" << none;
    QTest::newRow("label_5") << "レベル" << none;
    QTest::newRow("label_7") << "色" << none;
    QTest::newRow("label_8") << "レイヤ" << none;
    QTest::newRow("label_9") << "部品型" << none;
    QTest::newRow("label_10") << "文字" << none;
    QTest::newRow("label_11") << "レベル" << none;
}

void TestForm::textsAndToolTips()
{
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QWidget* widget = get(QTest::currentDataTag());
    QVERIFY(widget);
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), text);
    else
        QCOMPARE(qobject_cast<QLabel*>(widget)->text(), text);
    QCOMPARE(widget->toolTip(), toolTip);
}

void TestForm::iconButtons_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<int>("iconSize");
    QTest::addColumn<bool>("flat");

    const struct
    {
        const char* name;
        const char* resource;
        int iconSize;
        bool flat;
    } rows[] = {
        {"btnNameClear", "search_field.png", 24, true},
        {"btnNext", "next.png", 24, true},
        {"btnPrev", "prev.png", 24, true},
        {"btnSearch", "find.png", 24, false},
        {"btnRefresh", "update.png", 24, false},
        {"btnMapImageSave", "mapimage.png", 24, false},
        {"btnDelete", "delete.png", 24, false},
        {"btnMarkClear", "allclr.png", 24, true},
        {"btnMarkToggle", "clr.png", 24, true},
        {"btnHelp1", "question.png", 20, true},
        {"btnCSVAdd", "expand.png", 24, false},
        {"btnLoad", "document-open-5.png", 24, false},
        {"btnCsvSave", "document-save-as-3.png", 24, false},
        {"btnClassLoad", "document-open-5.png", 24, false},
        {"btnClassSave", "document-save-as-3.png", 24, false},
        {"btnColorRandum", "color.png", 24, false},
        {"btnRefresh2", "update.png", 24, false},
        {"btnHelp2", "question.png", 20, true},
        {"btnHelp3", "question.png", 20, true},
        {"btnMaskClear", "search_field.png", 24, true},
        {"btnMarkClear_2", "allclr.png", 24, true},
        {"btnMarkToggle_2", "clr.png", 24, true},
        {"btnRefresh3", "update.png", 24, false},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << QStringLiteral(":/icons/") + row.resource << row.iconSize
                                << row.flat;
}

void TestForm::iconButtons()
{
    QFETCH(QString, resource);
    QFETCH(int, iconSize);
    QFETCH(bool, flat);
    auto* button = get<QPushButton>(QTest::currentDataTag());
    QVERIFY(button);
    QCOMPARE(button->iconSize(), QSize(iconSize, iconSize));
    QCOMPARE(button->isFlat(), flat);

    // The icon shows the picture of its own resource, not just any picture.
    const QImage expected = QPixmap(resource).toImage();
    QVERIFY2(!expected.isNull(), qPrintable(resource));
    QCOMPARE(button->icon().pixmap(expected.size()).toImage(), expected);
}

void TestForm::everyIconOnlyButtonIsFlatWithoutText()
{
    int iconOnly = 0;
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        const QString name = button->objectName();
        QVERIFY2(!button->icon().isNull(), qPrintable(name));
        if (!button->text().isEmpty())
            continue;
        ++iconOnly;
        QVERIFY2(button->isFlat(), qPrintable(name));
        QVERIFY2(!button->autoDefault(), qPrintable(name));
    }
    QCOMPARE(iconOnly, 11);

    for (const char* name : {"btnRefresh", "btnSearch", "btnRefresh2", "btnRefresh3"}) {
        auto* button = get<QPushButton>(name);
        QVERIFY2(!button->isDefault() && !button->autoDefault(), name);
    }
}

void TestForm::sizes_data()
{
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");

    const int any = QWIDGETSIZE_MAX;
    QTest::newRow("lineEdit") << QSize(140, 24) << QSize(140, 24);
    QTest::newRow("btnNext") << QSize(32, 32) << QSize(32, 32);
    QTest::newRow("btnSearch") << QSize(100, 32) << QSize(100, 32);
    QTest::newRow("btnRefresh") << QSize(120, 32) << QSize(120, 32);
    QTest::newRow("btnDelete") << QSize(100, 32) << QSize(100, 32);
    QTest::newRow("btnHelp1") << QSize(24, 24) << QSize(24, 24);
    QTest::newRow("btnHelp3") << QSize(24, 24) << QSize(24, 24);
    QTest::newRow("btnColorRandum") << QSize(120, 32) << QSize(120, 32);
    QTest::newRow("label_12") << QSize(40, 24) << QSize(40, 24);
    QTest::newRow("le_startX") << QSize(100, 24) << QSize(120, 24);
    QTest::newRow("label_13") << QSize(12, 24) << QSize(12, 24);
    QTest::newRow("label_6") << QSize(80, 24) << QSize(any, 24);
    QTest::newRow("label") << QSize(24, 24) << QSize(24, 24);
    QTest::newRow("le_color") << QSize(24, 24) << QSize(32, 24);
    QTest::newRow("label_3") << QSize(50, 24) << QSize(54, 24);
    QTest::newRow("cmb_shape") << QSize(80, 0) << QSize(120, any);
    QTest::newRow("cmb_shape_2") << QSize(80, 0) << QSize(120, any);
    QTest::newRow("label_11") << QSize(40, 24) << QSize(44, 24);
    QTest::newRow("btnRefresh3") << QSize(70, 32) << QSize(80, 32);
}

void TestForm::sizes()
{
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);
    QWidget* widget = get(QTest::currentDataTag());
    QVERIFY(widget);
    QCOMPARE(widget->minimumSize(), minimum);
    QCOMPARE(widget->maximumSize(), maximum);
}

void TestForm::sizePolicies_data()
{
    QTest::addColumn<QSizePolicy::Policy>("horizontal");
    QTest::addColumn<QSizePolicy::Policy>("vertical");

    QTest::newRow("tabWidget") << QSizePolicy::MinimumExpanding << QSizePolicy::Expanding;
    QTest::newRow("tableView") << QSizePolicy::Preferred << QSizePolicy::Expanding;
    QTest::newRow("tableView_2") << QSizePolicy::Preferred << QSizePolicy::Expanding;
    QTest::newRow("lineEdit") << QSizePolicy::MinimumExpanding << QSizePolicy::Fixed;
    QTest::newRow("label_6") << QSizePolicy::Minimum << QSizePolicy::Fixed;
}

void TestForm::sizePolicies()
{
    QFETCH(QSizePolicy::Policy, horizontal);
    QFETCH(QSizePolicy::Policy, vertical);
    QWidget* widget = get(QTest::currentDataTag());
    QVERIFY(widget);
    QCOMPARE(widget->sizePolicy().horizontalPolicy(), horizontal);
    QCOMPARE(widget->sizePolicy().verticalPolicy(), vertical);
}

void TestForm::fonts_data()
{
    QTest::addColumn<int>("pointSize");

    // The coordinate row is small throughout; the long labels of the filter rows are a
    // little smaller than the rest so that they fit their fixed widths.
    for (const char* name : {"le_startX", "le_startY", "le_endX", "le_endY", "label_12", "label_13",
                             "label_14", "label_15"})
        QTest::newRow(name) << 9;
    for (const char* name : {"label_2", "label_5", "label_8", "label_11"})
        QTest::newRow(name) << 10;
    for (const char* name : {"tabWidget", "lineEdit", "btnSearch", "label_3", "le_color",
                             "cmb_shape", "tableView_2", "btnRefresh3"})
        QTest::newRow(name) << 12;
}

void TestForm::fonts()
{
    QFETCH(int, pointSize);
    QCOMPARE(window->font().pointSize(), 12);
    QWidget* widget = get(QTest::currentDataTag());
    QVERIFY(widget);
    QCOMPARE(widget->font().pointSize(), pointSize);
}

void TestForm::helpButtonsAloneCarryF1()
{
    QStringList withF1;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (button->shortcut() == QKeySequence(Qt::Key_F1))
            withF1 << button->objectName();
        else
            QVERIFY2(button->shortcut().isEmpty(), qPrintable(button->objectName()));
    withF1.sort();
    QCOMPARE(withF1, QStringList({"btnHelp1", "btnHelp2", "btnHelp3"}));
}

void TestForm::focusChain()
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
    QWidget* start = get("tabWidget");
    QWidget* widget = start;
    do {
        if (expected.contains(widget->objectName()) && !order.contains(widget->objectName()))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget && widget != start);
    QCOMPARE(order, expected);
}

void TestForm::windowFrame()
{
    QCOMPARE(window->size(), QSize(765, 645));
    QCOMPARE(window->windowTitle(), QStringLiteral("MainWindow"));
    QCOMPARE(window->centralWidget(), get("centralwidget"));
    QCOMPARE(window->menuBar(), get<QMenuBar>("menubar"));
    QVERIFY(!ui.menubar->isDefaultUp());
    QCOMPARE(window->statusBar(), get<QStatusBar>("statusBar"));

    QCOMPARE(ui.splitter->orientation(), Qt::Horizontal);
    QCOMPARE(ui.splitter->count(), 2);
    QCOMPARE(ui.splitter->widget(0), ui.tabWidget);
    QCOMPARE(ui.splitter->widget(1), ui.verticalLayoutWidget);
    QCOMPARE(ui.verticalLayoutWidget->layout(), ui.verticalLayout);
    QCOMPARE(ui.verticalLayout->contentsMargins(), QMargins());

    // The constructor fills these two boxes.
    QCOMPARE(ui.verticalLayout->count(), 0);
    QCOMPARE(ui.settingLayout->count(), 0);
    QVERIFY(ui.scrollArea->widgetResizable());
    QCOMPARE(ui.scrollArea->widget(), ui.scrollAreaWidgetContents);
    QCOMPARE(ui.gridLayout_2->contentsMargins(), QMargins());
    QCOMPARE(ui.gridLayout_2->itemAtPosition(0, 0)->layout(), ui.settingLayout);
}

void TestForm::pages()
{
    QCOMPARE(ui.tabWidget->count(), 3);
    const QStringList names = {"tab", "tab_2", "tab_3"};
    const QStringList titles = {"データ設定", "分類クラス設定", "データ一括修正"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(ui.tabWidget->widget(i)->objectName(), names[i]);
        QCOMPARE(ui.tabWidget->tabText(i), titles[i]);
    }
    QCOMPARE(ui.tabWidget->currentIndex(), 1);

    // Each table fills the whole width of its page.
    auto span = [](QGridLayout* grid, QWidget* widget) {
        int row, column, rows, columns;
        grid->getItemPosition(grid->indexOf(widget), &row, &column, &rows, &columns);
        return QList<int>{row, column, rows, columns};
    };
    QCOMPARE(span(ui.gridLayout, ui.tableView), QList<int>({1, 0, 1, 7}));
    QCOMPARE(span(ui.gridLayout_4, ui.tableView_2), QList<int>({2, 0, 1, 7}));
    QCOMPARE(span(ui.gridLayout, ui.btnCsvSave), QList<int>({2, 6, 1, 1}));
    QCOMPARE(span(ui.gridLayout_5, ui.btnHelp2), QList<int>({0, 5, 1, 1}));
}

void TestForm::resourcePictures_data()
{
    QTest::addColumn<QSize>("size");

    for (const char* name : {"search_field.png", "next.png", "prev.png", "find.png", "update.png",
                             "mapimage.png", "delete.png", "allclr.png", "clr.png", "question.png",
                             "expand.png", "document-open-5.png", "document-save-as-3.png",
                             "color.png", "pelwicktools.png", "qt-icon.png", "help.png"})
        QTest::newRow(name) << QSize(24, 24);
    QTest::newRow("siro16.png") << QSize(16, 16);
}

void TestForm::resourcePictures()
{
    const QString path = QStringLiteral(":/icons/") + QTest::currentDataTag();
    QFETCH(QSize, size);
    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QCOMPARE(pixmap.size(), size);
    QVERIFY(pixmap.hasAlphaChannel());
}

void TestForm::flagIsPinnedAtItsBottomRightCorner()
{
    const QImage flag =
        QImage(":/resources/images/flag.png").convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(flag.size(), QSize(19, 25));
    // The map pins the bottom-right corner: the foot of the pole must be there.
    QCOMPARE(flag.pixelColor(18, 24).alpha(), 255);
    QCOMPARE(flag.pixelColor(0, 24).alpha(), 0);
    QCOMPARE(flag.pixelColor(0, 0).alpha(), 0);
    // The cloth reaches the left edge: the pennant points away from the pole.
    int leftmost = flag.width();
    for (int y = 0; y < flag.height(); ++y)
        for (int x = 0; x < flag.width(); ++x)
            if (flag.pixelColor(x, y).alpha() > 128)
                leftmost = std::min(leftmost, x);
    QVERIFY(leftmost <= 1);
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
