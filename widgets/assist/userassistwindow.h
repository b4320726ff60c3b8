#pragma once

#include "widgets/assist/assistwindowspec.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

class QMouseEvent;

// One help popup: a frameless rounded box of text beside the widget it
// explains, joined to it by a thin line, dragged by its text. Made and
// deleted by its UserAssist set.
class UserAssistWindow : public QWidget
{
    Q_OBJECT
public:
    UserAssistWindow(const QString& fileName, const AssistWindowSpec& spec, QWidget* owner);
    ~UserAssistWindow() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Once set the window is on its way out and is not closed again.
    bool isClosing() const { return closing; }
    void setClosing() { closing = true; }
    QWidget* owner() const { return ownerWidget; }
    QString groupName() const { return name; }
    QRect targetRect() const { return target; }
    // The line's own window, null when the box touches its widget.
    QWidget* leaderWindow() const { return leader; }

signals:
    void UserAssistWindowClosed();
    void UserAssistWindowAllClose();

public slots:
    // Asks the set to close: a single window never leaves its set on its own.
    void closeBar();

private slots:
    void onMousePressed(QMouseEvent* event);
    void onMouseMove(QMouseEvent* event);
    void onMouseReleased(QMouseEvent*);

private:
    void layOutLeaderLine();
    void reportWriteFailure(const QString& reason);

    QPoint dragAnchor;
    bool dragging = false;
    // Where the window stands on the screen, and its fixed size.
    int winX = 0;
    int winY = 0;
    int winWidth = 400;
    int winHeight = 200;
    QRect target{0, 0, 0, 0};
    bool hasTarget = false;
    QWidget* leader = nullptr;
    bool closing = false;
    QPoint ownerPosition;
    QWidget* ownerWidget = nullptr;
    QString fileName;
    QString name;
};
