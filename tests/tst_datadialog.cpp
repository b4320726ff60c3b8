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
    void init() { asked() = ScriptedPrompts(); }

    // Only the pickable fields open their own menus; the name field keeps the editor's.
    void form()
    {
        DataDialog dialog("", "", "", "", "", "", "", "");
        const Ui::DataDialog& ui = *dialog.form();
        QCOMPARE(dialog.windowTitle(), "データ設定");
        QCOMPARE(ui.btnHelp->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(ui.le_name->contextMenuPolicy(), Qt::DefaultContextMenu);
        for (QLineEdit* e : {ui.le_coordX, ui.le_coordY, ui.le_colorno, ui.le_layerno, ui.le_shape})
            QCOMPARE(e->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    // The eight values in and out, joined with '|'; spin boxes take the text size and level.
    // No result: not accepted.
    void values_data()
    {
        textColumns({"given", "button", "result"});
        textRow("OK as given", {start, "btnOK", start});
        textRow("not a number shows the minimum", {"大坂城|135.5|34.6|1|2|Image|abc|10", "btnOK",
                                                   "大坂城|135.5|34.6|1|2|Image|7|10"});
        textRow("beyond the maximum", {"大坂城|135.5|34.6|1|2|Image|99|14", "btnOK",
                                       "大坂城|135.5|34.6|1|2|Image|48|13"});
        textRow("cancel keeps the caller's",
                {"大坂城|135.5|34.6|1|2|Image|abc|99", "btnCansel", ""});
        const QString asIs = " 新城 |x||300|0|Cricle|20|12";
        textRow("odd texts come back as they are", {asIs, "btnOK", asIs});
    }
    void values()
    {
        const QString button = cell("button");
        asked().dialogAnswers << [&](QDialog* d) {
            QTest::mouseClick(d->findChild<QPushButton*>(button), Qt::LeftButton);
            return d->result();
        };
        QStringList v = cell("given").split('|');
        const bool accepted =
            editPlaceInDialog(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], nullptr);
        QCOMPARE(accepted, !cell("result").isEmpty());
        QCOMPARE(v.join('|'), accepted ? cell("result") : cell("given"));
    }

    // Right clicks: the class, layer and shape fields pick from the palette or a menu (""
    // dismisses, the palette has no class 150); the coordinates ask to paste, latitude first.
    // After: the field, then X and Y.
    void rightClicks_data()
    {
        textColumns({"field", "answer", "asked", "after"});
        textRow("class 12", {"le_colorno", "12", "dialog", "12 1 2"});
        textRow("class 0", {"le_colorno", "0", "dialog", "0 1 2"});
        textRow("palette left", {"le_colorno", "150", "dialog", "3 1 2"});
        textRow("layer 9", {"le_layerno", "Layer9", "menu", "9 1 2"});
        textRow("layer menu dismissed", {"le_layerno", "", "menu", "4 1 2"});
        textRow("Cricle is Circle", {"le_shape", "Cricle", "menu", "Circle 1 2"});
        textRow("shape menu dismissed", {"le_shape", "", "menu", "Scaled 1 2"});
        textRow("paste from Y", {"le_coordY", "Yes", "question", "35.1 139.2 35.1"});
        textRow("paste answered No", {"le_coordX", "No", "question", "1 1 2"});
    }
    void rightClicks()
    {
        const QString answer = cell("answer");
        asked().menuAnswers << answer;
        asked().dialogAnswers << clickClassLabel(answer.toInt());
        asked().buttonAnswers << (answer == "Yes" ? QMessageBox::Yes : QMessageBox::No);
        QApplication::clipboard()->setText(" 35.1 , 139.2 ");
        QWidget parent;
        parent.setGeometry(100, 100, 600, 500);
        DataDialog dialog("n", "1", "2", "3", "4", "Scaled", "11", "10", &parent);
        QLineEdit* edit = dialog.findChild<QLineEdit*>(cell("field"));
        emit edit->customContextMenuRequested(QPoint(1, 1));
        QCOMPARE(asked().kinds(), QStringList{cell("asked")});
        if (cell("asked") == "question")
            QVERIFY(asked().calls[0].title == "座標ペースト" && asked().calls[0].parent == &dialog);
        QCOMPARE(QStringList({edit->text(), dialog.form()->le_coordX->text(),
                              dialog.form()->le_coordY->text()})
                     .join(' '),
                 cell("after"));
    }
};

QTEST_MAIN(TestDataDialog)
#include "tst_datadialog.moc"
