// The map tools of the main window: the distance between two presses and
// saving the map as a picture.
#include "app/mivaromap.h"

#include "fileio/atomicfile.h"
#include "map/distance.h"
#include "map/mapexport.h"
#include "prompts/prompts.h"
#include "settings/programdir.h"

#include <QMouseEvent>
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
    // The picture is taken before the file dialog can cover the map.
    mapControl->enableZoomControls(false, false);
    const QImage image = mapControl->grab(QRect(QPoint(0, 0), QSize(-1, -1)))
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    const QString path = Prompts::instance().getSaveFileName(
        this, QStringLiteral("Save as file"), programDir() + QStringLiteral("/mapimage.png"),
        QString());
    if (!path.isEmpty()) {
        QByteArray bytes;
        QString error;
        bool saved = mapexport::encodePng(image, &bytes, &error);
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
                QStringLiteral("%1 に保存できませんでした。\n%2").arg(path, error),
                QMessageBox::Ok);
    }
    mapControl->enableZoomControls(true, false);
}
