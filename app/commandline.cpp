#include "app/commandline.h"

#include "formats/formats.h"
#include "map/maprender.h"
#include "map/providers.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>

namespace {

struct OptionText
{
    const char* names;
    const char* value; // empty: a switch
    const char* description;
};

const OptionText optionTexts[] = {
    {"h,help", "", "この説明を表示して終了します。"},
    {"v,version", "", "バージョンを表示して終了します。"},
    {"render", "OUT.png", "地図を画面に出さずに PNG 画像に描いて OUT.png に保存し、終了します。"},
    {"center", "経度,緯度", "画像の中心 (省略時は前回の地図の中心)。例: 139.767,35.681"},
    {"zoom", "Z", "ズームレベル 0〜17 (省略時は前回のズーム)。"},
    {"size", "幅x高さ", "画像の大きさ (画面のピクセル、省略時は 1600x1000)。"},
    {"scale", "N", "画素の倍率 1〜8 (印刷用に N 倍の細かさで描きます)。"},
    {"provider", "名前",
     "地図の種類: osm, google, stamen, gsi、またはオフライン地図の .mbtiles "
     "ファイルかタイルのフォルダ (省略時は前回の地図)。"},
    {"no-tiles", "", "地図タイルを使わず、場所のマーカーだけを描きます。"},
    {"convert", "",
     "IN を OUT に変換して終了します (ウィンドウなし)。OUT の形式は拡張子から: "
     ".csv (地点リスト) .gpx .kml .kmz .geojson .json"},
};

QString tr8(const char* text)
{
    return QString::fromUtf8(text);
}

// Columns a text takes in a terminal: East Asian letters take two.
int columns(const QString& text)
{
    int n = 0;
    for (const QChar c : text)
        n += c.unicode() >= 0x1100 ? 2 : 1;
    return n;
}

QString padded(const QString& text, int width)
{
    return text + QString(std::max(1, width - columns(text)), QLatin1Char(' '));
}

QString optionName(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

bool parseCenter(const QString& text, double* longitude, double* latitude, QString* error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool okX = false;
    bool okY = false;
    const double x = parts.size() == 2 ? parts[0].trimmed().toDouble(&okX) : 0.0;
    const double y = parts.size() == 2 ? parts[1].trimmed().toDouble(&okY) : 0.0;
    if (!okX || !okY) {
        *error = QStringLiteral("--center の値 \"%1\" は「経度,緯度」の形ではありません").arg(text);
        return false;
    }
    // "!(a <= x)" also turns away a NaN.
    if (!(x >= -180.0 && x <= 180.0) || !(y >= -90.0 && y <= 90.0)) {
        *error = QStringLiteral("--center の値 \"%1\" は範囲外です (経度 -180〜180、緯度 -90〜90)")
                     .arg(text);
        return false;
    }
    *longitude = x;
    *latitude = y;
    return true;
}

bool parseZoom(const QString& text, int* zoom, QString* error)
{
    bool ok = false;
    const int z = text.trimmed().toInt(&ok);
    if (!ok || z < 0 || z > MarkerZoomMaximum) {
        *error = QStringLiteral("--zoom の値 \"%1\" は 0〜%2 の整数ではありません")
                     .arg(text)
                     .arg(MarkerZoomMaximum);
        return false;
    }
    *zoom = z;
    return true;
}

bool parseSize(const QString& text, QSize* size, QString* error)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,5})\\s*[xX×]\\s*(\\d{1,5})\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (w < 1 || h < 1 || w > maprender::MaxSide || h > maprender::MaxSide) {
        *error = QStringLiteral("--size の値 \"%1\" は「幅x高さ」(1〜%2) ではありません")
                     .arg(text)
                     .arg(maprender::MaxSide);
        return false;
    }
    *size = QSize(w, h);
    return true;
}

bool parseScale(const QString& text, int* scale, QString* error)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < 1 || n > 8) {
        *error = QStringLiteral("--scale の値 \"%1\" は 1〜8 の整数ではありません").arg(text);
        return false;
    }
    *scale = n;
    return true;
}

bool parseProvider(const QString& text, int* provider, QString* offline, QString* error)
{
    const int index = providerIndex(text.trimmed());
    if (index >= 0) {
        *provider = index;
        return true;
    }
    const QFileInfo map(text);
    if (map.isDir() || (map.isFile() &&
                        map.suffix().compare(QLatin1String("mbtiles"), Qt::CaseInsensitive) == 0)) {
        *offline = text;
        return true;
    }
    *error = QStringLiteral("--provider の値 \"%1\" は %2 のどれでもなく、.mbtiles ファイルや"
                            "タイルのフォルダでもありません")
                 .arg(text, providerNames().join(QStringLiteral(", ")));
    return false;
}

bool checkPictureSize(const QSize& size, int scale, QString* error)
{
    if (qint64(size.width()) * scale > maprender::MaxSide ||
        qint64(size.height()) * scale > maprender::MaxSide) {
        *error = QStringLiteral("画像が大きすぎます: %1x%2 の %3 倍は一辺 %4 ピクセルを超えます")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(scale)
                     .arg(maprender::MaxSide);
        return false;
    }
    return true;
}

QString helpText()
{
    QString text = QStringLiteral("使い方: mivaromap [オプション] [ファイル]\n"
                                  "       mivaromap --render OUT.png [オプション] [一覧ファイル]\n"
                                  "       mivaromap --convert IN OUT\n\n"
                                  "場所の一覧を地図に表示して編集します。\n\n"
                                  "オプション:\n");
    for (const OptionText& o : optionTexts) {
        QStringList names;
        for (const QString& n : tr8(o.names).split(QLatin1Char(',')))
            names << optionName(n);
        QString left = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (*o.value)
            left += QLatin1Char(' ') + tr8(o.value);
        text += padded(left, 30) + tr8(o.description) + QLatin1Char('\n');
    }
    text += QStringLiteral("\n引数:\n");
    text += padded(QStringLiteral("  ファイル"), 30) +
            QStringLiteral("起動時に開くファイル (CSV、GPX、KML、KMZ、GeoJSON)。\n");
    text += padded(QStringLiteral("  一覧ファイル"), 30) +
            QStringLiteral("--render で描く一覧 (省略時は前回の一覧)。\n");
    return text;
}

QString versionText()
{
    return QStringLiteral("MivaroMap %1\n").arg(QStringLiteral(MIVAROMAP_VERSION));
}

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionText& o : optionTexts) {
        QCommandLineOption option(tr8(o.names).split(QLatin1Char(',')), tr8(o.description));
        if (*o.value)
            option.setValueName(tr8(o.value));
        parser.addOption(option);
    }
    parser.addPositionalArgument(QStringLiteral("file"), QString());

    CommandLine result;
    const auto fail = [&result](const QString& text) {
        result.action = CommandLine::Action::Error;
        result.text = text;
        return result;
    };
    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty())
            return fail(
                QStringLiteral("知らないオプションです: %1 (mivaromap --help で一覧を表示します)")
                    .arg(optionName(parser.unknownOptionNames().first())));
        // Qt's own text names the option between quotes.
        static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
        const QString name = quoted.match(parser.errorText()).captured(1);
        return fail(QStringLiteral("オプション %1 に値がありません").arg(name));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.action = CommandLine::Action::Help;
        result.text = helpText();
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        result.action = CommandLine::Action::Version;
        result.text = versionText();
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    const bool convert = parser.isSet(QStringLiteral("convert"));
    if (convert && parser.isSet(QStringLiteral("render")))
        return fail(QStringLiteral("--convert と --render は一緒に使えません"));
    if (convert && positional.size() != 2)
        return fail(QStringLiteral("--convert には入力と出力のファイル名が要ります: "
                                   "mivaromap --convert IN OUT"));
    if (!convert && positional.size() > 1)
        return fail(QStringLiteral("ファイルは一つだけ指定できます: %1")
                        .arg(positional.join(QStringLiteral(" "))));
    const QString file = positional.value(0);

    if (!parser.isSet(QStringLiteral("render"))) {
        for (const char* name : {"center", "zoom", "size", "scale", "provider", "no-tiles"}) {
            if (parser.isSet(QString::fromLatin1(name)))
                return fail(QStringLiteral("--%1 は --render と一緒に使います")
                                .arg(QString::fromLatin1(name)));
        }
        if (convert) {
            result.action = CommandLine::Action::Convert;
            result.convertIn = positional[0];
            result.convertOut = positional[1];
            return result;
        }
        result.file = file;
        return result;
    }

    RenderOptions& r = result.render;
    QString error;
    r.output = parser.value(QStringLiteral("render"));
    if (r.output.isEmpty())
        return fail(QStringLiteral("--render に保存先のファイル名がありません"));
    r.list = file;
    if (parser.isSet(QStringLiteral("center"))) {
        if (!parseCenter(parser.value(QStringLiteral("center")), &r.longitude, &r.latitude, &error))
            return fail(error);
        r.hasCenter = true;
    }
    if (parser.isSet(QStringLiteral("zoom"))) {
        if (!parseZoom(parser.value(QStringLiteral("zoom")), &r.zoom, &error))
            return fail(error);
        r.hasZoom = true;
    }
    if (parser.isSet(QStringLiteral("size")) &&
        !parseSize(parser.value(QStringLiteral("size")), &r.size, &error))
        return fail(error);
    if (parser.isSet(QStringLiteral("scale")) &&
        !parseScale(parser.value(QStringLiteral("scale")), &r.scale, &error))
        return fail(error);
    if (!checkPictureSize(r.size, r.scale, &error))
        return fail(error);
    r.noTiles = parser.isSet(QStringLiteral("no-tiles"));
    if (parser.isSet(QStringLiteral("provider"))) {
        if (r.noTiles)
            return fail(QStringLiteral("--provider と --no-tiles は一緒に使えません"));
        if (!parseProvider(parser.value(QStringLiteral("provider")), &r.provider, &r.offline,
                           &error))
            return fail(error);
    }
    result.action = CommandLine::Action::Render;
    return result;
}

int runConvert(const QString& in, const QString& out, QTextStream& err)
{
    // The class colours travel into KML and GeoJSON.
    AppSettings& settings = AppSettings::instance();
    settings.loadClasses(programDir() + QStringLiteral("/classsetting.ini"));
    QString reason;
    qint64 leftOut = 0;
    if (!formats::convertFile(in, out, {settings.className, settings.classBack, settings.classFore},
                              &reason, &leftOut)) {
        err << reason << '\n';
        return 1;
    }
    if (leftOut > 0)
        err << QStringLiteral("座標が地図の範囲にない %1 件は書き出していません").arg(leftOut)
            << '\n';
    return 0;
}
