#include "app/commandline.h"

#include "formats/formats.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QCommandLineParser>
#include <QTextStream>

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("地図に地点を表示して編集するツール"));
    const QCommandLineOption convert(
        QStringLiteral("convert"),
        QStringLiteral("IN を OUT に変換して終わります（ウィンドウなし）。OUT の形式は拡張子から: "
                       ".csv（地点リスト）.gpx .kml .kmz .geojson .json"));
    parser.addOption(convert);
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("起動時に開くファイル（CSV、GPX、KML、KMZ、GeoJSON）"));
    if (!parser.parse(arguments)) {
        line.error = parser.errorText();
        return line;
    }
    const QStringList rest = parser.positionalArguments();
    if (parser.isSet(convert)) {
        line.convert = true;
        if (rest.size() != 2) {
            line.error = QStringLiteral("--convert には入力と出力のファイル名が要ります: "
                                        "mivaromap --convert IN OUT");
            return line;
        }
        line.convertIn = rest[0];
        line.convertOut = rest[1];
        return line;
    }
    if (rest.size() > 1)
        line.error = QStringLiteral("開けるファイルは一つだけです");
    else
        line.file = rest.value(0);
    return line;
}

int runConvert(const CommandLine& line, QTextStream& err)
{
    if (!line.error.isEmpty()) {
        err << line.error << '\n';
        return 1;
    }
    // The class colours travel into KML and GeoJSON.
    AppSettings& settings = AppSettings::instance();
    settings.loadClasses(programDir() + QStringLiteral("/classsetting.ini"));
    QString reason;
    qint64 leftOut = 0;
    if (!formats::convertFile(line.convertIn, line.convertOut,
                              {settings.className, settings.classBack, settings.classFore}, &reason,
                              &leftOut)) {
        err << reason << '\n';
        return 1;
    }
    if (leftOut > 0)
        err << QStringLiteral("座標が地図の範囲にない %1 件は書き出していません").arg(leftOut)
            << '\n';
    return 0;
}
