#include "app/mivaromap.h"

#include "settings/appsettings.h"

#include <QCloseEvent>
#include <QStatusBar>

MivaroMap::MivaroMap(QWidget* parent) : QMainWindow(parent)
{
    AppSettings& settings = AppSettings::instance();
    if (settings.geometry.size() > 1)
        restoreGeometry(settings.geometry);
    else
        resize(765, 645);

    version = QStringLiteral("0.70");
    setWindowTitle(QStringLiteral("MivaroMap Ver ") + version);

    loadPlaceFile(settings.csv_filename);
    currentFile = settings.csv_filename;

    statusBar()->showMessage(QStringLiteral("Ready"));
}

MivaroMap::~MivaroMap()
{
    AppSettings& settings = AppSettings::instance();
    settings.csv_filename = currentFile;
    settings.geometry = saveGeometry();
    settings.save();
}

void MivaroMap::closeEvent(QCloseEvent* event)
{
    // There is no Cancel: the window closes whatever the answer.
    askSaveIfModified();
    event->accept();
}

void MivaroMap::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
}

QWidget* MivaroMap::promptParent() const
{
    return const_cast<MivaroMap*>(this);
}

void MivaroMap::showStatus(const QString& text, int timeout)
{
    statusBar()->showMessage(text, timeout);
}
