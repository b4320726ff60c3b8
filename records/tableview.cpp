#include "records/tableview.h"

#include "records/tablemodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace {

// The longest gap between the presses of a double click, in milliseconds.
constexpr qint64 DoubleClickMs = 800;

qint64 systemMs()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

} // namespace

TableView::TableView(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::MultiSelection);
    resetClickState();
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TableView::slotHeaderClicked);
}

TableView::~TableView() = default;

void TableView::setList(PlaceList* places)
{
    list = places;
}

void TableView::setClock(Clock newClock)
{
    clock = std::move(newClock);
    resetClickState();
}

qint64 TableView::now() const
{
    return clock ? clock() : systemMs();
}

void TableView::resetClickState()
{
    dragging = false;
    doubleArmed = false;
    lastPress = now();
}

TableModel* TableView::tableModel() const
{
    return qobject_cast<TableModel*>(model());
}

PlaceRecord* TableView::recordAt(int row) const
{
    TableModel* m = tableModel();
    if (!m || row < 0 || row >= m->rowCount())
        return nullptr;
    PlaceList* places = list ? list : m->getList();
    if (!places)
        return nullptr;
    const int listIndex = m->listIndexAt(row);
    if (listIndex < 0 || listIndex >= static_cast<int>(places->size()))
        return nullptr;
    return (*places)[listIndex].get();
}

bool TableView::isMarked(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != model())
        return false;
    const PlaceRecord* record = recordAt(index.row());
    return record && record->marked;
}

int TableView::markedCount() const
{
    if (!list)
        return 0;
    return static_cast<int>(std::count_if(list->begin(), list->end(),
                                          [](const auto& record) { return record->marked; }));
}

void TableView::setMarks(bool value, bool toggle)
{
    const int rows = model() ? model()->rowCount() : 0;
    for (int row = 0; row < rows; ++row) {
        PlaceRecord* record = recordAt(row);
        if (!record)
            continue;
        if (!toggle)
            record->marked = value;
        else
            record->marked = record->marked == value ? !value : value;
    }
    emitSelectionCleared();
}

void TableView::makeCurrent(const QModelIndex& index)
{
    setSelectionMode(QAbstractItemView::NoSelection);
    setCurrentIndex(index);
    setSelectionMode(QAbstractItemView::MultiSelection);
    currentRow = index.row();
}

void TableView::selectRow(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    makeCurrent(index);
    scrollTo(index);
}

void TableView::slotHeaderClicked(int column)
{
    emit HeaderClicked(column);
}

void TableView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (current.isValid()) {
        keptRow = current.row();
        keptColumn = current.column();
    }
    viewport()->update();
    emit CurrentChanged(current, previous);
}

void TableView::emitSelectChanged()
{
    emit selectChanged();
    restoreCurrent();
}

void TableView::emitSelectionCleared()
{
    emit selectionCleared();
    restoreCurrent();
}

// The answer to a mark change is a rebuild of the model, a reset that drops
// the current cell; the same rows come back, so the current cell does too.
void TableView::restoreCurrent()
{
    QAbstractItemModel* m = model();
    if (!m || !selectionModel() || currentIndex().isValid())
        return;
    if (keptRow < 0 || keptRow >= m->rowCount() || m->columnCount() < 1)
        return;
    const QModelIndex index = m->index(keptRow, std::min(keptColumn, m->columnCount() - 1));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void TableView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->pos());
    PlaceRecord* record = index.isValid() ? recordAt(index.row()) : nullptr;
    if (!record)
        return;
    const int row = index.row();
    const int column = index.column();

    const qint64 elapsed = now() - lastPress;
    if (doubleArmed && elapsed < DoubleClickMs)
        return;
    doubleArmed = false;
    if (elapsed <= DoubleClickMs && row == currentRow) {
        doubleArmed = true;
        return;
    }

    if (event->modifiers() & Qt::ControlModifier) {
        record->marked = !record->marked;
        emitSelectChanged();
    } else if (event->modifiers() & Qt::ShiftModifier) {
        const QModelIndex current = currentIndex();
        if (current.isValid()) {
            // Collected first: every emitted change rebuilds the model.
            std::vector<PlaceRecord*> range;
            const int step = row >= current.row() ? 1 : -1;
            for (int r = current.row();; r += step) {
                if (PlaceRecord* each = recordAt(r))
                    range.push_back(each);
                if (r == row)
                    break;
            }
            for (PlaceRecord* each : range) {
                if (each->marked)
                    continue;
                each->marked = true;
                emitSelectChanged();
            }
        }
    } else {
        const bool wasMarked = record->marked;
        if (!wasMarked)
            setMarks(false, false);
        record->marked = !wasMarked;
        emitSelectChanged();
        if (model() && row < model()->rowCount())
            makeCurrent(model()->index(row, column));
        dragging = true;
    }
    lastPress = now();
}

void TableView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging)
        return;
    const QModelIndex index = indexAt(event->pos());
    PlaceRecord* record = index.isValid() ? recordAt(index.row()) : nullptr;
    if (!record || record->marked)
        return;
    record->marked = true;
    emitSelectChanged();
}

void TableView::mouseReleaseEvent(QMouseEvent* event)
{
    dragging = false;
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    if (event->button() == Qt::RightButton) {
        emit clicked(index, true);
    } else if (event->button() == Qt::LeftButton) {
        if (doubleArmed) {
            resetClickState();
            emit DoubleClicked(index, 0);
        } else {
            emit clicked(index, false);
        }
    }
}

// Inside the system's own double-click interval the second press arrives as
// a double-click event instead of a press: it is that press for our own rules
// (marking, the 800 ms double click on the current row).
void TableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
    event->accept();
}

void TableView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        if (event->modifiers() & Qt::ShiftModifier) {
            if (PlaceRecord* record =
                    currentIndex().isValid() ? recordAt(currentIndex().row()) : nullptr) {
                record->marked = true;
                emitSelectChanged();
            }
            setSelectionMode(QAbstractItemView::ExtendedSelection);
        } else {
            setSelectionMode(QAbstractItemView::NoSelection);
        }
        QTableView::keyPressEvent(event);
        setSelectionMode(QAbstractItemView::MultiSelection);
    } else if (key == Qt::Key_Space) {
        if (PlaceRecord* record =
                currentIndex().isValid() ? recordAt(currentIndex().row()) : nullptr) {
            record->marked = !record->marked;
            emitSelectChanged();
            QApplication::postEvent(this,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        }
        event->accept();
    } else {
        QTableView::keyPressEvent(event);
    }
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}
