#pragma once

#include "records/placerecord.h"

#include <QString>

class QWidget;

// The open place list and the file commands on it (load, add, save as,
// autosave, the save question). The main window inherits it and supplies the
// hooks; tests use it on its own.
class PlaceListDocument
{
public:
    virtual ~PlaceListDocument();

    PlaceList places;
    QString currentFile; // empty: the default file
    bool modified = false;
    QString addReport;
    // The last savePlaceFile failed (askSaveIfModified answers false then too).
    bool saveFailed = false;

    // Replaces places by the records of the file; modified = false.
    void loadPlaceFile(const QString& name);
    // Writes places (backing up first when asked). On failure shows the
    // "保存エラー" warning and returns false.
    bool savePlaceFile(const QString& name, bool makeBackup, bool onceADay);
    // True when nothing was pending or the user chose to save (and it worked).
    bool askSaveIfModified();
    // Writes the autosave file beside currentFile and reports it.
    bool autosave(bool makeBackup);
    bool isExactDuplicate(const QString& name, const QString& x, const QString& y,
                          const QString& layer);

    // The " CSV Load", " CSV Add" and " CSV Save" buttons. Load keeps the list when the
    // user asked to save the edits first and that save failed.
    void loadCommand();
    void addCommand();
    void saveAsCommand();
    // Saves the list to its own file with the backups of the close question.
    bool saveCommand();

protected:
    // Parent of the dialogs and message boxes (the main window).
    virtual QWidget* promptParent() const { return nullptr; }
    // Status bar message; timeout in ms, 0 = stays.
    virtual void showStatus(const QString& text, int timeout);
    // Empties the table models: bit 1 the data table, bit 2 the bulk-edit table.
    virtual void clearModels(int which);
    // After Load and Add changed the list: refilter the bulk table and redraw.
    virtual void placesChanged();
    // Load is about to replace every record: whatever pointed at the old ones goes.
    virtual void listReplaced();
    // currentFile or modified may have changed (the window title shows both).
    virtual void fileStateChanged();
};
