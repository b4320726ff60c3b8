#include "app/appstyle.h"
#include "app/commandline.h"
#include "app/mivaromap.h"
#include "app/signalclose.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QApplication>
#include <QTextStream>
#include <QToolTip>

#include <memory>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = parseCommandLine(arguments);
    if (line.convert || !line.error.isEmpty()) {
        // No window and no display: a core application is all a conversion needs.
        QCoreApplication core(argc, argv);
        QTextStream err(stderr);
        return runConvert(line, err);
    }

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
        if (!line.file.isEmpty())
            window->openFile(line.file);
        closeWindowsOnTerminate(window.get());
        result = app.exec();
    }
    return result;
}
