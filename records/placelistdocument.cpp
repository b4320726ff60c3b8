#include "records/placelistdocument.h"

#include "prompts/prompts.h"
#include "records/placefile.h"
#include "settings/programdir.h"

#include <QCoreApplication>

namespace {
QString openFilter()
{
    return QCoreApplication::translate("MivaroMap", "CSV Files (*.csv);;All Files (*)");
}
} // namespace

PlaceListDocument::~PlaceListDocument() = default;

void PlaceListDocument::showStatus(const QString&, int) {}

void PlaceListDocument::clearModels(int) {}

void PlaceListDocument::placesChanged() {}

void PlaceListDocument::listReplaced() {}

void PlaceListDocument::fileStateChanged() {}

void PlaceListDocument::loadPlaceFile(const QString& name)
{
    // The data table must not show rows of records that are about to go.
    clearModels(1);
    listReplaced();
    places = parsePlaceLines(readPlaceLines(name));
    modified = false;
}

bool PlaceListDocument::savePlaceFile(const QString& name, bool makeBackup, bool onceADay)
{
    const QString path = withCsvSuffix(placeFilePath(name));
    if (makeBackup)
        backupPlaceFile(path, onceADay);
    QString error;
    saveFailed = !writePlaceFile(places, path, &error);
    if (saveFailed)
        Prompts::instance().warning(
            promptParent(), QStringLiteral("保存エラー"),
            QStringLiteral("%1 に保存できませんでした。\n%2").arg(path, error), QMessageBox::Ok);
    return !saveFailed;
}

bool PlaceListDocument::askSaveIfModified()
{
    saveFailed = false;
    if (!modified)
        return true;
    const QMessageBox::StandardButton answer = Prompts::instance().question(
        nullptr, QStringLiteral("データ保存"),
        QStringLiteral("データが編集されています。CSVに保存しますか？\n"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes)
        return false;
    if (!savePlaceFile(currentFile, true, true))
        return false;
    modified = false;
    fileStateChanged();
    return true;
}

bool PlaceListDocument::autosave(bool makeBackup)
{
    const QString path = autosavePath(placeFilePath(currentFile));
    if (!savePlaceFile(path, makeBackup, false))
        return false;
    showStatus(withCsvSuffix(path) + QStringLiteral(" に保存しました"), 2000);
    return true;
}

bool PlaceListDocument::isExactDuplicate(const QString& name, const QString& x, const QString& y,
                                         const QString& layer)
{
    return ::isExactDuplicate(places, name, x, y, layer, addReport);
}

void PlaceListDocument::loadCommand()
{
    const QString file = Prompts::instance().getOpenFileName(
        promptParent(), QStringLiteral("CSVファイルを指定してください"), programDir(),
        openFilter());
    if (file.isEmpty())
        return;
    // The user asked for the edits to be saved and that failed: keep them.
    if (!askSaveIfModified() && saveFailed)
        return;
    loadPlaceFile(file);
    modified = false;
    currentFile = file;
    placesChanged();
}

void PlaceListDocument::addCommand()
{
    const QString file = Prompts::instance().getOpenFileName(
        promptParent(), QStringLiteral("CSVファイルを指定してください"), programDir(),
        openFilter());
    if (file.isEmpty())
        return;
    askSaveIfModified();
    addReport.clear();
    clearModels(1 | 2);
    NamesakeIndex namesakes(places);
    for (auto& record : parsePlaceLines(readPlaceLines(file))) {
        if (namesakes.isExactDuplicate(record->name, record->x, record->y, record->layer))
            continue;
        modified = true;
        namesakes.add(*record, int(places.size()));
        places.push_back(std::move(record));
    }
    addReport = namesakes.fullReport();
    placesChanged();
    if (!addReport.isEmpty())
        Prompts::instance().information(
            promptParent(), QCoreApplication::translate("MivaroMap", "２重登録警告"),
            QStringLiteral("同じ名前で違う座標のデータが存在します。\n\n") + addReport,
            QMessageBox::Ok);
}

void PlaceListDocument::saveAsCommand()
{
    const QString start = placeFilePath(currentFile);
    const QString file = Prompts::instance().getSaveFileName(
        promptParent(), QStringLiteral("CSV Save as file"), start, QString());
    if (file.isEmpty())
        return;
    if (!savePlaceFile(file, true, true))
        return;
    showStatus(withCsvSuffix(placeFilePath(file)) + QStringLiteral(" に保存しました"), 0);
    modified = false;
    fileStateChanged();
}

bool PlaceListDocument::saveCommand()
{
    if (!savePlaceFile(currentFile, true, true))
        return false;
    modified = false;
    showStatus(withCsvSuffix(placeFilePath(currentFile)) + QStringLiteral(" に保存しました"), 0);
    fileStateChanged();
    return true;
}
