#pragma once

#include "records/editing.h"
#include "records/placerecord.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QUndoStack;

// The undo history of the place edits. Every edit goes in here: pushing it
// makes the change, and undo and redo make it again the other way. The
// window answers each of them the same way (modified, autosave, redraw)
// through the effect the edit was pushed with.
//
// Edits point at the records themselves, not at their indexes, so sorting
// between them does no harm; a record taken out stays alive in its edit.
// Replacing the whole list (loading another one) must clear the history.
class EditHistory : public QObject
{
    Q_OBJECT
public:
    enum class Save
    {
        None,
        Autosave,
        AutosaveWithBackup
    };
    enum class Refresh
    {
        Markers, // the tables keep their rows: repaint them and redraw the markers
        Places,  // refreshPlaces
        All      // the bulk-edit table refiltered, then refreshPlaces
    };
    struct Effect
    {
        Save save = Save::Autosave;
        Refresh refresh = Refresh::Places;
    };
    // Called after every change the history makes (push, undo, redo).
    using Apply = std::function<void(const Effect&)>;

    struct FieldChange
    {
        PlaceRecord* record = nullptr;
        std::vector<QString> after; // the eight fields in column order
    };

    EditHistory(PlaceList* places, Apply apply, QObject* parent = nullptr);
    ~EditHistory() override;

    // Sets fields of records (their former values are kept for undo).
    void changeFields(std::vector<FieldChange> changes, const QString& text, const Effect& effect);
    // Appends a record to the list.
    void appendRecord(std::unique_ptr<PlaceRecord> record, const QString& text,
                      const Effect& effect);
    // Appends many records as one step (an import).
    void appendRecords(PlaceList records, const QString& text, const Effect& effect);
    // Puts another list in place of the whole one, as one step that undo takes back.
    void replaceList(PlaceList list, const QString& text, const Effect& effect);
    // Takes records out of the list.
    void removeRecords(const std::vector<PlaceRecord*>& records, const QString& text,
                       const Effect& effect);

    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;
    int count() const;
    void clear();
    QUndoStack* stack() const { return undoStack; }

private:
    class FieldsCommand;
    class AppendCommand;
    class RemoveCommand;
    class ReplaceCommand;

    PlaceList* places;
    Apply apply;
    QUndoStack* undoStack;
};

// Ctrl+Z and Ctrl+Y reach the window's undo and redo even from a text field,
// as long as the field has nothing of its own to take back: a line edit would
// otherwise claim the keys and the list edits could not be undone while the
// search field has the focus (which it has from the start).
class UndoKeysPassThrough : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
