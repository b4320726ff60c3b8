#include "app/appstyle.h"
#include "app/commandline.h"
#include "app/mivaromap.h"
#include "app/rendercommand.h"
#include "app/signalclose.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QApplication>
#include <QTextStream>
#include <QToolTip>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = parseCommandLine(arguments);
    switch (command.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version: {
        QTextStream out(stdout);
        out << command.text;
        return 0;
    }
    case CommandLine::Action::Error: {
        QTextStream err(stderr);
        err << QStringLiteral("mivaromap: ") << command.text << Qt::endl;
        return UsageExitCode;
    }
    case CommandLine::Action::Convert: {
        // No window and no display: a core application is all a conversion needs.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("mivaromap"));
        QTextStream err(stderr);
        for (const QString& failure : setUpProgramDirs())
            err << QStringLiteral("mivaromap: 初期ファイルを用意できません: ") << failure
                << Qt::endl;
        return runConvert(command.convertIn, command.convertOut, err);
    }
    case CommandLine::Action::Render:
        // A picture needs no screen: never wait for a display that is not there.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        break;
    case CommandLine::Action::Run:
        break;
    }

    // Sized by the screen's density; pictures are drawn at its pixel ratio.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    // The user's data and cache folders are named after the program.
    QCoreApplication::setApplicationName(QStringLiteral("mivaromap"));
    initMivaroMapResources();
    QApplication::setStyle(QStringLiteral("fusion"));
    installQtTranslations(&app);
    QTextStream err(stderr);
    for (const QString& failure : setUpProgramDirs())
        err << QStringLiteral("mivaromap: 初期ファイルを用意できません: ") << failure << Qt::endl;
    const QString appDir = programDir() + QStringLiteral("/");

    AppSettings& settings = AppSettings::instance();
    settings.load();

    if (command.action == CommandLine::Action::Render)
        return runRender(command.render, err);

    const QPalette palette = buildAppPalette(settings);
    QApplication::setPalette(palette);
    QToolTip::setPalette(palette);
    applyStyleSheetFile(appDir);

    int result = 0;
    {
        // The window goes before the application object; its destructor saves the settings.
        auto window = std::make_unique<MivaroMap>();
        window->show();
        if (!command.file.isEmpty())
            window->openFile(command.file);
        closeWindowsOnTerminate(window.get());
        result = app.exec();
    }
    return result;
}
