#pragma once

#include <QList>
#include <QWidget>

class UserAssistWindow;

// One open help topic: the windows built from one assist file. Never shown
// itself; its owner (the main window or the record dialog) deletes it.
class UserAssist : public QWidget
{
    Q_OBJECT
public:
    UserAssist(const QString& path, QWidget* parent);
    ~UserAssist() override;

    const QList<UserAssistWindow*>& windows() const { return assistWindows; }

    // Closes an owner's open set, if any, and clears the pointer.
    static void closeSet(UserAssist*& set, QObject* owner, const char* closeSlot);

signals:
    // A window asks its owner to close the whole set.
    void UserAssistClose();

public slots:
    void AllClose();

private:
    QList<UserAssistWindow*> assistWindows;
};
