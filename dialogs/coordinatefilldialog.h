#pragma once

#include "records/coordinatefill.h"

#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;

// What a batch of "座標の補完" found: how many names had one clear place, a
// choice for each name with several, and the names nothing was found for.
// Accepting applies the clear places and the choices made.
class CoordinateFillDialog : public QDialog
{
    Q_OBJECT
public:
    CoordinateFillDialog(const CoordinateFill& batch, const QStringList& attributions,
                         QWidget* parent = nullptr);

    // For each name with several places, in order: the chosen index, or none.
    std::vector<std::optional<int>> choices() const;

    QLabel* summaryLabel() const { return summary; }
    QTableWidget* choiceTable() const { return table; }
    QListWidget* notFoundList() const { return missing; }
    QComboBox* choiceBox(int row) const;

private:
    QLabel* summary;
    QTableWidget* table;
    QListWidget* missing;
};
