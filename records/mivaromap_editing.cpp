// The editing commands of the main window: right clicks on data-table cells,
// the marker click, a new place from the map, delete, bulk replace, and the
// undo history behind all of them.
#include "app/mivaromap.h"

#include "dialogs/datadialog.h"
#include "prompts/prompts.h"
#include "records/editing.h"
#include "records/tablemodel.h"
#include "records/tableview.h"
#include "ui_mainwindow.h"
#include "widgets/mivaromaputil.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>

std::vector<int> MivaroMap::shownRows(const TableModel* model)
{
    std::vector<int> rows;
    rows.reserve(size_t(model->rowCount()));
    for (int row = 0; row < model->rowCount(); ++row)
        rows.push_back(model->listIndexAt(row));
    return rows;
}

void MivaroMap::listReplaced()
{
    if (history)
        history->clear();
}

void MivaroMap::applyEdit(const EditHistory::Effect& effect)
{
    using Refresh = EditHistory::Refresh;
    // Rows may have gone: no table may paint an old index while a save error is shown.
    if (effect.refresh == Refresh::All)
        clearModels(1 | 2);
    modified = true;
    fileStateChanged();
    if (effect.save != EditHistory::Save::None)
        autosave(effect.save == EditHistory::Save::AutosaveWithBackup);
    switch (effect.refresh) {
    case Refresh::Markers:
        drawPlaces();
        ui->tableView->viewport()->update();
        ui->tableView_2->viewport()->update();
        break;
    case Refresh::All:
        rebuildBulkTable();
        ui->tableView_2->viewport()->update();
        refreshPlaces();
        break;
    case Refresh::Places:
        refreshPlaces();
        break;
    }
}

void MivaroMap::onTableViewClicked(const QModelIndex& index, bool rightButton)
{
    if (!index.isValid())
        return;
    searchCursor = index.row();
    if (!rightButton)
        return;
    const int listIndex = dataModel->listIndexAt(index.row());
    if (listIndex < 0 || listIndex >= int(places.size()))
        return;
    editCell(places[listIndex].get(), index.column());
}

void MivaroMap::editCell(PlaceRecord* record, int column)
{
    if (column == 1 || column == 2) {
        pasteCoordinates(record);
        return;
    }
    QString value;
    if (column == 3) {
        const QRect frame = frameGeometry();
        const int chosen =
            util->pickColorClass(frame.left(), frame.top(), frame.right(), frame.bottom());
        if (chosen >= 0)
            value = QString::number(chosen);
    } else if (column == 4) {
        const int chosen = util->pickLayer();
        if (chosen != -1)
            value = QString::number(chosen);
    } else if (column == 5) {
        value = util->pickShape();
    } else if (column == 7) {
        QMenu menu;
        for (int level = 9; level <= 17; ++level) {
            QAction* action = menu.addAction(QStringLiteral("%1").arg(level));
            action->setToolTip(QStringLiteral("%1").arg(level));
        }
        if (QAction* chosen = Prompts::instance().execMenu(&menu, QCursor::pos()))
            value = chosen->toolTip();
    }
    if (value.isEmpty())
        return;
    std::vector<QString> fields = editing::fieldsOf(*record);
    fields[size_t(column)] = value;
    // The rows stay: the markers follow the change, the tables just repaint.
    history->changeFields({{record, fields}}, QStringLiteral("セル編集"),
                          {EditHistory::Save::Autosave, EditHistory::Refresh::Markers});
}

void MivaroMap::pasteCoordinates(PlaceRecord* record)
{
    if (Prompts::instance().question(this, QStringLiteral("座標ペースト"),
                                     QStringLiteral("クリップボードから座標XYをペーストしますか？"),
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::NoButton) != QMessageBox::Yes)
        return;
    const auto pair = editing::parseCoordinatePair(QApplication::clipboard()->text());
    if (!pair)
        return;
    std::vector<QString> fields = editing::fieldsOf(*record);
    fields[1] = pair->x;
    fields[2] = pair->y;
    history->changeFields({{record, fields}}, QStringLiteral("座標ペースト"),
                          {EditHistory::Save::Autosave, EditHistory::Refresh::Places});
}

void MivaroMap::geometryClicked(const Geometry* geometry)
{
    if (!geometry || geometry->geometryType() != Geometry::GeometryType::GeometryPoint)
        return;
    const QVariant name = geometry->metadata(QStringLiteral("name"));
    if (name.type() != QVariant::String || name.toString().isEmpty())
        return;
    const QVariant drawnFrom = geometry->metadata(QStringLiteral("record"));
    const int index = drawnFrom.isValid() ? drawnFrom.toInt() : -1;
    if (index < 0 || index >= int(places.size()) || places[index]->name != name.toString())
        return;
    // The data table shows the whole list in list order, so the index is the row.
    searchCursor = -1;
    rebuildDataTable(false);
    PlaceRecord* record = places[index].get();
    record->marked = true;
    ui->tableView->selectRow(dataModel->index(index, 0));
    searchCursor = index;
    ui->tableView->viewport()->update();

    const QRect frame = frameGeometry();
    const int chosen =
        util->pickColorClass(frame.left(), frame.top(), frame.right(), frame.bottom());
    // The palette runs its own loop: the list may have changed meanwhile.
    if (chosen < 0 || index >= int(places.size()) || places[index].get() != record)
        return;
    std::vector<QString> fields = editing::fieldsOf(*record);
    fields[3] = QString::number(chosen);
    history->changeFields({{record, fields}}, QStringLiteral("色変更"),
                          {EditHistory::Save::Autosave, EditHistory::Refresh::Places});
}

void MivaroMap::createPlaceAt(const PointWorldCoord& point, const QString& startName)
{
    QString name = startName.isEmpty() ? lastMissedName : startName;
    QString x = QString::number(point.longitude(), 'f', 14);
    QString y = QString::number(point.latitude(), 'f', 14);
    QString color = QStringLiteral("0"), layer = QStringLiteral("1");
    QString shape = QStringLiteral("Image"), font = QStringLiteral("11");
    QString level = QStringLiteral("10");
    if (!editPlaceInDialog(name, x, y, color, layer, shape, font, level, this, placeSearch()))
        return;
    auto record = std::make_unique<PlaceRecord>();
    editing::setFields(*record, {name, x, y, color, layer, shape, font, level});
    history->appendRecord(std::move(record), QStringLiteral("新規作成"),
                          {EditHistory::Save::Autosave, EditHistory::Refresh::All});
}

void MivaroMap::on_btnDelete_clicked()
{
    if (Prompts::instance().question(
            nullptr, QStringLiteral("データ削除"),
            QStringLiteral("本当に選択した行（レコード）の削除を行いますか？\n"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton) != QMessageBox::Yes)
        return;
    // Only what the data table shows: marked records hidden by the name filter stay.
    const std::vector<PlaceRecord*> doomed = editing::markedRecords(places, shownRows(dataModel));
    if (!doomed.empty()) {
        history->removeRecords(doomed, QStringLiteral("削除"),
                               {EditHistory::Save::AutosaveWithBackup, EditHistory::Refresh::All});
        return;
    }
    if (modified)
        autosave(true);
    rebuildBulkTable();
    ui->tableView_2->viewport()->update();
    refreshPlaces();
}

void MivaroMap::on_btnRefresh3_clicked()
{
    const std::vector<PlaceRecord*> marked = editing::markedRecords(places, shownRows(bulkModel));
    if (marked.empty()) {
        Prompts::instance().beep();
        Prompts::instance().information(
            this, tr("一括置換"), QStringLiteral("選択された行が見つかりません"), QMessageBox::Ok);
        return;
    }
    editing::Replacement replacement;
    replacement.color = ui->le_color_2->text();
    replacement.layer = ui->le_layer_2->text();
    replacement.shape = ui->cmb_shape_2->currentText().trimmed();
    replacement.font = ui->le_font_2->text();
    replacement.level = ui->le_level_2->text();
    if (replacement.isEmpty()) {
        // Nothing to change, and nothing to take back; the tables are redrawn all the same.
        rebuildBulkTable();
        ui->tableView_2->viewport()->update();
        refreshPlaces();
        return;
    }
    std::vector<EditHistory::FieldChange> changes;
    changes.reserve(marked.size());
    for (PlaceRecord* record : marked) {
        PlaceRecord changed = *record;
        replacement.applyTo(changed);
        changes.push_back({record, editing::fieldsOf(changed)});
    }
    // The bulk replace writes no file: the next save or autosave takes it.
    history->changeFields(std::move(changes), QStringLiteral("一括置換"),
                          {EditHistory::Save::None, EditHistory::Refresh::All});
}
