#include "records/edithistory.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QUndoCommand>
#include <QUndoStack>

#include <algorithm>

class EditHistory::FieldsCommand : public QUndoCommand
{
public:
    FieldsCommand(EditHistory* owner, std::vector<FieldChange> changes, const QString& text,
                  const Effect& effect)
        : QUndoCommand(text), owner(owner), after(std::move(changes)), effect(effect)
    {
        before.reserve(after.size());
        for (const FieldChange& c : after)
            before.push_back(editing::fieldsOf(*c.record));
    }
    void redo() override
    {
        for (const FieldChange& c : after)
            editing::setFields(*c.record, c.after);
        owner->apply(effect);
    }
    void undo() override
    {
        for (size_t i = 0; i < after.size(); ++i)
            editing::setFields(*after[i].record, before[i]);
        owner->apply(effect);
    }

private:
    EditHistory* owner;
    std::vector<FieldChange> after;
    std::vector<std::vector<QString>> before;
    Effect effect;
};

class EditHistory::AppendCommand : public QUndoCommand
{
public:
    AppendCommand(EditHistory* owner, PlaceList records, const QString& text, const Effect& effect)
        : QUndoCommand(text), owner(owner), effect(effect)
    {
        int index = int(owner->places->size());
        for (auto& record : records) {
            pointers.push_back(record.get());
            held.emplace_back(index++, std::move(record));
        }
    }
    void redo() override
    {
        editing::restoreRecords(*owner->places, held);
        owner->apply(effect);
    }
    void undo() override
    {
        held = editing::takeRecords(*owner->places, pointers);
        owner->apply(effect);
    }

private:
    EditHistory* owner;
    std::vector<editing::TakenRecord> held;
    std::vector<PlaceRecord*> pointers;
    Effect effect;
};

// The other list is held here while it is not the shown one.
class EditHistory::ReplaceCommand : public QUndoCommand
{
public:
    ReplaceCommand(EditHistory* owner, PlaceList list, const QString& text, const Effect& effect)
        : QUndoCommand(text), owner(owner), other(std::move(list)), effect(effect)
    {
    }
    void redo() override { swapLists(); }
    void undo() override { swapLists(); }

private:
    void swapLists()
    {
        owner->places->swap(other);
        owner->apply(effect);
    }
    EditHistory* owner;
    PlaceList other;
    Effect effect;
};

class EditHistory::RemoveCommand : public QUndoCommand
{
public:
    RemoveCommand(EditHistory* owner, std::vector<PlaceRecord*> records, const QString& text,
                  const Effect& effect)
        : QUndoCommand(text), owner(owner), records(std::move(records)), effect(effect)
    {
    }
    void redo() override
    {
        held = editing::takeRecords(*owner->places, records);
        owner->apply(effect);
    }
    void undo() override
    {
        editing::restoreRecords(*owner->places, held);
        owner->apply(effect);
    }

private:
    EditHistory* owner;
    std::vector<PlaceRecord*> records;
    std::vector<editing::TakenRecord> held;
    Effect effect;
};

EditHistory::EditHistory(PlaceList* places, Apply apply, QObject* parent)
    : QObject(parent), places(places), apply(std::move(apply)), undoStack(new QUndoStack(this))
{
}

EditHistory::~EditHistory() = default;

void EditHistory::changeFields(std::vector<FieldChange> changes, const QString& text,
                               const Effect& effect)
{
    changes.erase(std::remove_if(changes.begin(), changes.end(),
                                 [](const FieldChange& c) { return !c.record; }),
                  changes.end());
    if (changes.empty())
        return;
    undoStack->push(new FieldsCommand(this, std::move(changes), text, effect));
}

void EditHistory::appendRecord(std::unique_ptr<PlaceRecord> record, const QString& text,
                               const Effect& effect)
{
    if (!record)
        return;
    PlaceList one;
    one.push_back(std::move(record));
    undoStack->push(new AppendCommand(this, std::move(one), text, effect));
}

void EditHistory::appendRecords(PlaceList records, const QString& text, const Effect& effect)
{
    if (!records.empty())
        undoStack->push(new AppendCommand(this, std::move(records), text, effect));
}

void EditHistory::replaceList(PlaceList list, const QString& text, const Effect& effect)
{
    undoStack->push(new ReplaceCommand(this, std::move(list), text, effect));
}

void EditHistory::removeRecords(const std::vector<PlaceRecord*>& records, const QString& text,
                                const Effect& effect)
{
    if (!records.empty())
        undoStack->push(new RemoveCommand(this, records, text, effect));
}

void EditHistory::undo()
{
    undoStack->undo();
}

void EditHistory::redo()
{
    undoStack->redo();
}

bool EditHistory::canUndo() const
{
    return undoStack->canUndo();
}

bool EditHistory::canRedo() const
{
    return undoStack->canRedo();
}

int EditHistory::count() const
{
    return undoStack->count();
}

void EditHistory::clear()
{
    undoStack->clear();
}

bool UndoKeysPassThrough::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool undo = key->matches(QKeySequence::Undo);
    const bool redo = key->matches(QKeySequence::Redo) ||
                      (key->key() == Qt::Key_Y && key->modifiers() == Qt::ControlModifier);
    // Left unaccepted, the key goes on to the window's shortcut.
    return (undo && !edit->isUndoAvailable()) || (redo && !edit->isRedoAvailable());
}
