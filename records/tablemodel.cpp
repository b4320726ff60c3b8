#include "records/tablemodel.h"

#include "settings/appsettings.h"

#include <QColor>

TableModel::TableModel(QObject* parent)
    : QAbstractTableModel(parent), rowIndex(std::make_unique<std::vector<int>>())
{
}

TableModel::~TableModel() = default;

void TableModel::setList(PlaceList* placeList)
{
    list = placeList;
}

int TableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count;
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 8;
}

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.model() != this || index.column() >= 8)
        return QVariant();
    const int listIndex = listIndexAt(index.row());
    if (!list || listIndex < 0 || listIndex >= static_cast<int>(list->size()))
        return QVariant();
    const PlaceRecord* record = (*list)[static_cast<size_t>(listIndex)].get();
    if (!record)
        return QVariant();

    const int column = index.column();
    if (role == Qt::DisplayRole)
        return record->field(column);
    if (role != Qt::BackgroundRole && role != Qt::ForegroundRole)
        return QVariant();

    const AppSettings& settings = AppSettings::instance();
    const bool background = role == Qt::BackgroundRole;
    if (column == 3) {
        // The colour column shows the record's own class; a number outside the table
        // keeps the view's default colours.
        const int cls = toIntOrZero(record->color);
        const QVector<QColor>& colors = background ? settings.classBack : settings.classFore;
        if (!AppSettings::isClassIndex(cls) || cls >= colors.size())
            return QVariant();
        return colors[cls];
    }
    if (record->marked)
        return background ? settings.hlbackcolor : settings.hlforecolor;
    return background ? settings.backcolor : settings.forecolor;
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= headers().size())
        return QVariant();
    return headers().at(section);
}

bool TableModel::removeRows(int row, int n, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || n <= 0 || row + n > count)
        return false;
    beginRemoveRows(QModelIndex(), row, row + n - 1);
    count -= n;
    // Keep the rows below the removed ones pointing at their own records.
    if (row < static_cast<int>(rowIndex->size())) {
        const auto first = rowIndex->begin() + row;
        const auto last = rowIndex->begin() + std::min<size_t>(rowIndex->size(), row + n);
        rowIndex->erase(first, last);
    }
    endRemoveRows();
    return true;
}

bool TableModel::clear()
{
    beginResetModel();
    rowIndex->clear();
    count = 0;
    endResetModel();
    return true;
}

void TableModel::setRowCount(int n)
{
    if (n <= 0) {
        if (count > 0) {
            clear();
            return;
        }
        rowIndex->clear();
        return;
    }
    if (count > 0) {
        // Rows are already announced: a reset is the only honest notification.
        beginResetModel();
        count = n;
        endResetModel();
        return;
    }
    beginInsertRows(QModelIndex(), 0, n - 1);
    count = n;
    endInsertRows();
}

void TableModel::appendRow(int listIndex)
{
    rowIndex->push_back(listIndex);
}

int TableModel::listIndexAt(int row) const
{
    if (row < 0 || row >= count || row >= static_cast<int>(rowIndex->size()))
        return -1;
    return (*rowIndex)[static_cast<size_t>(row)];
}

void TableModel::clearRowIndex()
{
    rowIndex->clear();
}

const QStringList& TableModel::headers()
{
    static const QStringList texts{QStringLiteral("テキスト"), QStringLiteral("経度(X)"),
                                   QStringLiteral("緯度(Y)"),  QStringLiteral("色"),
                                   QStringLiteral("ﾚｲﾔ"),      QStringLiteral("部品型"),
                                   QStringLiteral("文字"),     QStringLiteral("ﾚﾍﾞﾙ")};
    return texts;
}
