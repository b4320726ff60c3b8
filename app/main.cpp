#include "app/appstyle.h"
#include "app/mivaromap.h"
#include "app/signalclose.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QApplication>
#include <QToolTip>

#include <memory>

int main(int argc, char* argv[])
{
    // Sized by the screen's density; pictures are drawn at its pixel ratio.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    initMivaroMapResources();
    QApplication::setStyle(QStringLiteral("fusion"));
    installQtTranslations(&app);
    const QString appDir = programDir() + QStringLiteral("/");

    AppSettings& settings = AppSettings::instance();
    settings.load();

    const QPalette palette = buildAppPalette(settings);
    QApplication::setPalette(palette);
    QToolTip::setPalette(palette);
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
