// The record dialog: its form, the values it hands back, and the coordinate paste.
#include "../dialogs/ui_datadialog.h"
#include "dialogs/datadialog.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QClipboard>
#include <QLabel>
#include <QtTest>

namespace {

// Runs editPlaceInDialog over eight strings; the answer may fill the dialog.
struct Run
{
    QStringList values;
    bool accepted = false;
};

Run run(const QStringList& start, std::function<int(QDialog*)> answer)
{
    PromptScope scope;
    scope.prompts().dialogAnswers << answer;
    Run r{start};
    QStringList& v = r.values;
    r.accepted = editPlaceInDialog(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], nullptr);
    return r;
}

const QStringList start{"大坂城", "135.5", "34.6", "1", "2", "Image", "11", "10"};

} // namespace

class TestDataDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initMivaroMapResources(); }

    void form()
    {
        DataDialog dialog("", "", "", "", "", "", "", "");
        const Ui::DataDialog& ui = *dialog.form();
        QCOMPARE(dialog.windowTitle(), QString("データ設定"));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        const QList<QPair<QLabel*, QString>> labels{
            {ui.label_2, "テキスト"},     {ui.label_3, "経度（X座標）"},
            {ui.label_4, "緯度（Y座標)"}, {ui.label_6, "色"},
            {ui.label_7, "レイヤ-"},      {ui.label_8, "部品型"},
            {ui.label_9, "文字の大きさ"}, {ui.label_10, "ズームレベル"}};
        for (const auto& [label, text] : labels) {
            QCOMPARE(label->text(), text);
            QCOMPARE(label->minimumWidth(), 100);
            QCOMPARE(label->maximumWidth(), 100);
            QCOMPARE(label->font().pointSize(), 11);
        }
        for (QLineEdit* e :
             {ui.le_name, ui.le_coordX, ui.le_coordY, ui.le_colorno, ui.le_layerno, ui.le_shape})
            QCOMPARE(e->font().pointSize(), 12);
        QCOMPARE(ui.le_colorno->maximumWidth(), 40);
        QCOMPARE(ui.le_layerno->maximumWidth(), 40);
        QCOMPARE(ui.le_shape->maximumWidth(), 200);
        QCOMPARE(ui.le_name->contextMenuPolicy(), Qt::DefaultContextMenu);
        for (QLineEdit* e : {ui.le_coordX, ui.le_coordY, ui.le_colorno, ui.le_layerno, ui.le_shape})
            QCOMPARE(e->contextMenuPolicy(), Qt::CustomContextMenu);
        QCOMPARE(QPair(ui.spnPoint->minimum(), ui.spnPoint->maximum()), QPair(7, 48));
        QCOMPARE(QPair(ui.spnZoomLevel->minimum(), ui.spnZoomLevel->maximum()), QPair(7, 13));
        QCOMPARE(ui.spnPoint->maximumSize(), QSize(100, 24));
        QCOMPARE(ui.spnZoomLevel->minimumSize(), QSize(100, 24));
        QVERIFY(ui.btnHelp->text().isEmpty());
        QVERIFY(!ui.btnHelp->icon().isNull());
        QCOMPARE(ui.btnHelp->shortcut(), QKeySequence(Qt::Key_F1));
        QVERIFY(!ui.btnHelp->autoDefault());
        QCOMPARE(ui.btnOK->text(), QString("OK"));
        QCOMPARE(ui.btnCansel->text(), QString("キャンセル"));

        const QStringList order{"le_name",    "le_coordX", "le_coordY", "le_colorno",
                                "le_layerno", "le_shape",  "spnPoint",  "spnZoomLevel",
                                "btnHelp",    "btnOK",     "btnCansel"};
        QStringList chain;
        QWidget* w = ui.le_name;
        do {
            if (order.contains(w->objectName()))
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != ui.le_name);
        QCOMPARE(chain, order);
    }

    void values_data()
    {
        QTest::addColumn<QString>("font");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("result");
        QTest::newRow("OK as given") << "11"
                                     << "10"
                                     << "btnOK" << true << start;
        QTest::newRow("font abc shows 7")
            << "abc"
            << "10"
            << "btnOK" << true
            << QStringList{"大坂城", "135.5", "34.6", "1", "2", "Image", "7", "10"};
        QTest::newRow("beyond the maximum")
            << "99"
            << "14"
            << "btnOK" << true
            << QStringList{"大坂城", "135.5", "34.6", "1", "2", "Image", "48", "13"};
        QTest::newRow("cancel keeps the caller's")
            << "abc"
            << "99"
            << "btnCansel" << false
            << QStringList{"大坂城", "135.5", "34.6", "1", "2", "Image", "abc", "99"};
        QTest::newRow("closed keeps the caller's")
            << "abc"
            << "99"
            << "" << false
            << QStringList{"大坂城", "135.5", "34.6", "1", "2", "Image", "abc", "99"};
    }
    void values()
    {
        QFETCH(QString, font);
        QFETCH(QString, level);
        QFETCH(QString, button);
        QStringList given = start;
        given[6] = font;
        given[7] = level;
        const Run r = run(given, [&](QDialog* d) {
            d->findChild<QLineEdit*>("le_shape")->setText("Image");
            if (!button.isEmpty())
                QTest::mouseClick(d->findChild<QPushButton*>(button), Qt::LeftButton);
            else
                d->close();
            return d->result();
        });
        QTEST(r.accepted, "accepted");
        QTEST(r.values, "result");
    }

    void typedValuesComeBackAsTyped()
    {
        const Run r = run(start, [](QDialog* d) {
            const QStringList names{"le_name",    "le_coordX",  "le_coordY",
                                    "le_colorno", "le_layerno", "le_shape"};
            const QStringList typed{" 新城 ", "x", "", "300", "0", "Cricle"};
            for (int i = 0; i < names.size(); ++i)
                d->findChild<QLineEdit*>(names[i])->setText(typed[i]);
            d->findChild<QSpinBox*>("spnPoint")->setValue(20);
            d->findChild<QSpinBox*>("spnZoomLevel")->setValue(12);
            d->accept();
            return d->result();
        });
        QVERIFY(r.accepted);
        QCOMPARE(r.values, (QStringList{" 新城 ", "x", "", "300", "0", "Cricle", "20", "12"}));
    }

    void pickers_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("menuAnswer"); // empty: the palette
        QTest::addColumn<int>("paletteClass");
        QTest::addColumn<QString>("value");
        QTest::newRow("class 12") << "le_colorno"
                                  << "" << 12 << "12";
        QTest::newRow("class 0") << "le_colorno"
                                 << "" << 0 << "0";
        QTest::newRow("palette left") << "le_colorno"
                                      << "" << 150 << "3";
        QTest::newRow("layer 9") << "le_layerno"
                                 << "Layer9" << 0 << "9";
        QTest::newRow("layer menu dismissed") << "le_layerno"
                                              << "" << 0 << "4";
        QTest::newRow("Cricle is Circle") << "le_shape"
                                          << "Cricle" << 0 << "Circle";
        QTest::newRow("shape menu dismissed") << "le_shape"
                                              << "" << 0 << "Scaled";
    }
    void pickers()
    {
        QFETCH(QString, field);
        QFETCH(QString, menuAnswer);
        QFETCH(int, paletteClass);
        AppSettings& settings = AppSettings::instance();
        settings.className.fill(QString());
        for (int i = 0; i < 20; ++i)
            settings.className[i] = QStringLiteral("c%1").arg(i);
        PromptScope scope;
        scope.prompts().menuAnswers << menuAnswer;
        scope.prompts().dialogAnswers << clickClassLabel(paletteClass);
        QWidget parent;
        parent.setGeometry(100, 100, 600, 500);
        DataDialog dialog("n", "1", "2", "3", "4", "Scaled", "11", "10", &parent);
        QLineEdit* edit = dialog.findChild<QLineEdit*>(field);
        emit edit->customContextMenuRequested(QPoint(1, 1));
        QCOMPARE(scope.prompts().kinds(), QStringList{field == "le_colorno" ? "dialog" : "menu"});
        QTEST(edit->text(), "value");
        // The other fields stay.
        QCOMPARE(dialog.form()->le_coordX->text(), QString("1"));
    }

    void paste_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::newRow("blank, latitude first") << "35.68 139.76"
                                               << "le_coordX" << true << "139.76"
                                               << "35.68";
        QTest::newRow("comma, latitude first, from Y") << "35.1, 139.2"
                                                       << "le_coordY" << true << "139.2"
                                                       << "35.1";
        QTest::newRow("blanks around comma parts") << " 10 , 20 "
                                                   << "le_coordX" << true << "10"
                                                   << "20";
        QTest::newRow("single number") << "139.76"
                                       << "le_coordX" << true << "135.5"
                                       << "34.6";
        QTest::newRow("not a position") << "東京 タワー"
                                        << "le_coordY" << true << "135.5"
                                        << "34.6";
        QTest::newRow("answered No") << "139.2,35.1"
                                     << "le_coordX" << false << "135.5"
                                     << "34.6";
    }
    void paste()
    {
        QFETCH(QString, clipboard);
        QFETCH(QString, field);
        QFETCH(bool, yes);
        PromptScope scope;
        scope.prompts().buttonAnswers << (yes ? QMessageBox::Yes : QMessageBox::No);
        QApplication::clipboard()->setText(clipboard);
        DataDialog dialog("n", "135.5", "34.6", "0", "1", "Image", "11", "10");
        QLineEdit* edit = dialog.findChild<QLineEdit*>(field);
        emit edit->customContextMenuRequested(QPoint(1, 1));
        QCOMPARE(scope.prompts().kinds(), QStringList{"question"});
        QCOMPARE(scope.prompts().calls[0].title, QString("座標ペースト"));
        QCOMPARE(scope.prompts().calls[0].parent, &dialog);
        QTEST(dialog.form()->le_coordX->text(), "x");
        QTEST(dialog.form()->le_coordY->text(), "y");
    }
};

QTEST_MAIN(TestDataDialog)
#include "tst_datadialog.moc"
