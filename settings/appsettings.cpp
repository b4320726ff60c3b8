#include "settings/appsettings.h"

#include "fileio/atomicfile.h"
#include "settings/backuprotation.h"
#include "settings/programdir.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <cerrno>
#include <functional>

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

QString iniPath()
{
    return programDir() + QStringLiteral("/mivaromap.ini");
}

QString classIniPath()
{
    return programDir() + QStringLiteral("/classsetting.ini");
}

QByteArray withBomAndCrLf(QByteArray bytes)
{
    bytes.replace("\r\n", "\n");
    bytes.replace("\n", "\r\n");
    return utf8Bom + bytes;
}

fileio::WriteResult failure(int reason)
{
    return fileio::WriteResult{false, fileio::errorReason(reason)};
}

// QSettings (Qt 5.15) takes a leading byte-order mark for part of the first key, and it
// caches parsed files by name. So every INI file is read and updated through a private
// copy without the mark; an update then replaces the real file in one step.
class IniScratch
{
public:
    // False when the file exists but cannot be read (or no scratch space is left);
    // `error` then says why.
    bool copyFrom(const QString& path, QString* error = nullptr)
    {
        if (!dir.isValid())
            return fail(dir.errorString(), error);
        scratch = dir.filePath(QStringLiteral("settings.ini"));
        if (!QFileInfo::exists(path))
            return true;
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) {
            lastError = fileio::WriteResult{false, in.errorString()};
            return false;
        }
        QByteArray bytes = in.readAll();
        if (in.error() != QFileDevice::NoError) {
            lastError = fileio::WriteResult{false, in.errorString()};
            return false;
        }
        if (bytes.startsWith(utf8Bom))
            bytes.remove(0, utf8Bom.size());
        lastError = fileio::writeFileAtomically(scratch, bytes, fileio::Durability::Cache);
        return lastError.ok;
    }
    // Why copyFrom failed, when it was a write.
    fileio::WriteResult lastError{false, qt_error_string(EIO)};
    QString path() const { return scratch; }

private:
    static bool fail(const QString& reason, QString* error)
    {
        if (error)
            *error = reason;
        return false;
    }

    QTemporaryDir dir;
    QString scratch;
};

void readIni(const QString& path, const std::function<void(const QSettings&)>& read)
{
    IniScratch scratch;
    // An unreadable file gives the defaults, as a missing one does (a nameless QSettings
    // holds no keys).
    QSettings settings(scratch.copyFrom(path) ? scratch.path() : QString(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    read(settings);
}

// QSettings never fails a write whose last buffered bytes did not reach the disk: it
// reports success with the file cut short. So what it wrote is read back and compared
// with what it holds before anything replaces the real file.
bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.userType() == b.userType())
        return a == b;
    // Numbers, flags and one-element lists come back from the file as text.
    return a.toString() == b.toString();
}

bool readsBackTheSame(const QSettings& written, const QString& copy)
{
    QSettings read(copy, QSettings::IniFormat);
    read.setIniCodec("UTF-8");
    QStringList keys = written.allKeys();
    QStringList readKeys = read.allKeys();
    keys.sort();
    readKeys.sort();
    if (keys != readKeys)
        return false;
    for (const QString& key : keys) {
        if (!sameValue(written.value(key), read.value(key)))
            return false;
    }
    return true;
}

// QSettings does not say why its write stopped short. The system does, when asked to
// write more than that beside it: the same full disk or size limit refuses it.
fileio::WriteResult whyCut(const QString& scratch, qint64 cutSize)
{
    const QString probe = scratch + QStringLiteral(".probe");
    const fileio::WriteResult tried = fileio::writeFileAtomically(
        probe, QByteArray(int(cutSize) + 65536, ' '), fileio::Durability::Cache);
    QFile::remove(probe);
    return tried ? failure(EIO) : tried;
}

// Sets keys in the INI file at path, keeping every key it does not set.
fileio::WriteResult updateIni(const QString& path, const std::function<void(QSettings&)>& write,
                              bool withBom)
{
    IniScratch scratch;
    QString error;
    // A file we could not read would lose its hand-written keys: leave it alone.
    if (!scratch.copyFrom(path))
        return scratch.lastError;
    QByteArray bytes;
    {
        QSettings settings(scratch.path(), QSettings::IniFormat);
        settings.setIniCodec("UTF-8");
        write(settings);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return whyCut(scratch.path(), 0);
        QFile written(scratch.path());
        if (!written.open(QIODevice::ReadOnly))
            return fileio::WriteResult{false, written.errorString()};
        bytes = written.readAll();
        // Another name, so that QSettings parses it afresh instead of using its cache.
        const QString copy = scratch.path() + QStringLiteral(".check.ini");
        const fileio::WriteResult copied =
            fileio::writeFileAtomically(copy, bytes, fileio::Durability::Cache);
        if (!copied)
            return copied;
        if (!readsBackTheSame(settings, copy))
            return whyCut(scratch.path(), bytes.size());
    }
    return fileio::writeFileAtomically(path, withBom ? withBomAndCrLf(bytes) : bytes);
}

QString textValue(const QSettings& s, const QString& key, const QString& fallback = QString())
{
    const QVariant v = s.value(key);
    if (!v.isValid())
        return fallback;
    // An unquoted value with commas is read as a list; the program wants the text.
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QColor colorValue(const QSettings& s, const QString& key, const QColor& fallback)
{
    return QColor(textValue(s, key, fallback.name()));
}

struct FontKeys
{
    QString family;
    QString pointSize;
    QString bold;
};

const FontKeys textFontKeys{QStringLiteral("font/text_family"),
                            QStringLiteral("font/text_pointSize"),
                            QStringLiteral("font/text_bold")};
const FontKeys inpFontKeys{QStringLiteral("font/inp_family"), QStringLiteral("font/inp_pointSize"),
                           QStringLiteral("font/inp_bold")};
const FontKeys assistFontKeys{QStringLiteral("font/assit_family"),
                              QStringLiteral("font/assit_pointSize"),
                              QStringLiteral("font/assist_bold")};

QFont fontValue(const QSettings& s, const FontKeys& keys, const QString& family, int pointSize)
{
    QFont font;
    font.setFamily(textValue(s, keys.family, family));
    const int size = s.value(keys.pointSize, pointSize).toInt();
    if (size > 0) // QFont refuses (and complains about) sizes below 1
        font.setPointSize(size);
    font.setWeight(s.value(keys.bold, false).toBool() ? QFont::Bold : QFont::Normal);
    return font;
}

void setFont(QSettings& s, const FontKeys& keys, const QFont& font)
{
    s.setValue(keys.family, font.family());
    s.setValue(keys.pointSize, font.pointSize());
    s.setValue(keys.bold, font.weight() > 57);
}

QString classKey(const char* prefix, int i)
{
    return QLatin1String(prefix) + QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
}

// The colour keys in file order, with their members and defaults.
struct ColorKey
{
    const char* key;
    QColor AppSettings::*member;
    QColor fallback;
};

const std::vector<ColorKey>& colorKeys()
{
    static const std::vector<ColorKey> keys{
        {"color/backcolor", &AppSettings::backcolor, QColor(10, 27, 52)},
        {"color/forecolor", &AppSettings::forecolor, QColor(255, 255, 255)},
        {"color/hlbackcolor", &AppSettings::hlbackcolor, QColor(70, 130, 180)},
        {"color/hlforecolor", &AppSettings::hlforecolor, QColor(255, 255, 255)},
        {"color/cursorcolor", &AppSettings::cursorcolor, QColor(68, 85, 102)},
        {"color/findcolor", &AppSettings::findcolor, QColor(255, 0, 0)},
        {"color/reteralcolor", &AppSettings::reteralcolor, QColor(255, 255, 127)},
        {"color/reservecolor", &AppSettings::reservecolor, QColor(0, 255, 255)},
        {"color/valuecolor", &AppSettings::valuecolor, QColor(255, 170, 0)},
        {"color/funccolor", &AppSettings::funccolor, QColor(255, 255, 255)},
        {"color/classcolor", &AppSettings::classcolor, QColor(126, 255, 245)},
        {"color/ctrlcolor", &AppSettings::ctrlcolor, QColor(119, 119, 187)},
        {"color/lnumforecolor", &AppSettings::lnumforecolor, QColor(170, 255, 127)},
        {"color/lnumbackcolor", &AppSettings::lnumbackcolor, QColor(83, 83, 83)},
        {"color/fnamecolor", &AppSettings::fnamecolor, QColor(QStringLiteral("yellow"))},
        {"color/commentcolor", &AppSettings::commentcolor, QColor(170, 255, 127)},
        {"color/header_backcolor", &AppSettings::header_backcolor, QColor(210, 210, 210)},
        {"palette/Window", &AppSettings::paletteWindow, QColor(53, 53, 53)},
        {"palette/WindowText", &AppSettings::paletteWindowText, QColor(255, 255, 255)},
        {"palette/Base", &AppSettings::paletteBase, QColor(25, 25, 25)},
        {"palette/AlternateBase", &AppSettings::paletteAlternateBase, QColor(53, 53, 53)},
        {"palette/ToolTipBase", &AppSettings::paletteToolTipBase, QColor(255, 255, 255)},
        {"palette/ToolTipText", &AppSettings::paletteToolTipText, QColor(255, 255, 255)},
        {"palette/Text", &AppSettings::paletteText, QColor(255, 255, 255)},
        {"palette/Button", &AppSettings::paletteButton, QColor(53, 53, 53)},
        {"palette/ButtonText", &AppSettings::paletteButtonText, QColor(255, 255, 255)},
        {"palette/BrightText", &AppSettings::paletteBrightText, QColor(255, 0, 0)},
        {"palette/Link", &AppSettings::paletteLink, QColor(42, 130, 218)},
        {"palette/Highlight", &AppSettings::paletteHighlight, QColor(42, 130, 218)},
        {"palette/HighlightedText", &AppSettings::paletteHighlightedText, QColor(0, 0, 0)},
    };
    return keys;
}

// Read only: written by hand, kept by save.
const std::vector<ColorKey>& assistColorKeys()
{
    static const std::vector<ColorKey> keys{
        {"assistWinBorderColor", &AppSettings::assistWinBorderColor, QColor(255, 255, 255)},
        {"assistWinBackColor", &AppSettings::assistWinBackColor, QColor(34, 51, 68)},
        {"assistWinTextColor", &AppSettings::assistWinTextColor, QColor(221, 221, 221)},
    };
    return keys;
}

fileio::WriteResult writeClasses(const AppSettings& a, const QString& path, bool withBom)
{
    return updateIni(
        path,
        [&a](QSettings& s) {
            for (int i = 0; i < AppSettings::ClassCount; ++i) {
                s.setValue(classKey("color/back", i), a.classBack.value(i).name());
                s.setValue(classKey("color/fore", i), a.classFore.value(i).name());
                s.setValue(classKey("class/name", i), a.className.value(i));
            }
        },
        withBom);
}

} // namespace

AppSettings::AppSettings() : className(ClassCount), classBack(ClassCount), classFore(ClassCount) {}

AppSettings& AppSettings::instance()
{
    static AppSettings settings;
    return settings;
}

void AppSettings::load()
{
    readIni(iniPath(), [this](const QSettings& s) {
        backupcnt = s.value(QStringLiteral("backupcnt"), 3).toInt();
        geometry = s.value(QStringLiteral("geometry"), QByteArray(1, '\0')).toByteArray();
        splitter.clear();
        for (const QString& size : s.value(QStringLiteral("splitter")).toStringList())
            splitter.append(size.toInt());

        const QString widthText = textValue(s, QStringLiteral("columnWidth"));
        // An empty value means no widths at all (eight of 40), not one width of 0.
        const QStringList widths =
            widthText.trimmed().isEmpty() ? QStringList() : widthText.split(QLatin1Char(','));
        columnWidth.clear();
        columnWidthSaved = !widths.isEmpty();
        for (int i = 0; i < 8; ++i)
            columnWidth.append(i < widths.size() ? widths.at(i).toInt() : 40);

        csv_filename =
            textValue(s, QStringLiteral("csv_filename"), QStringLiteral("castlelist.csv"));
        coordX = s.value(QStringLiteral("coordX"), 139.949).toDouble();
        coordY = s.value(QStringLiteral("coordY"), 35.7153).toDouble();
        zoomLevel = s.value(QStringLiteral("zoomLevel"), 9).toInt();
        provider = s.value(QStringLiteral("provider"), 1).toInt();
        cache = s.value(QStringLiteral("cache"), true).toBool();
        radius = s.value(QStringLiteral("radius"), 50).toInt();
        siroIcon = s.value(QStringLiteral("siroIcon"), true).toBool();
        timeout = s.value(QStringLiteral("timeout"), 25).toInt();
        sort = s.value(QStringLiteral("sort"), 0).toInt();
        tabWidgetIndex = s.value(QStringLiteral("tabWidgetIndex"), 0).toInt();
        overview = s.value(QStringLiteral("overview"), true).toBool();
        cache_path = textValue(s, QStringLiteral("cache_path"));
        offlinePath = textValue(s, QStringLiteral("offline/path"));
        offlineTms = s.value(QStringLiteral("offline/tms"), false).toBool();
        offlineShown = s.value(QStringLiteral("offline/shown"), false).toBool();

        textFont = fontValue(s, textFontKeys, QStringLiteral("IPAゴシック"), 14);
        inpFont = fontValue(s, inpFontKeys, QStringLiteral("MS UI Gothic"), 9);
        assistFont = fontValue(s, assistFontKeys, QStringLiteral("IPAゴシック"), 12);

        for (const ColorKey& c : colorKeys())
            this->*c.member = colorValue(s, QLatin1String(c.key), c.fallback);
        for (const ColorKey& c : assistColorKeys())
            this->*c.member = colorValue(s, QLatin1String(c.key), c.fallback);

        tilesGoogle = textValue(s, QStringLiteral("tiles/google"));
        tilesOsm = textValue(s, QStringLiteral("tiles/osm"));
        tilesStamen = textValue(s, QStringLiteral("tiles/stamen"));
        tilesGsi = textValue(s, QStringLiteral("tiles/gsi"));
        geocoderGsi = textValue(s, QStringLiteral("geocoder/gsi"));
        geocoderNominatim = textValue(s, QStringLiteral("geocoder/nominatim"));
    });
    loadClasses(classIniPath());
}

fileio::WriteResult AppSettings::save()
{
    const QString path = iniPath();
    backupFile(path);
    const fileio::WriteResult iniSaved = updateIni(
        path,
        [this](QSettings& s) {
            s.setValue(QStringLiteral("csv_filename"), csv_filename);
            s.setValue(QStringLiteral("coordX"), coordX);
            s.setValue(QStringLiteral("coordY"), coordY);
            s.setValue(QStringLiteral("zoomLevel"), zoomLevel);
            s.setValue(QStringLiteral("provider"), provider);
            s.setValue(QStringLiteral("cache"), cache);
            s.setValue(QStringLiteral("sort"), sort);
            s.setValue(QStringLiteral("tabWidgetIndex"), tabWidgetIndex);
            s.setValue(QStringLiteral("overview"), overview);
            s.setValue(QStringLiteral("offline/path"), offlinePath);
            s.setValue(QStringLiteral("offline/tms"), offlineTms);
            s.setValue(QStringLiteral("offline/shown"), offlineShown);
            s.setValue(QStringLiteral("geometry"), geometry);
            QStringList sizes;
            for (int size : splitter)
                sizes << QStringLiteral("%1").arg(size);
            s.setValue(QStringLiteral("splitter"), sizes);
            // One text, as it is read: "100,0,80,40,40,40,40,40".
            QStringList widths;
            for (int width : columnWidth)
                widths << QString::number(width);
            s.setValue(QStringLiteral("columnWidth"), widths.join(QLatin1Char(',')));
            setFont(s, textFontKeys, textFont);
            setFont(s, inpFontKeys, inpFont);
            for (const ColorKey& c : colorKeys())
                s.setValue(QLatin1String(c.key), (this->*c.member).name());
        },
        true);

    const QString classPath = classIniPath();
    backupFile(classPath);
    const fileio::WriteResult classesSaved = writeClasses(*this, classPath, true);

    fileio::WriteResult result{iniSaved.ok && classesSaved.ok, QString()};
    QStringList failed;
    for (const auto& [file, saved] :
         {std::pair(path, iniSaved), std::pair(classPath, classesSaved)}) {
        if (!saved)
            failed << QStringLiteral("%1 に保存できませんでした。\n%2").arg(file, saved.error);
    }
    result.error = failed.join(QLatin1Char('\n'));
    return result;
}

void AppSettings::backupFile(const QString& path)
{
    // A hand-written count of a billion must not make closing loop a billion times.
    rotateBackups(path, qMin(backupcnt, maxBackupGenerations), true);
}

void AppSettings::loadClasses(const QString& path)
{
    className.resize(ClassCount);
    classBack.resize(ClassCount);
    classFore.resize(ClassCount);
    readIni(path, [this](const QSettings& s) {
        for (int i = 0; i < ClassCount; ++i) {
            classBack[i] = colorValue(s, classKey("color/back", i), QColor(128, 128, 128));
            classFore[i] = colorValue(s, classKey("color/fore", i), QColor(255, 255, 255));
            className[i] = textValue(s, classKey("class/name", i));
        }
    });
}

fileio::WriteResult AppSettings::saveClasses(const QString& path)
{
    backupFile(path);
    return writeClasses(*this, path, false);
}

fileio::WriteResult rewriteWithBom(const QString& path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return fileio::WriteResult{false, in.errorString()};
    QTextStream stream(&in);
    stream.setCodec("UTF-8");
    QString text = stream.readAll();
    if (in.error() != QFileDevice::NoError)
        return fileio::WriteResult{false, in.errorString()};
    in.close();
    // Line ends already CR LF stay single: a second rewrite changes nothing.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return fileio::writeFileAtomically(path, utf8Bom + text.toUtf8());
}
