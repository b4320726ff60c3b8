#pragma once

#include "records/placerecord.h"

#include <QAbstractTableModel>

#include <memory>
#include <vector>

// A table over a chosen subset of the place list: it holds the list indexes of
// its visible rows and never copies records.
//
// Rebuild protocol: clear (or empty rowIndex), appendRow for each shown list
// index in ascending order, then setRowCount with the number appended.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TableModel(QObject* parent = nullptr);
    ~TableModel() override;

    void setList(PlaceList* list);
    PlaceList* getList() const { return list; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Also drops the rows' list indexes, so the rows below keep showing their own records.
    bool removeRows(int row, int n, const QModelIndex& parent = QModelIndex()) override;

    bool clear();
    void setRowCount(int n);
    void appendRow(int listIndex);
    // The list index shown in a row, or -1.
    int listIndexAt(int row) const;
    // Empties rowIndex without notifications (the first step of a rebuild).
    void clearRowIndex();

    static const QStringList& headers();

private:
    std::unique_ptr<std::vector<int>> rowIndex;
    PlaceList* list = nullptr;
    int count = 0;
};
