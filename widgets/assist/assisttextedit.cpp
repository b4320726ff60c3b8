#include "widgets/assist/assisttextedit.h"

AssistTextEdit::AssistTextEdit(QWidget* parent) : QTextEdit(parent)
{
    setAttribute(Qt::WA_MouseTracking);
}

AssistTextEdit::~AssistTextEdit() = default;

void AssistTextEdit::mousePressEvent(QMouseEvent* event)
{
    emit mousePressed(event);
}

void AssistTextEdit::mouseReleaseEvent(QMouseEvent* event)
{
    emit mouseReleased(event);
}

void AssistTextEdit::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMove(event);
}
