#pragma once

#include "records/placerecord.h"

#include <QTableView>

#include <functional>

class TableModel;

// A record table that marks records (their `marked` flags) instead of using
// the view's own selection. Presses, drags and keys change marks and say so
// by selectChanged / selectionCleared; the main window answers by rebuilding
// the model. It also detects its own double click (two presses on the same
// row within 800 ms) and reports clicks with the button.
class TableView : public QTableView
{
    Q_OBJECT
public:
    // Milliseconds on some monotonic scale; replaceable so tests control time.
    using Clock = std::function<qint64()>;

    explicit TableView(QWidget* parent = nullptr);
    ~TableView() override;

    void setList(PlaceList* list);
    PlaceList* getList() const { return list; }

    bool isMarked(const QModelIndex& index) const;
    // Marked records in the whole list, shown or not.
    int markedCount() const;
    // Every shown record: toggle false sets its mark to value; toggle true
    // inverts a mark equal to value and sets the others to value. Then
    // selectionCleared.
    void setMarks(bool value, bool toggle);
    // Makes the index current without touching the view's own selection.
    void makeCurrent(const QModelIndex& index);
    // makeCurrent and scroll to it, for a valid index.
    void selectRow(const QModelIndex& index);

    // Null restores the system clock. Restarts the double-click timing.
    void setClock(Clock clock);

signals:
    void clicked(const QModelIndex& current, bool rightButton);
    void selectionCleared();
    void selectChanged();
    void CurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void DoubleClicked(const QModelIndex& index, int);
    void HeaderClicked(int column);

public slots:
    void slotHeaderClicked(int column);

protected slots:
    // Only reports the change; the view's own commands scroll where needed.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    qint64 now() const;
    void resetClickState();
    TableModel* tableModel() const;
    PlaceRecord* recordAt(int row) const;
    void emitSelectChanged();
    void emitSelectionCleared();
    void restoreCurrent();
    void setCurrentQuietly(const QModelIndex& index);

    PlaceList* list = nullptr;
    qint64 lastPress = 0;
    bool dragging = false;
    bool doubleArmed = false;
    int currentRow = -1;

    Clock clock;
    // The last valid current cell: a rebuild of the model after a mark change
    // loses the current cell, and the key commands continue from it.
    int keptRow = -1;
    int keptColumn = 0;
};
