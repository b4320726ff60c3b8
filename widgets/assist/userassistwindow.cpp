#include "widgets/assist/userassistwindow.h"

#include "settings/appsettings.h"
#include "widgets/assist/assistfile.h"
#include "widgets/assist/assisttextedit.h"
#include "widgets/assist/leaderline.h"

#include <QBitmap>
#include <QDebug>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

UserAssistWindow::UserAssistWindow(const QString& fileName, const AssistWindowSpec& spec,
                                   QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint), ownerWidget(owner), fileName(fileName),
      name(spec.name)
{
    setAttribute(Qt::WA_MouseTracking);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(true);
    setContentsMargins(0, 0, 0, 0);
    ownerPosition = owner->pos();

    auto* frame = new QWidget(this);
    frame->setContentsMargins(0, 0, 0, 0);
    auto* layout = new QVBoxLayout(frame);
    frame->setStyleSheet(QStringLiteral("QWidget{border-color: %1;background-color: %2;"
                                        "border-style: solid;border-width: 1px;"
                                        "border-radius: 6px;}")
                             .arg(spec.borderColor.name(), spec.backColor.name()));

    auto* text = new AssistTextEdit(frame);
    connect(text, SIGNAL(mousePressed(QMouseEvent*)), this, SLOT(onMousePressed(QMouseEvent*)));
    connect(text, SIGNAL(mouseReleased(QMouseEvent*)), this, SLOT(onMouseReleased(QMouseEvent*)));
    connect(text, SIGNAL(mouseMove(QMouseEvent*)), this, SLOT(onMouseMove(QMouseEvent*)));
    text->setFont(AppSettings::instance().assistFont);
    text->setHtml(QStringLiteral("<p style=\"line-height:130%\">") + spec.texts.join(QString()) +
                  QStringLiteral("</p>"));
    text->setReadOnly(true);
    text->setContentsMargins(6, 6, 6, 1);
    text->setStyleSheet(
        QStringLiteral("QWidget{background-color: %1;color: %2; font:bold;border-width: 0px;}")
            .arg(spec.backColor.name(), spec.textColor.name()));
    layout->addWidget(text);

    if (QWidget* widget = owner->findChild<QWidget*>(name)) {
        target = QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
        hasTarget = true;
    }

    if (spec.window.size() >= 4) {
        winX = spec.window.at(0).toInt() + target.left();
        winY = spec.window.at(1).toInt() + target.top();
        winWidth = spec.window.at(2).toInt();
        winHeight = spec.window.at(3).toInt();
    } else {
        winX = target.left();
        winY = target.top();
    }

    layOutLeaderLine();
    frame->setFixedSize(winWidth, winHeight);
    resize(winWidth, winHeight);
    // Without a compositor the corners outside the rounded frame would be black.
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, winWidth, winHeight), 6, 6);
    setMask(QRegion(rounded.toFillPolygon().toPolygon()));
    dragging = false;

    // Shown on the next turn of the event loop, when the owner has settled.
    QTimer::singleShot(0, this, [this] {
        ownerWidget->installEventFilter(this);
        move(winX, winY);
        show();
    });
}

UserAssistWindow::~UserAssistWindow() = default;

void UserAssistWindow::layOutLeaderLine()
{
    delete leader;
    leader = nullptr;
    // A widget that is not there gets no line to the screen's corner.
    if (!hasTarget)
        return;
    const assist::LeaderLine line =
        assist::layoutLeaderLine(QRect(winX, winY, winWidth, winHeight), target);
    if (!line.needed)
        return;

    QPixmap picture(line.box.size());
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setPen(Qt::white);
        painter.setBackgroundMode(Qt::TransparentMode);
        painter.drawLine(line.line);
    }

    leader = new QWidget(this, Qt::Dialog | Qt::FramelessWindowHint);
    leader->setAttribute(Qt::WA_TranslucentBackground);
    leader->setContentsMargins(0, 0, 0, 0);
    auto* layout = new QVBoxLayout(leader);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(leader);
    label->setContentsMargins(0, 0, 0, 0);
    label->setFixedSize(line.box.size());
    label->setPixmap(picture);
    layout->addWidget(label);
    // Without a compositor a translucent window is drawn black: only the line shows.
    leader->setMask(picture.mask());
    leader->move(line.box.topLeft());
    leader->show();
}

void UserAssistWindow::onMousePressed(QMouseEvent* event)
{
    dragAnchor = QPoint(qRound(event->localPos().x()), qRound(event->localPos().y()));
    dragging = true;
}

void UserAssistWindow::onMouseMove(QMouseEvent* event)
{
    if (!dragging)
        return;
    const QPoint local(qRound(event->localPos().x()), qRound(event->localPos().y()));
    const QPoint position = pos() + (local - dragAnchor);
    move(position);
    winX = position.x();
    winY = position.y();
    layOutLeaderLine();
}

void UserAssistWindow::onMouseReleased(QMouseEvent*)
{
    dragging = false;
    const QPoint position = pos();
    const QString failure =
        assist::writeWindowKey(fileName, name,
                               {QString::number(position.x() - target.left()),
                                QString::number(position.y() - target.top()),
                                QString::number(winWidth), QString::number(winHeight)});
    if (!failure.isEmpty())
        reportWriteFailure(failure);
    winX = position.x();
    winY = position.y();
    layOutLeaderLine();
}

void UserAssistWindow::reportWriteFailure(const QString& reason)
{
    // The record dialog's help reports in the main window behind it.
    for (QWidget* w = ownerWidget; w; w = w->parentWidget()) {
        if (auto* main = qobject_cast<QMainWindow*>(w)) {
            main->statusBar()->showMessage(
                QStringLiteral("%1 に保存できませんでした。%2").arg(fileName, reason));
            return;
        }
    }
}

bool UserAssistWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ownerWidget) {
        if (event->type() == QEvent::Move) {
            const QPoint now = ownerWidget->pos();
            const QPoint shift = now - ownerPosition;
            move(pos() + shift);
            if (leader)
                leader->move(leader->pos() + shift);
            target.translate(shift);
            winX += shift.x();
            winY += shift.y();
            ownerPosition = now;
        } else if (event->type() == QEvent::Resize) {
            qDebug() << "eventFilter" << event->type();
            // The set may delete this window here: touch nothing after.
            emit UserAssistWindowAllClose();
            return false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UserAssistWindow::closeBar()
{
    emit UserAssistWindowAllClose();
}
