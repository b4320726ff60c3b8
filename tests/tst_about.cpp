// The About dialog: its text, its buttons, and the window's version entry.

#include "../dialogs/ui_verupdialog.h"
#include "app/mivaromap.h"
#include "dialogs/verupdialog.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QAction>
#include <QPointer>
#include <QTextDocument>
#include <QtTest>

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initMivaroMapResources(); }

    // The notices, each a paragraph, then name and version; only picture, text and OK
    // shown; the link goes to the desktop; OK rejects.
    void dialog()
    {
        PromptScope prompts;
        verupdialog dialog("MivaroMap", "0.70", QPixmap(":icons/mapimage.png"), 0);
        dialog.show();
        const Ui::verupdialog& ui = *dialog.form();
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
        QList<bool> shown;
        for (QWidget* w : std::initializer_list<QWidget*>{
                 ui.label, ui.lblVertext, ui.btnOk, ui.lblNewver, ui.progressBar, ui.btnVerup})
            shown << w->isVisible();
        QCOMPARE(shown, (QList<bool>{true, true, true, false, false, false}));
        emit ui.lblVertext->linkActivated("https://www.qt.io/");
        QCOMPARE(prompts.prompts().kinds(), QStringList{"url"});
        QCOMPARE(prompts.prompts().calls[0].extra, QStringLiteral("https://www.qt.io/"));
        dialog.setResult(QDialog::Accepted);
        QTest::mouseClick(ui.btnOk, Qt::LeftButton);
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
        prompts.prompts().dialogAnswers << [&](QDialog* dialog) {
            shown = dialog;
            if (auto* about = qobject_cast<verupdialog*>(dialog))
                text = about->form()->lblVertext->text();
            return int(QDialog::Rejected);
        };
        prompts.prompts().calls.clear();
        window.versionMenuAction()->trigger();
        QCOMPARE(prompts.prompts().kinds(), QStringList{"dialog"});
        QCOMPARE(prompts.prompts().calls[0].parent, &window);
        QCOMPARE(text, verupdialog::aboutText("MivaroMap", "0.70"));
        QVERIFY(shown.isNull()); // deleted once closed
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
