// The colour-class page of the main window: one row per class, and the class file buttons.
#include "app/mivaromap.h"

#include "classes/classrows.h"
#include "classes/classtable.h"
#include "prompts/prompts.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "ui_mainwindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

#include <algorithm>
#include <cstdlib>

namespace {

// The class number a row widget carries in its tool tip after the prefix; -1
// when it names no class.
int rowNumber(const QWidget* widget, const QString& prefix)
{
    const int n = widget->toolTip().remove(prefix).toInt();
    return AppSettings::isClassIndex(n) ? n : -1;
}

} // namespace

void MivaroMap::buildClassRows()
{
    lineEdits = buildClassRowWidgets(ui->settingLayout, this);
}

void MivaroMap::onEditingFinished()
{
    auto* edit = qobject_cast<QLineEdit*>(sender());
    if (!edit)
        return;
    const int n = rowNumber(edit, QStringLiteral("lineedit"));
    if (n >= 0)
        AppSettings::instance().className[n] = edit->text();
}

void MivaroMap::onColorChange()
{
    auto* button = qobject_cast<QPushButton*>(sender());
    if (!button)
        return;
    const bool back = button->toolTip().contains(QStringLiteral("back"));
    const int n = rowNumber(button, back ? QStringLiteral("back") : QStringLiteral("fore"));
    if (n < 0)
        return;
    AppSettings& s = AppSettings::instance();
    QColor& colour = back ? s.classBack[n] : s.classFore[n];
    const QColor chosen = Prompts::instance().getColor(colour, this, QString());
    if (chosen.isValid())
        colour = chosen;
    restyleClassRows(lineEdits, n, n);
}

void MivaroMap::moveClass(int n, int to)
{
    AppSettings& s = AppSettings::instance();
    if (!AppSettings::isClassIndex(to) || s.className[to].isEmpty())
        return;
    if (classtable::swapInPlaces(places, n, to))
        modified = true;
    classtable::swapEntries(s, n, to);
    refreshClassRows(lineEdits, std::min(n, to), std::max(n, to));
    saveClassesAndList();
    refreshPlaces();
}

void MivaroMap::onColorUp()
{
    auto* button = qobject_cast<QPushButton*>(sender());
    if (!button)
        return;
    const int n = rowNumber(button, QStringLiteral("up"));
    if (n > 0)
        moveClass(n, n - 1);
}

void MivaroMap::onColorDown()
{
    auto* button = qobject_cast<QPushButton*>(sender());
    if (!button)
        return;
    const int n = rowNumber(button, QStringLiteral("down"));
    if (n >= 0)
        moveClass(n, n + 1);
}

void MivaroMap::onColorInsert()
{
    auto* button = qobject_cast<QPushButton*>(sender());
    if (!button)
        return;
    const int n = rowNumber(button, QStringLiteral("insert"));
    if (n < 0)
        return;
    AppSettings& s = AppSettings::instance();
    // The last entry would fall out of the table and its places outside it.
    if (!classtable::canInsert(s, places)) {
        Prompts::instance().information(
            this, tr("色挿入"), QStringLiteral("分類クラス199が使われているため挿入できません。"),
            QMessageBox::Ok);
        return;
    }
    if (!askSaveIfModified())
        return;
    if (classtable::shiftForInsert(places, n))
        modified = true;
    classtable::insertBlank(s, n);
    refreshClassRows(lineEdits, n, AppSettings::ClassCount - 1);
    saveClassesAndList();
    refreshPlaces();
}

void MivaroMap::onColorErase()
{
    auto* button = qobject_cast<QPushButton*>(sender());
    if (!button)
        return;
    const QString number = button->toolTip().remove(QStringLiteral("erase"));
    const int n = rowNumber(button, QStringLiteral("erase"));
    if (n < 0)
        return;
    // "In use" as the renumbering sees it: "05" and " 5" are on class 5 too.
    if (classtable::inUse(places, n)) {
        Prompts::instance().beep();
        Prompts::instance().information(
            this, tr("色削除"),
            QStringLiteral("まだ色データが残っています。一括置換してください。"), QMessageBox::Ok);
        ui->le_color->setText(number);
        ui->tabWidget->setCurrentIndex(2);
        rebuildBulkTable();
        return;
    }
    if (!askSaveIfModified())
        return;
    if (classtable::shiftForErase(places, n))
        modified = true;
    classtable::eraseEntry(AppSettings::instance(), n);
    refreshClassRows(lineEdits, n, AppSettings::ClassCount - 1);
    saveClassesAndList();
    refreshPlaces();
}

void MivaroMap::on_btnColorRandum_clicked()
{
    classtable::randomColors(AppSettings::instance(), [] { return std::rand(); });
    restyleClassRows(lineEdits, 0, AppSettings::ClassCount - 1);
}

bool MivaroMap::saveClassesAndList()
{
    const QString path = programDir() + QStringLiteral("/classsetting.ini");
    const fileio::WriteResult written = AppSettings::instance().saveClasses(path);
    if (!written) {
        Prompts::instance().warning(
            this, QStringLiteral("保存エラー"),
            QStringLiteral("%1 に保存できませんでした。\n%2").arg(path, written.error),
            QMessageBox::Ok);
        // The list stays unsaved too, so that the files on disk still belong together.
        return false;
    }
    if (!savePlaceFile(currentFile, true, true))
        return false;
    modified = false;
    statusBar()->showMessage(QStringLiteral("保存しました"));
    return true;
}

void MivaroMap::on_btnClassLoad_clicked()
{
    const QString file = Prompts::instance().getOpenFileName(
        this, QStringLiteral("Class iniファイルを指定してください"), programDir(),
        tr("CSV Files (*.ini);;All Files (*)"));
    if (file.isEmpty())
        return;
    AppSettings::instance().loadClasses(file);
    // The rows show what the places now use.
    refreshClassRows(lineEdits, 0, AppSettings::ClassCount - 1);
    refreshPlaces();
}

void MivaroMap::on_btnClassSave_clicked()
{
    const QString file = Prompts::instance().getSaveFileName(
        this, QStringLiteral("Class ini Save as file"),
        programDir() + QStringLiteral("/classsetting.ini"), QString());
    if (file.isEmpty())
        return;
    const fileio::WriteResult written = AppSettings::instance().saveClasses(file);
    if (!written) {
        Prompts::instance().warning(
            this, QStringLiteral("保存エラー"),
            QStringLiteral("%1 に保存できませんでした。\n%2").arg(file, written.error),
            QMessageBox::Ok);
        return;
    }
    statusBar()->showMessage(file + QStringLiteral(" に保存しました"));
}
