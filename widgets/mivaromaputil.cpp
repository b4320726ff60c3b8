#include "widgets/mivaromaputil.h"

#include "map/markerfiles.h"
#include "map/markerpictures.h"
#include "prompts/prompts.h"
#include "settings/appsettings.h"
#include "widgets/clicklabel.h"
#include "widgets/palettelayout.h"

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QSpacerItem>
#include <QTabWidget>
#include <QVBoxLayout>

MivaroMapUtil::MivaroMapUtil(QObject* parent) : QObject(parent) {}

MivaroMapUtil::~MivaroMapUtil()
{
    delete popup;
}

QDialog* MivaroMapUtil::buildPalette()
{
    const AppSettings& s = AppSettings::instance();
    auto* dialog =
        new QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    dialog->setAttribute(Qt::WA_TranslucentBackground);
    dialog->setFont(s.inpFont);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* tabs = new QTabWidget;
    tabs->setTabPosition(QTabWidget::East);
    tabs->setAttribute(Qt::WA_TranslucentBackground);
    tabs->setFont(s.inpFont);
    layout->addWidget(tabs);

    for (const palette::Page& page : palette::pages(s.className)) {
        auto* widget = new QWidget;
        auto* rows = new QVBoxLayout(widget);
        rows->setContentsMargins(1, 1, 1, 1);
        for (int i : page.classes) {
            auto* row = new QHBoxLayout;
            row->setContentsMargins(0, 0, 0, 0);
            auto* number = new QLabel(QStringLiteral("%1:").arg(i));
            number->setFixedWidth(30);
            number->setFont(s.inpFont);
            row->addWidget(number);
            auto* label = new ClickLabel(s.className[i]);
            label->setFont(s.inpFont);
            label->setToolTip(QStringLiteral("%1").arg(i));
            label->setStyleSheet(QStringLiteral("QLabel { color: %1 ; background-color: %2;}")
                                     .arg(s.classFore[i].name(), s.classBack[i].name()));
            connect(label, SIGNAL(clicked()), this, SLOT(onClickLabel()));
            row->addWidget(label);
            rows->addLayout(row);
        }
        if (page.spacer)
            rows->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
        tabs->addTab(widget, page.title);
    }
    if (s.tabWidgetIndex >= 0 && s.tabWidgetIndex < tabs->count())
        tabs->setCurrentIndex(s.tabWidgetIndex);
    return dialog;
}

int MivaroMapUtil::pickColorClass(int, int, int, int bottom)
{
    if (popup) {
        popup->close();
        result = AlreadyOpen;
        return result;
    }
    popup = buildPalette();
    popup->installEventFilter(this);
    const QPoint cursor = QCursor::pos();
    popup->show();
    const QScreen* screen = QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QPoint at = palette::position(cursor, popup->frameGeometry().size(), bottom,
                                        screen ? screen->availableGeometry() : QRect());
    result = NoChoice;
    popup->move(at);
    Prompts::instance().execDialog(popup);

    // Ask the popup again: a nested call may have closed it already.
    if (auto* tabs = popup->findChild<QTabWidget*>())
        AppSettings::instance().tabWidgetIndex = tabs->currentIndex();
    popup->close();
    popup->removeEventFilter(this);
    delete popup;
    popup = nullptr;
    return result;
}

void MivaroMapUtil::onClickLabel()
{
    auto* label = qobject_cast<ClickLabel*>(sender());
    if (!label || !popup)
        return;
    result = label->toolTip().toInt();
    popup->accept();
}

bool MivaroMapUtil::eventFilter(QObject* watched, QEvent* event)
{
    if (!popup || watched != popup)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            return QObject::eventFilter(watched, event);
        result = Escaped;
        popup->reject();
        return true;
    }
    if (event->type() == QEvent::WindowDeactivate) {
        if (result == NoChoice)
            result = ClickedOutside;
        popup->reject();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

int MivaroMapUtil::pickLayer()
{
    QMenu menu;
    for (int layer = 1; layer <= 9; ++layer)
        menu.addAction(QStringLiteral("Layer%1").arg(layer))
            ->setToolTip(QStringLiteral("%1").arg(layer));
    QAction* chosen = Prompts::instance().execMenu(&menu, QCursor::pos());
    return chosen ? chosen->toolTip().toInt() : -1;
}

QString MivaroMapUtil::pickShape()
{
    QMenu menu;
    // The third entry reads "Cricle" on screen; the value stored is "Circle".
    const std::pair<const char*, const char*> shapes[] = {
        {"Image", "Image"}, {"Scaled", "Scaled"}, {"Cricle", "Circle"}};
    for (const auto& [text, value] : shapes)
        menu.addAction(QString::fromLatin1(text))->setToolTip(QString::fromLatin1(value));
    QAction* chosen = Prompts::instance().execMenu(&menu, QCursor::pos());
    return chosen ? chosen->toolTip() : QString();
}

QString MivaroMapUtil::makeLabelImage(const QString& name, int c, int pointSize, QImage* drawn)
{
    const QImage image = drawLabelPicture(name, markerBackColor(c), markerForeColor(c),
                                          AppSettings::instance().textFont, pointSize);
    if (drawn)
        *drawn = image;
    return saveMarkerImage(image, name);
}

QString MivaroMapUtil::makeCircleImage(const QString& name, int c, int radius, int pointSize,
                                       QImage* drawn)
{
    const AppSettings& settings = AppSettings::instance();
    const QImage image = drawCirclePicture(name, markerBackColor(c), settings.textFont, radius,
                                           pointSize, settings.siroIcon);
    if (drawn)
        *drawn = image;
    return saveMarkerImage(image, name);
}

QString MivaroMapUtil::saveMarkerImage(const QImage& image, const QString& name, bool* written)
{
    const QString path = markerFilePath(name);
    const FileWrite result =
        writeMarkerFile(path, encodeMarkerPng(image.convertToFormat(QImage::Format_ARGB32)));
    if (written)
        *written = result != FileWrite::Failed;
    return path;
}
