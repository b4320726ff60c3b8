#pragma once

#include "formats/formats.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

// What a file of another tool will become: the detected format and, for a
// CSV, its encoding, delimiter, heading row and columns (all changeable), the
// first places, the counts and the skipped rows, and the defaults for the
// fields such files do not carry. "読込" replaces the list, "追加" adds to it.
class ImportDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Choice
    {
        None,
        Load,
        Add
    };

    ImportDialog(const QByteArray& bytes, const QString& fileName,
                 const formats::ImportOptions& defaults, QWidget* parent = nullptr);

    // The first read; false when the file cannot be read (error()) or it was cancelled.
    bool readFile();
    const formats::ImportResult& importResult() const { return current; }
    QString error() const { return current.error; }
    Choice choice() const { return chosen; }
    // The places with the defaults as set in the dialog; empties the dialog.
    PlaceList takePlaces();

    // For tests and the look: the widgets.
    QComboBox* encodingBox() const { return encoding; }
    QComboBox* delimiterBox() const { return delimiter; }
    QCheckBox* headerBox() const { return header; }
    QComboBox* columnBox(int field) const { return columns[size_t(field)]; }
    QTableWidget* previewTable() const { return table; }
    QLabel* countsLabel() const { return counts; }
    QPlainTextEdit* skippedText() const { return skippedList; }
    QPushButton* loadButton() const { return loadBtn; }
    QPushButton* addButton() const { return addBtn; }
    QSpinBox* defaultBox(int field) const;

private:
    void build();
    // Reads again with the choices of the dialog.
    void reread();
    void showResult();
    QString fieldValue(int field, const QString& read) const;
    formats::ImportOptions optionsFromDialog() const;

    QByteArray bytes;
    formats::ImportOptions base;
    formats::ImportResult current;
    Choice chosen = Choice::None;
    bool filling = false;

    QLabel* formatLabel = nullptr;
    QComboBox* encoding = nullptr;
    QComboBox* delimiter = nullptr;
    QCheckBox* header = nullptr;
    std::array<QComboBox*, 3> columns{};
    QCheckBox* routes = nullptr;
    QSpinBox* colorBox = nullptr;
    QSpinBox* layerBox = nullptr;
    QComboBox* shapeBox = nullptr;
    QSpinBox* fontBox = nullptr;
    QSpinBox* levelBox = nullptr;
    QTableWidget* table = nullptr;
    QLabel* counts = nullptr;
    QPlainTextEdit* skippedList = nullptr;
    QPushButton* loadBtn = nullptr;
    QPushButton* addBtn = nullptr;
    QWidget* csvBox = nullptr;
};
