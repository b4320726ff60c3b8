// The About dialog: its form, its text, and the window's version entry.

#include "../dialogs/ui_verupdialog.h"
#include "app/mivaromap.h"
#include "dialogs/verupdialog.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QAction>
#include <QGridLayout>
#include <QPointer>
#include <QTextDocument>
#include <QtTest>

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initMivaroMapResources(); }

    void form_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("maximum");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shown");
        const QSize any(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        QTest::newRow("picture") << "label" << QSize(64, 64) << QSize(64, 64) << "" << true;
        QTest::newRow("text") << "lblVertext" << QSize(321, 61) << any << "" << true;
        QTest::newRow("notice") << "lblNewver" << QSize(0, 0) << any
                                << "新バージョンが見つかりました" << false;
        QTest::newRow("progress") << "progressBar" << QSize(0, 0) << any << "" << false;
        QTest::newRow("check") << "btnVerup" << QSize(103, 23) << any << "新バージョンチェック"
                               << false;
        QTest::newRow("ok") << "btnOk" << QSize(75, 23) << any << "OK" << true;
    }

    void form()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, shown);
        verupdialog dialog("MivaroMap", "0.70", QPixmap(":icons/mapimage.png"), 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // The whole About text is in sight.
        QLabel* about = dialog.form()->lblVertext;
        QVERIFY(about->heightForWidth(about->width()) <= about->height());
        auto* widget = dialog.findChild<QWidget*>(name);
        QVERIFY(widget);
        QTEST(widget->minimumSize(), "minimum");
        QTEST(widget->maximumSize(), "maximum");
        QCOMPARE(widget->isVisible(), shown);
        if (!text.isEmpty())
            QCOMPARE(widget->property("text").toString(), text);
    }

    void dialogAsBuilt()
    {
        const QPixmap picture(":icons/mapimage.png");
        verupdialog dialog("MivaroMap", "0.70", picture, 0);
        const Ui::verupdialog& ui = *dialog.form();
        QCOMPARE(dialog.objectName(), QStringLiteral("verupdialog"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Version"));
        QCOMPARE(dialog.width(), 468);
        QVERIFY(dialog.height() >= 145);
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        QVERIFY(ui.label->hasScaledContents());
        QCOMPARE(ui.label->pixmap(Qt::ReturnByValue).toImage(), picture.toImage());
        QCOMPARE(ui.progressBar->value(), 24);
        QVERIFY(!ui.btnVerup->isEnabled() && !ui.btnVerup->autoDefault());
        // Picture and text side by side over the hidden check row, buttons below.
        QCOMPARE(ui.gridLayout->itemAtPosition(0, 0)->layout(), ui.verticalLayout1);
        QCOMPARE(ui.gridLayout->itemAtPosition(1, 0)->layout(), ui.horizontalLayout_3);
        QCOMPARE(ui.verticalLayout1->itemAt(0)->layout(), ui.horizontalLayout);
        QCOMPARE(ui.verticalLayout1->itemAt(1)->layout(), ui.horizontalLayout_2);
        QCOMPARE(ui.horizontalLayout->itemAt(0)->widget(), ui.label);
        QCOMPARE(ui.horizontalLayout->itemAt(1)->widget(), ui.lblVertext);
        QCOMPARE(ui.horizontalLayout_2->itemAt(0)->widget(), ui.lblNewver);
        QCOMPARE(ui.horizontalLayout_2->itemAt(1)->widget(), ui.progressBar);
        QVERIFY(ui.horizontalLayout_3->itemAt(0)->spacerItem());
        QCOMPARE(ui.horizontalLayout_3->itemAt(1)->widget(), ui.btnVerup);
        QCOMPARE(ui.horizontalLayout_3->itemAt(2)->widget(), ui.btnOk);

        // The notices first, each a paragraph, then name and version on a line of their own.
        QCOMPARE(ui.lblVertext->text(), verupdialog::aboutText("MivaroMap", "0.70"));
        QTextDocument doc;
        doc.setHtml(ui.lblVertext->text());
        const QStringList lines = doc.toPlainText().split('\n');
        QCOMPARE(lines.size(), 3);
        for (const char* part : {"Qt 5.15", "GNU LGPL", "3", "https://www.qt.io/"})
            QVERIFY2(lines[0].contains(part), part);
        for (const char* part :
             {"© OpenStreetMap contributors", "ODbL", "地理院タイル", "Google", "Stamen Design"})
            QVERIFY2(lines[1].contains(QString::fromUtf8(part)), part);
        QCOMPARE(lines[2], QStringLiteral("MivaroMap Ver 0.70"));
        QCOMPARE(doc.blockCount(), 3);
    }

    void okAndLink()
    {
        PromptScope prompts;
        verupdialog dialog("MivaroMap", "0.70", QPixmap(), 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // The toolkit's address goes to the desktop through the prompts.
        emit dialog.form()->lblVertext->linkActivated("https://www.qt.io/");
        QCOMPARE(prompts.prompts().kinds(), QStringList{"url"});
        QCOMPARE(prompts.prompts().calls[0].extra, QStringLiteral("https://www.qt.io/"));
        dialog.setResult(QDialog::Accepted);
        QTest::mouseClick(dialog.form()->btnOk, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void versionEntry()
    {
        ProgramDirScope dir;
        PromptScope prompts;
        AppSettings::instance().load();
        keepTilesLocal();
        MivaroMap window;
        QPointer<QDialog> shown;
        QString text;
        QImage picture;
        prompts.prompts().dialogAnswers << [&](QDialog* dialog) {
            shown = dialog;
            auto* about = qobject_cast<verupdialog*>(dialog);
            if (about) {
                text = about->form()->lblVertext->text();
                picture = about->form()->label->pixmap(Qt::ReturnByValue).toImage();
            }
            return int(QDialog::Rejected);
        };
        prompts.prompts().calls.clear();
        window.versionMenuAction()->trigger();
        QCOMPARE(prompts.prompts().kinds(), QStringList{"dialog"});
        QCOMPARE(prompts.prompts().calls[0].title, QStringLiteral("Version"));
        QCOMPARE(prompts.prompts().calls[0].parent, &window);
        QCOMPARE(text, verupdialog::aboutText("MivaroMap", "0.70"));
        QCOMPARE(picture, QImage(":icons/mapimage.png").convertToFormat(picture.format()));
        QVERIFY(shown.isNull()); // gone once it closed
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
