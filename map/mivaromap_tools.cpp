// The map tools of the main window: the distance between two presses and
// saving the map as a picture.
#include "app/mivaromap.h"

#include "fileio/atomicfile.h"
#include "map/distance.h"
#include "map/exportdialog.h"
#include "map/mapexport.h"
#include "map/maprender.h"
#include "prompts/prompts.h"
#include "settings/programdir.h"

#include <QMouseEvent>
#include <QProgressDialog>
#include <QStatusBar>

#include <vector>

using namespace qmapcontrol;

void MivaroMap::calculateDistance()
{
    // Choosing the action again while armed must not handle each press twice.
    connect(mapControl, &QMapControl::mouseEventPressCoordinate, this,
            &MivaroMap::calculateDistanceClick, Qt::UniqueConnection);
}

void MivaroMap::calculateDistanceClick(QMouseEvent* mouse_event, PointWorldCoord press_coordinate)
{
    switch (measurement.press(mouse_event->type(), press_coordinate)) {
    case distance::Measurement::Action::None:
        return;
    case distance::Measurement::Action::PlantFlag: {
        auto flag = std::make_shared<GeometryPointImage>(
            press_coordinate, distance::flagPicture(mapControl->devicePixelRatioF()), 0, 17);
        flag->setAlignmentType(Geometry::AlignmentType(5), true);
        notesLayer->addGeometry(flag, false);
        return;
    }
    case distance::Measurement::Action::Finish:
        break;
    }

    const PointWorldCoord a = measurement.a();
    const PointWorldCoord b = measurement.b();
    const double km = distance::greatCircleKm(a, b);
    notesLayer->addGeometry(std::make_shared<GeometryLineString>(std::vector{a, b}, 0, 17), false);
    auto label = std::make_shared<GeometryPointImage>(
        b, distance::labelPicture(km, mapControl->devicePixelRatioF()), 0, 17);
    label->setAlignmentType(Geometry::AlignmentType(4), true);
    notesLayer->addGeometry(label, false);

    measurement.clear();
    disconnect(mapControl, &QMapControl::mouseEventPressCoordinate, this,
               &MivaroMap::calculateDistanceClick);
}

void MivaroMap::on_btnMapImageSave_clicked()
{
    ExportDialog dialog(mapControl->size(), this);
    if (Prompts::instance().execDialog(&dialog) != QDialog::Accepted)
        return;
    const ExportChoice choice = dialog.choice();
    QImage image;
    if (choice.isScreen(mapControl->size())) {
        // The picture is taken before the file dialog can cover the map.
        mapControl->enableZoomControls(false, false);
        image = mapControl->grab(QRect(QPoint(0, 0), QSize(-1, -1)))
                    .toImage()
                    .convertToFormat(QImage::Format_ARGB32);
        mapControl->enableZoomControls(true, false);
    } else {
        image = renderMapPicture(choice);
        if (image.isNull())
            return;
    }
    const QString path = Prompts::instance().getSaveFileName(
        this, QStringLiteral("Save as file"), programDir() + QStringLiteral("/mapimage.png"),
        QString());
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QString error;
    // A print has up to 64 times the screen's pixels: packed fast, it is saved in seconds.
    bool saved = mapexport::encodePng(
        image, &bytes, &error, choice.isScreen(mapControl->size()) ? 8 : mapexport::FastQuality);
    if (saved) {
        const fileio::WriteResult written =
            fileio::writeFileAtomically(path, bytes, fileio::Durability::Synced);
        saved = written.ok;
        error = written.error;
    }
    if (saved)
        statusBar()->showMessage(path + QStringLiteral(" に保存しました"), 0);
    else
        Prompts::instance().warning(
            this, QStringLiteral("保存エラー"),
            QStringLiteral("%1 に保存できませんでした。\n%2").arg(path, error), QMessageBox::Ok);
}

QImage MivaroMap::renderMapPicture(const ExportChoice& choice)
{
    QProgressDialog progress(QStringLiteral("地図タイルを取得しています…"),
                             QStringLiteral("キャンセル"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("画像保存"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    // The screen must not ask for its own tiles while the picture waits for its.
    mapControl->setUpdatesEnabled(false);
    const maprender::Rendered rendered =
        maprender::renderWaiting(*mapControl, choice.size, choice.scale, std::chrono::seconds(60),
                                 [&progress](int done, int total) {
                                     progress.setMaximum(total);
                                     progress.setValue(done);
                                     return !progress.wasCanceled();
                                 });
    mapControl->setUpdatesEnabled(true);
    mapControl->requestRedraw();
    progress.reset();
    if (rendered.cancelled)
        return QImage();
    QImage image = rendered.image;
    if (choice.legend) {
        const QVector<int> classes = maprender::classesInView(
            *mapControl, {placeLayers.begin(), placeLayers.end()}, choice.size, [this](int record) {
                return record >= 0 && std::size_t(record) < places.size()
                           ? toIntOrZero(places[std::size_t(record)]->color)
                           : 0;
            });
        maprender::drawLegend(image, choice.scale, maprender::legendEntries(classes));
    }
    if (rendered.missingTiles > 0)
        statusBar()->showMessage(
            QStringLiteral("地図タイル %1 枚を取得できなかったため、その部分は空白です")
                .arg(rendered.missingTiles));
    return image;
}
