// The main window form's buttons.

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

    // Icon-only buttons are flat; none presses itself on Return; F1 is only for help.
    void everyButton()
    {
        QStringList withF1;
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            const QByteArray name = button->objectName().toLatin1();
            QVERIFY2(!button->icon().isNull(), name);
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
};

QTEST_MAIN(TestForm)
#include "tst_form.moc"
