// The colour-class page of the main window: one row per class, and the class file buttons.
#include "app/mivaromap.h"

#include "prompts/prompts.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "ui_mainwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

namespace {

QString rowStyle(int i)
{
    const AppSettings& s = AppSettings::instance();
    return QStringLiteral("QLineEdit { color: %1 ; background-color: %2;}")
        .arg(s.classFore[i].name(), s.classBack[i].name());
}

} // namespace

void MivaroMap::buildClassRows()
{
    const AppSettings& s = AppSettings::instance();
    const QIcon eraseIcon(QStringLiteral(":/icons/delete.png"));
    const QIcon insertIcon(QStringLiteral(":/icons/expand.png"));
    const QIcon colorIcon(QStringLiteral(":/icons/color.png"));
    for (int i = 0; i < AppSettings::ClassCount; ++i) {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(new QLabel(QStringLiteral("%1 ").arg(i, 3, 10, QLatin1Char('0'))));

        auto* edit = new QLineEdit(s.className[i]);
        edit->setToolTip(QStringLiteral("lineedit%1").arg(i));
        edit->setStyleSheet(rowStyle(i));
        connect(edit, SIGNAL(editingFinished()), this, SLOT(onEditingFinished()));
        row->addWidget(edit);
        lineEdits[i] = edit;

        auto addButton = [&](const QIcon& icon, const QString& text, const QString& tip, int width,
                             const char* slot) {
            auto* button = new QPushButton(icon, text);
            button->setToolTip(tip.arg(i));
            if (width > 0)
                button->setFixedWidth(width);
            connect(button, SIGNAL(clicked()), this, slot);
            row->addWidget(button);
            return button;
        };
        addButton(QIcon(), QStringLiteral("↑"), QStringLiteral("up%1"), 20, SLOT(onColorUp()))
            ->setObjectName(QStringLiteral("btnUp%1").arg(i));
        addButton(QIcon(), QStringLiteral("↓"), QStringLiteral("down%1"), 20, SLOT(onColorDown()));
        addButton(eraseIcon, QStringLiteral("削除"), QStringLiteral("erase%1"), 60,
                  SLOT(onColorErase()));
        addButton(insertIcon, QStringLiteral("挿入"), QStringLiteral("insert%1"), 60,
                  SLOT(onColorInsert()));
        addButton(colorIcon, QStringLiteral("背景色"), QStringLiteral("back%1"), 0,
                  SLOT(onColorChange()));
        addButton(colorIcon, QStringLiteral("文字色"), QStringLiteral("fore%1"), 0,
                  SLOT(onColorChange()));
        ui->settingLayout->addLayout(row);
    }
}

void MivaroMap::onEditingFinished()
{
    auto* edit = qobject_cast<QLineEdit*>(sender());
    if (!edit)
        return;
    const int n = edit->toolTip().remove(QStringLiteral("lineedit")).toInt();
    if (AppSettings::isClassIndex(n))
        AppSettings::instance().className[n] = edit->text();
}

void MivaroMap::on_btnClassLoad_clicked()
{
    const QString file = Prompts::instance().getOpenFileName(
        this, QStringLiteral("Class iniファイルを指定してください"), programDir(),
        tr("CSV Files (*.ini);;All Files (*)"));
    if (file.isEmpty())
        return;
    AppSettings::instance().loadClasses(file);
    refreshPlaces();
}

void MivaroMap::on_btnClassSave_clicked()
{
    const QString file = Prompts::instance().getSaveFileName(
        this, QStringLiteral("Class ini Save as file"),
        programDir() + QStringLiteral("/classsetting.ini"), QString());
    if (file.isEmpty())
        return;
    const fileio::WriteResult saved = AppSettings::instance().saveClasses(file);
    if (!saved) {
        Prompts::instance().warning(
            this, QStringLiteral("保存エラー"),
            QStringLiteral("%1 に保存できませんでした。\n%2").arg(file, saved.error),
            QMessageBox::Ok);
        return;
    }
    statusBar()->showMessage(file + QStringLiteral(" に保存しました"));
}

// Moving, erasing, inserting and recolouring classes, and random colours,
// arrive with the class editing feature.
void MivaroMap::onColorUp() {}
void MivaroMap::onColorDown() {}
void MivaroMap::onColorErase() {}
void MivaroMap::onColorInsert() {}
void MivaroMap::onColorChange() {}
void MivaroMap::on_btnColorRandum_clicked() {}
