// Finding places by name or address: the search of the tools menu, and
// filling in the coordinates that places of the list lack.
#include "app/mivaromap.h"

#include "dialogs/coordinatefilldialog.h"
#include "dialogs/geosearchdialog.h"
#include "net/geocoder.h"
#include "prompts/prompts.h"
#include "records/coordinatefill.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QAction>
#include <QMenu>
#include <QProgressDialog>
#include <QStatusBar>

using geocoding::ServiceId;

namespace {

QString duration(qint64 ms)
{
    const qint64 seconds = (ms + 999) / 1000;
    if (seconds < 60)
        return QStringLiteral("%1 秒").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 分 %2 秒").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 時間 %2 分").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

QString progressText(const CoordinateFill& batch)
{
    return QStringLiteral("名前から座標を探しています：%1 / %2 件\n残り約 %3")
        .arg(batch.done())
        .arg(batch.total())
        .arg(duration(batch.remainingMs()));
}

// The credits of the services whose places a batch found.
QStringList credits(const Geocoder& geocoder, const CoordinateFill& batch)
{
    QStringList texts;
    for (ServiceId id : {ServiceId::Gsi, ServiceId::Nominatim}) {
        const bool used =
            std::any_of(batch.items().begin(), batch.items().end(), [id](const auto& item) {
                return !item.places.isEmpty() && item.places.front().service == id;
            });
        if (used)
            texts << geocoder.service(id).attribution();
    }
    return texts;
}

} // namespace

Geocoder* MivaroMap::placeSearch()
{
    if (!geocoder) {
        const AppSettings& settings = AppSettings::instance();
        geocoder = new Geocoder(settings.geocoderGsi, settings.geocoderNominatim,
                                programCacheDir() + QStringLiteral("/geocache"), this);
    }
    return geocoder;
}

void MivaroMap::createGeocodingActions(QMenu* menu)
{
    menu->addSeparator();
    QAction* search = menu->addAction(QStringLiteral("(&G) 地名・住所で探す"));
    search->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_G));
    search->setShortcutContext(Qt::WindowShortcut);
    connect(search, &QAction::triggered, this, &MivaroMap::searchPlace);
    newPlaceHereAction = menu->addAction(QStringLiteral("ここに新しい場所"));
    newPlaceHereAction->setEnabled(false);
    connect(newPlaceHereAction, &QAction::triggered, this, [this] {
        if (foundPlace)
            createPlaceAt(PointWorldCoord(foundPlace->longitude, foundPlace->latitude),
                          foundPlace->name);
    });
    QMenu* fill = menu->addMenu(QStringLiteral("座標の補完"));
    fill->setFont(menu->font());
    connect(fill->addAction(QStringLiteral("(&A) 座標のないすべての場所")), &QAction::triggered,
            this, [this] { fillCoordinates(false); });
    connect(fill->addAction(QStringLiteral("(&K) 座標のない場所のうち印の付いたものだけ")),
            &QAction::triggered, this, [this] { fillCoordinates(true); });
}

void MivaroMap::searchPlace()
{
    GeoSearchDialog dialog(placeSearch(), this);
    if (Prompts::instance().execDialog(&dialog) != QDialog::Accepted || !dialog.chosenPlace())
        return;
    foundPlace = *dialog.chosenPlace();
    const PointWorldCoord point(foundPlace->longitude, foundPlace->latitude);
    if (mapControl->getCurrentZoom() < 15)
        mapControl->setZoom(15);
    mapControl->setMapFocusPointAnimated(point, 25, glideStepInterval);
    newPlaceHereAction->setEnabled(true);
    newPlaceHereAction->setStatusTip(foundPlace->name);
    statusBar()->showMessage(
        QStringLiteral("「%1」を地図の中央に表示しました。ツールメニューの「ここに新しい場所」で"
                       "場所を作れます（%2）")
            .arg(foundPlace->name, geocoder->service(foundPlace->service).attribution()));
}

void MivaroMap::fillCoordinates(bool markedOnly)
{
    if (fillBatch)
        return;
    std::vector<PlaceRecord*> records = coordinatefill::candidates(places, markedOnly);
    const QString title = QStringLiteral("座標の補完");
    if (records.empty()) {
        Prompts::instance().information(
            this, title,
            markedOnly ? QStringLiteral("印の付いた場所に、座標のない場所はありません。")
                       : QStringLiteral("座標のない場所はありません。"),
            QMessageBox::Ok);
        return;
    }
    Geocoder* client = placeSearch();
    QString limitNote;
    const bool toPublic = client->service(ServiceId::Gsi).isPublic() ||
                          client->service(ServiceId::Nominatim).isPublic();
    if (toPublic && records.size() > size_t(coordinatefill::publicBatchLimit)) {
        limitNote = QStringLiteral("\n公開の検索サービスには一度に %1 件までしか問い合わせません。"
                                   "今回は %2 件のうち最初の %1 件を探します。")
                        .arg(coordinatefill::publicBatchLimit)
                        .arg(records.size());
        records.resize(size_t(coordinatefill::publicBatchLimit));
    }
    const QString text =
        QStringLiteral(
            "座標のない場所 %1 件の座標を、名前で検索して補完します。\n"
            "検索サービスへの問い合わせは 1 秒に 1 件までなので、最長で約 %2 かかります。%3\n"
            "始めますか？")
            .arg(records.size())
            .arg(duration(qint64(records.size()) * 2 * 1050))
            .arg(limitNote);
    if (Prompts::instance().question(this, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::Yes) != QMessageBox::Yes)
        return;

    fillBatch = new CoordinateFill(client, std::move(records), this);
    auto* progress = new QProgressDialog(progressText(*fillBatch), QStringLiteral("中止"), 0,
                                         fillBatch->total(), this);
    progress->setObjectName(QStringLiteral("fillProgress"));
    progress->setWindowTitle(title);
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setValue(0);
    CoordinateFill* batch = fillBatch;
    connect(batch, &CoordinateFill::progress, progress, [progress, batch](int done) {
        progress->setLabelText(progressText(*batch));
        progress->setValue(done);
    });
    connect(progress, &QProgressDialog::canceled, batch, &CoordinateFill::cancel);
    // Queued: the result dialog must not run inside the geocoder's answer.
    connect(batch, &CoordinateFill::finished, this, &MivaroMap::fillFinished, Qt::QueuedConnection);
    connect(batch, &CoordinateFill::finished, progress, &QObject::deleteLater);
    batch->start();
}

void MivaroMap::fillFinished()
{
    CoordinateFill* batch = std::exchange(fillBatch, nullptr);
    if (!batch)
        return;
    batch->deleteLater();
    const QStringList sources = credits(*geocoder, *batch);
    const bool allClear =
        !batch->wasCancelled() && batch->stopReason().isEmpty() &&
        std::all_of(batch->items().begin(), batch->items().end(),
                    [](const auto& item) { return item.match == geocoding::Match::Clear; });
    std::vector<std::optional<int>> choices;
    if (!allClear) {
        CoordinateFillDialog dialog(*batch, sources, this);
        if (Prompts::instance().execDialog(&dialog) != QDialog::Accepted) {
            statusBar()->showMessage(
                QStringLiteral("座標の補完を取りやめました（何も変えていません）"));
            return;
        }
        choices = dialog.choices();
    }
    std::vector<EditHistory::FieldChange> changes =
        coordinatefill::changes(batch->items(), choices, places);
    if (changes.empty()) {
        statusBar()->showMessage(QStringLiteral("座標を補完できた場所はありません"));
        return;
    }
    const size_t count = changes.size();
    history->changeFields(std::move(changes), QStringLiteral("座標の補完"),
                          {EditHistory::Save::Autosave, EditHistory::Refresh::Places});
    statusBar()->showMessage(QStringLiteral("%1 件の座標を補完しました（%2）")
                                 .arg(count)
                                 .arg(sources.join(QStringLiteral("　"))));
}
