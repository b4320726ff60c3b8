#include "records/edithistory.h"

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
    AppendCommand(EditHistory* owner, std::unique_ptr<PlaceRecord> record, const QString& text,
                  const Effect& effect)
        : QUndoCommand(text), owner(owner), effect(effect)
    {
        held.emplace_back(int(owner->places->size()), std::move(record));
        pointer = held.front().second.get();
    }
    void redo() override
    {
        editing::restoreRecords(*owner->places, held);
        owner->apply(effect);
    }
    void undo() override
    {
        held = editing::takeRecords(*owner->places, {pointer});
        owner->apply(effect);
    }

private:
    EditHistory* owner;
    std::vector<editing::TakenRecord> held;
    PlaceRecord* pointer = nullptr;
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
    if (record)
        undoStack->push(new AppendCommand(this, std::move(record), text, effect));
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
