#include "app/appstyle.h"
#include "app/mivaromap.h"
#include "app/signalclose.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QApplication>

#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    initMivaroMapResources();
    QApplication::setStyle(QStringLiteral("fusion"));
    const QString appDir = programDir() + QStringLiteral("/");

    AppSettings& settings = AppSettings::instance();
    settings.load();

    QApplication::setPalette(buildAppPalette(settings));
    applyStyleSheetFile(appDir);

    int result = 0;
    {
        // The window goes before the application object; its destructor saves the settings.
        auto window = std::make_unique<MivaroMap>();
        window->show();
        closeWindowsOnTerminate(window.get());
        result = app.exec();
    }
    return result;
}
