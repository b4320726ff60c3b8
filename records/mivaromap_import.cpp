// Files of other tools: opening from outside (command line, drop, import),
// the import preview, and the export.
#include "app/mivaromap.h"

#include "dialogs/importdialog.h"
#include "fileio/atomicfile.h"
#include "formats/formats.h"
#include "prompts/prompts.h"
#include "records/placefile.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>

namespace {

QString firstLocalFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return QString();
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return QString();
}

} // namespace

bool MivaroMap::openFile(const QString& path)
{
    const QString title = QStringLiteral("読込エラー");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Prompts::instance().warning(
            this, title, QStringLiteral("%1 を開けません。\n%2").arg(path, file.errorString()),
            QMessageBox::Ok);
        return false;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    if (formats::detectFormat(bytes) == formats::Format::PlaceList) {
        if (!askSaveIfModified() && saveFailed)
            return false;
        loadPlaceFile(path);
        currentFile = path;
        placesChanged();
        fileStateChanged();
        return true;
    }

    const AppSettings& settings = AppSettings::instance();
    formats::ImportOptions defaults;
    defaults.classBack = settings.classBack;
    ImportDialog dialog(bytes, QFileInfo(path).fileName(), defaults, this);
    if (!dialog.readFile()) {
        if (dialog.importResult().cancelled)
            statusBar()->showMessage(dialog.error());
        else
            Prompts::instance().warning(this, title, path + QStringLiteral("\n") + dialog.error(),
                                        QMessageBox::Ok);
        return false;
    }
    if (Prompts::instance().execDialog(&dialog) != QDialog::Accepted ||
        dialog.choice() == ImportDialog::Choice::None)
        return false;
    PlaceList read = dialog.takePlaces();
    const QString name = QFileInfo(path).fileName();
    const EditHistory::Effect effect{EditHistory::Save::None, EditHistory::Refresh::All};

    if (dialog.choice() == ImportDialog::Choice::Load) {
        // The list is replaced: its edits are saved first when the user wants.
        if (!askSaveIfModified() && saveFailed)
            return false;
        const size_t count = read.size();
        history->replaceList(std::move(read), QStringLiteral("%1 を読込").arg(name), effect);
        statusBar()->showMessage(
            QStringLiteral("%1 から %2 件を読み込みました").arg(name).arg(count));
        return true;
    }

    // Added as " CSV Add" adds: places already in the list stay out and namesakes are reported.
    NamesakeIndex namesakes(places);
    PlaceList added;
    for (auto& record : read) {
        if (namesakes.isExactDuplicate(record->name, record->x, record->y, record->layer))
            continue;
        namesakes.add(*record, int(places.size() + added.size()));
        added.push_back(std::move(record));
    }
    const size_t count = added.size();
    history->appendRecords(std::move(added), QStringLiteral("%1 を追加").arg(name), effect);
    statusBar()->showMessage(QStringLiteral("%1 から %2 件を追加しました").arg(name).arg(count));
    addReport = namesakes.fullReport();
    if (!addReport.isEmpty())
        Prompts::instance().information(
            this, QCoreApplication::translate("MivaroMap", "２重登録警告"),
            QStringLiteral("同じ名前で違う座標のデータが存在します。\n\n") + addReport,
            QMessageBox::Ok);
    return true;
}

void MivaroMap::importCommand()
{
    const QString file = Prompts::instance().getOpenFileName(
        this, QStringLiteral("インポートするファイルを指定してください"), programDir(),
        QStringLiteral("地点のファイル (*.gpx *.kml *.kmz *.geojson *.json *.csv *.tsv *.txt);;"
                       "All Files (*)"));
    if (!file.isEmpty())
        openFile(file);
}

void MivaroMap::exportCommand()
{
    std::vector<const PlaceRecord*> all, marked;
    for (const auto& p : places) {
        all.push_back(p.get());
        if (p->marked)
            marked.push_back(p.get());
    }
    const QString title = QStringLiteral("エクスポート");
    bool onlyMarked = false;
    if (!marked.empty() && marked.size() < all.size())
        onlyMarked = Prompts::instance().question(
                         this, title,
                         QStringLiteral("印の付いた %1 件だけを書き出しますか？\n"
                                        "（いいえ: 全 %2 件を書き出します）")
                             .arg(marked.size())
                             .arg(all.size()),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    const QString start = programDir() + QLatin1Char('/') +
                          QFileInfo(placeFilePath(currentFile)).completeBaseName() +
                          QStringLiteral(".kml");
    const QString path = Prompts::instance().getSaveFileName(
        this, title, start,
        QStringLiteral("KML (*.kml);;KMZ (*.kmz);;GPX (*.gpx);;GeoJSON (*.geojson *.json);;"
                       "表計算用 CSV (*.csv)"));
    if (path.isEmpty())
        return;
    const formats::Format format = formats::formatForOutput(path, false);
    if (format == formats::Format::Unknown) {
        Prompts::instance().warning(
            this, title,
            QStringLiteral(
                "ファイル名の拡張子で形式を選んでください（.kml .kmz .gpx .geojson .csv）"),
            QMessageBox::Ok);
        return;
    }
    const AppSettings& s = AppSettings::instance();
    const formats::ExportResult out = formats::exportPlaces(
        onlyMarked ? marked : all, format, {s.className, s.classBack, s.classFore});
    fileio::WriteResult saved;
    if (out.ok)
        saved = fileio::writeFileAtomically(path, out.bytes);
    if (!out.ok || !saved) {
        Prompts::instance().warning(this, QStringLiteral("保存エラー"),
                                    QStringLiteral("%1 に保存できませんでした。\n%2")
                                        .arg(path, out.ok ? saved.error : out.error),
                                    QMessageBox::Ok);
        return;
    }
    QString message = QStringLiteral("%1 に %2 件を書き出しました").arg(path).arg(out.written);
    if (out.leftOut > 0)
        message += QStringLiteral("（座標が地図の範囲にない %1 件は除きました）").arg(out.leftOut);
    statusBar()->showMessage(message);
}

void MivaroMap::dragEnterEvent(QDragEnterEvent* event)
{
    if (!firstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MivaroMap::dropEvent(QDropEvent* event)
{
    const QString path = firstLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The source of the drag waits for its answer: the preview opens after it.
    QTimer::singleShot(0, this, [this, path] { openFile(path); });
}
