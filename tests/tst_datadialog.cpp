// The record dialog: its form, the values it hands back, its pickers and the coordinate paste.
#include "../dialogs/ui_datadialog.h"
#include "dialogs/datadialog.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QClipboard>
#include <QtTest>

static const QString start = "大坂城|135.5|34.6|1|2|Image|11|10";

class TestDataDialog : public QObject
{
    Q_OBJECT
    PromptScope prompts;
    ScriptedPrompts& asked() { return prompts.prompts(); }

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        AppSettings& settings = AppSettings::instance();
        settings.className.fill(QString());
        for (int i = 0; i < 20; ++i)
            settings.className[i] = QStringLiteral("c%1").arg(i);
    }
    void init()
    {
        asked().calls.clear();
        asked().buttonAnswers.clear();
        asked().menuAnswers.clear();
        asked().dialogAnswers.clear();
    }

    void form()
    {
        DataDialog dialog("", "", "", "", "", "", "", "");
        const Ui::DataDialog& ui = *dialog.form();
        QCOMPARE(dialog.windowTitle(), "データ設定");
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        QStringList texts;
        for (QLabel* label : {ui.label_2, ui.label_3, ui.label_4, ui.label_6, ui.label_7,
                              ui.label_8, ui.label_9, ui.label_10})
            texts << label->text();
        QCOMPARE(texts.join('|'),
                 "テキスト|経度（X座標）|緯度（Y座標)|色|レイヤ-|部品型|文字の大きさ|ズームレベル");
        QCOMPARE(ui.btnOK->text() + ui.btnCansel->text(), "OKキャンセル");
        QVERIFY(ui.btnHelp->text().isEmpty() && !ui.btnHelp->icon().isNull());
        QCOMPARE(ui.btnHelp->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(ui.le_name->contextMenuPolicy(), Qt::DefaultContextMenu);
        for (QLineEdit* e : {ui.le_coordX, ui.le_coordY, ui.le_colorno, ui.le_layerno, ui.le_shape})
            QCOMPARE(e->contextMenuPolicy(), Qt::CustomContextMenu);
        const QStringList order = QString("le_name le_coordX le_coordY le_colorno le_layerno "
                                          "le_shape spnPoint spnZoomLevel btnHelp btnOK btnCansel")
                                      .split(' ');
        QCOMPARE(focusOrder(ui.le_name, order), order);
    }

    // The eight values in and out, joined with '|'; spin boxes take the text size and level.
    // Button "": closed. No result: not accepted.
    void values_data()
    {
        textColumns({"given", "button", "result"});
        const QString odd = "大坂城|135.5|34.6|1|2|Image|abc|99";
        textRow("OK as given", {start, "btnOK", start});
        textRow("not a number shows the minimum", {"大坂城|135.5|34.6|1|2|Image|abc|10", "btnOK",
                                                   "大坂城|135.5|34.6|1|2|Image|7|10"});
        textRow("beyond the maximum", {"大坂城|135.5|34.6|1|2|Image|99|14", "btnOK",
                                       "大坂城|135.5|34.6|1|2|Image|48|13"});
        textRow("cancel keeps the caller's", {odd, "btnCansel", ""});
        textRow("closed keeps the caller's", {odd, "", ""});
        const QString asIs = " 新城 |x||300|0|Cricle|20|12";
        textRow("odd texts come back as they are", {asIs, "btnOK", asIs});
    }
    void values()
    {
        const QString button = cell("button");
        asked().dialogAnswers << [&](QDialog* d) {
            if (button.isEmpty())
                d->close();
            else
                QTest::mouseClick(d->findChild<QPushButton*>(button), Qt::LeftButton);
            return d->result();
        };
        QStringList v = cell("given").split('|');
        const bool accepted =
            editPlaceInDialog(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], nullptr);
        QCOMPARE(accepted, !cell("result").isEmpty());
        QCOMPARE(v.join('|'), accepted ? cell("result") : cell("given"));
    }

    // Right clicks on the class, layer and shape fields; the menu answer "" dismisses it,
    // and the palette has no class 150 to click.
    void pickers_data()
    {
        textColumns({"field", "menu", "class", "value"});
        textRow("class 12", {"le_colorno", "", "12", "12"});
        textRow("class 0", {"le_colorno", "", "0", "0"});
        textRow("palette left", {"le_colorno", "", "150", "3"});
        textRow("layer 9", {"le_layerno", "Layer9", "", "9"});
        textRow("layer menu dismissed", {"le_layerno", "", "", "4"});
        textRow("Cricle is Circle", {"le_shape", "Cricle", "", "Circle"});
        textRow("shape menu dismissed", {"le_shape", "", "", "Scaled"});
    }
    void pickers()
    {
        asked().menuAnswers << cell("menu");
        asked().dialogAnswers << clickClassLabel(cell("class").toInt());
        QWidget parent;
        parent.setGeometry(100, 100, 600, 500);
        DataDialog dialog("n", "1", "2", "3", "4", "Scaled", "11", "10", &parent);
        QLineEdit* edit = dialog.findChild<QLineEdit*>(cell("field"));
        emit edit->customContextMenuRequested(QPoint(1, 1));
        QCOMPARE(asked().kinds(),
                 QStringList{cell("menu") == "" && cell("class") != "" ? "dialog" : "menu"});
        QCOMPARE(edit->text(), cell("value"));
        QCOMPARE(dialog.form()->le_coordX->text(), "1");
    }

    // Asked first from either field; a text that is no position changes nothing.
    void paste_data()
    {
        textColumns({"clipboard", "field", "answer", "xy"});
        textRow("latitude first, from Y", {" 35.1 , 139.2 ", "le_coordY", "Yes", "139.2 35.1"});
        textRow("from X", {"139.2,35.1", "le_coordX", "Yes", "139.2 35.1"});
        textRow("not a position", {"東京 タワー", "le_coordY", "Yes", "135.5 34.6"});
        textRow("answered No", {"139.2,35.1", "le_coordX", "No", "135.5 34.6"});
    }
    void paste()
    {
        asked().buttonAnswers << (cell("answer") == "Yes" ? QMessageBox::Yes : QMessageBox::No);
        QApplication::clipboard()->setText(cell("clipboard"));
        DataDialog dialog("n", "135.5", "34.6", "0", "1", "Image", "11", "10");
        emit dialog.findChild<QLineEdit*>(cell("field"))->customContextMenuRequested(QPoint(1, 1));
        QCOMPARE(asked().kinds(), QStringList{"question"});
        QCOMPARE(asked().calls[0].title, "座標ペースト");
        QCOMPARE(asked().calls[0].parent, &dialog);
        QCOMPARE(dialog.form()->le_coordX->text() + ' ' + dialog.form()->le_coordY->text(),
                 cell("xy"));
    }
};

QTEST_MAIN(TestDataDialog)
#include "tst_datadialog.moc"
