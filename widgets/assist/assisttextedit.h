#pragma once

#include <QTextEdit>

// The text of a help window. It only reports the mouse, so that pressing
// anywhere on the text drags the window instead of selecting.
class AssistTextEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit AssistTextEdit(QWidget* parent = nullptr);
    ~AssistTextEdit() override;

signals:
    void mousePressed(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);
    void mouseMove(QMouseEvent* event);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};
