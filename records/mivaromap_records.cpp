// The list side of the main window: the file buttons, the two record tables,
// the name search and the bulk-edit page.
#include "app/mivaromap.h"

#include "prompts/prompts.h"
#include "records/bulkfilter.h"
#include "records/search.h"
#include "records/sorting.h"
#include "records/tablemodel.h"
#include "records/tableview.h"
#include "ui_mainwindow.h"
#include "widgets/mivaromaputil.h"

#include <QHeaderView>
#include <QStatusBar>

namespace {

// Fills a model with list indexes, in the one order every rebuild follows.
void fillModel(TableModel* model, const std::vector<int>& rows)
{
    for (int i : rows)
        model->appendRow(i);
    model->setRowCount(int(rows.size()));
}

} // namespace

void MivaroMap::clearModels(int which)
{
    const std::pair<TableModel*, TableView*> pairs[] = {{dataModel, ui->tableView},
                                                        {bulkModel, ui->tableView_2}};
    for (int bit = 0; bit < 2; ++bit) {
        const auto& [model, view] = pairs[bit];
        if (!(which & (1 << bit)) || !model)
            continue;
        model->clearRowIndex();
        const bool was = view->blockSignals(true);
        model->clear();
        view->blockSignals(was);
        model->setRowCount(0);
    }
}

void MivaroMap::rebuildDataTable(bool byName)
{
    clearModels(1);
    const search::TableFill fill = search::dataTableRows(places, ui->lineEdit->text(), byName);
    if (fill.beep)
        Prompts::instance().beep();
    statusBar()->showMessage(fill.status);
    fillModel(dataModel, fill.rows);
}

void MivaroMap::rebuildBulkTable()
{
    clearModels(2);
    BulkFilter filter;
    filter.startX = ui->le_startX->text();
    filter.startY = ui->le_startY->text();
    filter.endX = ui->le_endX->text();
    filter.endY = ui->le_endY->text();
    filter.color = ui->le_color->text();
    filter.layer = ui->le_layer->text();
    filter.shape = ui->cmb_shape->currentText().trimmed();
    filter.font = ui->le_font->text();
    filter.level = ui->le_level->text();
    const std::vector<int> rows = bulkRows(places, filter);
    if (rows.empty())
        Prompts::instance().beep();
    statusBar()->showMessage(search::countStatus(int(rows.size()), int(places.size())));
    fillModel(bulkModel, rows);
}

void MivaroMap::placesChanged()
{
    rebuildBulkTable();
    ui->tableView_2->viewport()->update();
    refreshPlaces();
}

void MivaroMap::on_btnLoad_clicked()
{
    loadCommand();
    fitColumnsToContents();
}

void MivaroMap::on_btnCSVAdd_clicked()
{
    addCommand();
}

void MivaroMap::on_btnCsvSave_clicked()
{
    saveAsCommand();
}

void MivaroMap::slotSelectChanged()
{
    rebuildDataTable(!ui->lineEdit->text().isEmpty());
    ui->tableView->viewport()->update();
}

void MivaroMap::slotSelectChanged2()
{
    rebuildBulkTable();
    ui->tableView_2->viewport()->update();
}

void MivaroMap::slotDoubleClicked(const QModelIndex& index, int)
{
    flyToRow(dataModel, index);
}

void MivaroMap::slotDoubleClicked2(const QModelIndex& index, int)
{
    flyToRow(bulkModel, index);
}

void MivaroMap::flyToRow(TableModel* model, const QModelIndex& index)
{
    if (!index.isValid())
        return;
    searchCursor = index.row();
    const int listIndex = model->listIndexAt(index.row());
    if (listIndex < 0)
        return;
    const PlaceRecord& r = *places[listIndex];
    mapControl->setMapFocusPointAnimated(PointWorldCoord(toDoubleOrZero(r.x), toDoubleOrZero(r.y)),
                                         25, glideStepInterval);
}

void MivaroMap::slotHeaderClicked(int column)
{
    sortMode = sorting::nextSortMode(sortMode, column);
    ui->tableView->horizontalHeader()->setSortIndicator(column, sorting::sortOrder(sortMode));
    sorting::sortPlaces(places, sortMode);
    refreshPlaces();
}

void MivaroMap::on_btnSearch_clicked()
{
    rebuildDataTable(true);
    if (dataModel->rowCount() > 0) {
        ui->tableView->selectRow(dataModel->index(0, 0));
        searchCursor = 0;
    } else {
        searchCursor = -1;
    }
    ui->tableView->viewport()->update();
}

void MivaroMap::applyStep(const search::Step& step)
{
    if (!step.acted)
        return;
    searchCursor = step.cursor;
    if (step.hit >= 0)
        ui->tableView->selectRow(dataModel->index(step.hit, 0));
    if (!step.status.isEmpty())
        statusBar()->showMessage(step.status);
    search::promptStep(step);
    ui->tableView->viewport()->update();
}

void MivaroMap::on_lineEdit_returnPressed()
{
    on_btnNext_clicked();
}

void MivaroMap::on_btnNext_clicked()
{
    const QString text = ui->lineEdit->text();
    if (text.isEmpty())
        return;
    rebuildDataTable(false);
    ui->tableView->viewport()->update();
    const search::Step step = search::stepForward(places, searchCursor, text);
    lastMissedName = step.lastMissedName;
    applyStep(step);
}

void MivaroMap::on_btnPrev_clicked()
{
    const QString text = ui->lineEdit->text();
    if (text.isEmpty())
        return;
    rebuildDataTable(false);
    ui->tableView->viewport()->update();
    applyStep(search::stepBackward(places, searchCursor, text));
}

void MivaroMap::on_btnNameClear_clicked()
{
    ui->lineEdit->clear();
    rebuildDataTable(false);
}

void MivaroMap::on_btnRefresh2_clicked()
{
    rebuildDataTable(false);
}

void MivaroMap::on_le_color_textChanged(QString)
{
    rebuildBulkTable();
}

void MivaroMap::on_le_layer_textChanged(QString)
{
    rebuildBulkTable();
}

void MivaroMap::on_cmb_shape_currentIndexChanged(QString)
{
    rebuildBulkTable();
}

void MivaroMap::on_le_font_textChanged(QString)
{
    rebuildBulkTable();
}

void MivaroMap::on_le_level_textChanged(QString)
{
    rebuildBulkTable();
}

void MivaroMap::on_btnMaskClear_clicked()
{
    for (QLineEdit* edit :
         {ui->le_startX, ui->le_startY, ui->le_endX, ui->le_endY, ui->le_color, ui->le_layer})
        edit->clear();
    ui->cmb_shape->setCurrentIndex(0);
    ui->le_font->clear();
    ui->le_level->clear();
    rebuildBulkTable();
    ui->tableView_2->viewport()->update();
}

void MivaroMap::on_btnMarkClear_clicked()
{
    ui->tableView->setMarks(false, false);
}

void MivaroMap::on_btnMarkToggle_clicked()
{
    ui->tableView->setMarks(ui->tableView->markedCount() < 1, true);
}

void MivaroMap::on_btnMarkClear_2_clicked()
{
    ui->tableView_2->setMarks(false, false);
}

void MivaroMap::on_btnMarkToggle_2_clicked()
{
    ui->tableView_2->setMarks(ui->tableView_2->markedCount() < 1, true);
}

namespace {

// A right click on a class or layer field of the bulk-edit page: the palette
// (kept above the window's bottom edge) or the layer menu; a choice goes into
// the field, which runs its filter where it has one.
void pickInto(MivaroMapUtil* util, const QRect& frame, QLineEdit* field, bool colour)
{
    if (colour) {
        const int c =
            util->pickColorClass(frame.left(), frame.top(), frame.right(), frame.bottom());
        if (c >= 0)
            field->setText(QStringLiteral("%1").arg(c));
        return;
    }
    const int layer = util->pickLayer();
    if (layer != -1)
        field->setText(QStringLiteral("%1").arg(layer));
}

} // namespace

void MivaroMap::onMouseRightClick(const QPoint&)
{
    if (sender() == ui->le_color || sender() == ui->le_layer)
        pickInto(util, frameGeometry(), static_cast<QLineEdit*>(sender()),
                 sender() == ui->le_color);
}

void MivaroMap::onMouseRightClick2(const QPoint&)
{
    if (sender() == ui->le_color_2 || sender() == ui->le_layer_2)
        pickInto(util, frameGeometry(), static_cast<QLineEdit*>(sender()),
                 sender() == ui->le_color_2);
}
