#include "widgets/assist/assistfile.h"

#include "fileio/atomicfile.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSettings>

namespace assist {

namespace {

void openIni(QSettings& settings)
{
    settings.setIniCodec("UTF-8");
}

// A value as written, escapes and quotes resolved as QSettings does but without
// splitting at commas.
QString unescapedText(const QString& raw)
{
    QString out;
    for (int i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == QLatin1Char('"'))
            continue;
        if (c != QLatin1Char('\\') || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const QChar e = raw.at(++i);
        switch (e.unicode()) {
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 'a':
            out += QLatin1Char('\a');
            break;
        case 'b':
            out += QLatin1Char('\b');
            break;
        case 'f':
            out += QLatin1Char('\f');
            break;
        case 'v':
            out += QLatin1Char('\v');
            break;
        default:
            out += e;
            break;
        }
    }
    return out;
}

// The raw text after "=" of every key of every group ("group/key"), the last one of
// a repeated key winning as in QSettings.
QHash<QString, QString> rawValues(const QString& path)
{
    QHash<QString, QString> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QString group;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QChar(0xFEFF)))
            line = line.mid(1).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            group = line.mid(1, line.indexOf(QLatin1Char(']')) - 1).trimmed();
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && !line.startsWith(QLatin1Char(';')))
            out.insert(group + QLatin1Char('/') + line.left(eq).trimmed(),
                       line.mid(eq + 1).trimmed());
    }
    return out;
}

// A text key: an unquoted ASCII comma makes QSettings return a list (shown as
// nothing); such a value is taken as the text it is.
QString textValue(const QSettings& settings, const QHash<QString, QString>& raw, const QString& key)
{
    const QVariant value = settings.value(key);
    if (value.type() != QVariant::StringList)
        return value.toString();
    const auto found = raw.constFind(settings.group() + QLatin1Char('/') + key);
    return found == raw.constEnd() ? value.toStringList().join(QStringLiteral(", "))
                                   : unescapedText(*found);
}

} // namespace

QList<HelpEntry> readHelpIndex(const QString& path)
{
    QSettings index(path, QSettings::IniFormat);
    openIni(index);
    const QHash<QString, QString> raw = rawValues(path);
    QList<HelpEntry> out;
    for (const QString& group : index.childGroups()) {
        index.beginGroup(group);
        out.append({textValue(index, raw, QStringLiteral("title")),
                    textValue(index, raw, QStringLiteral("file"))});
        index.endGroup();
    }
    return out;
}

AssistFile readAssistFile(const QString& path)
{
    const AppSettings& settings = AppSettings::instance();
    QSettings file(path.trimmed(), QSettings::IniFormat);
    openIni(file);
    const QHash<QString, QString> raw = rawValues(path.trimmed());
    AssistFile out;
    for (const QString& group : file.childGroups()) {
        file.beginGroup(group);
        AssistWindowSpec spec{group,
                              {},
                              {},
                              settings.assistWinBorderColor,
                              settings.assistWinBackColor,
                              settings.assistWinTextColor};
        for (const QString& key : file.childKeys()) {
            if (key == QLatin1String("window")) {
                spec.window = file.value(key).toStringList();
            } else if (key == QLatin1String("borderColor")) {
                spec.borderColor.setNamedColor(file.value(key, spec.borderColor.name()).toString());
            } else if (key == QLatin1String("backColor")) {
                spec.backColor.setNamedColor(file.value(key, spec.backColor.name()).toString());
            } else if (key == QLatin1String("textColor")) {
                spec.textColor.setNamedColor(file.value(key, spec.textColor.name()).toString());
            } else {
                spec.texts.append(textValue(file, raw, key));
            }
        }
        file.endGroup();
        // A window needs all four numbers; fewer is as good as none.
        if (spec.window.size() < 4) {
            out.missingWindow = true;
            break;
        }
        out.specs.append(spec);
    }
    return out;
}

QString helpFolder()
{
    return QDir::cleanPath(programDir() + QStringLiteral("/help"));
}

QString helpFilePath(const QString& entry)
{
    const QString path = QDir::cleanPath(programDir() + entry);
    return insideHelpFolder(path) ? path : QString();
}

bool insideHelpFolder(const QString& path)
{
    return QDir::cleanPath(path.trimmed()).startsWith(helpFolder() + QLatin1Char('/'));
}

QByteArray withIniValue(const QByteArray& text, const QString& group, const QString& key,
                        const QString& value)
{
    QList<QByteArray> lines = text.split('\n');
    const bool crlf = !lines.isEmpty() && lines.first().endsWith('\r');
    const QByteArray eol = crlf ? "\r\n" : "\n";
    const QByteArray entry = key.toUtf8() + '=' + value.toUtf8();

    int lastHeader = -1;
    int lastKey = -1;
    bool inGroup = false;
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i].trimmed();
        if (i == 0 && line.startsWith("\xEF\xBB\xBF"))
            line = line.mid(3).trimmed();
        if (line.startsWith('[')) {
            const int end = line.indexOf(']');
            inGroup = end > 0 && QString::fromUtf8(line.mid(1, end - 1)).trimmed() == group;
            if (inGroup)
                lastHeader = i;
            continue;
        }
        const int eq = line.indexOf('=');
        if (inGroup && eq > 0 && QString::fromUtf8(line.left(eq)).trimmed() == key)
            lastKey = i;
    }

    // A repeated key counts from its last line, so that one is replaced.
    if (lastKey >= 0) {
        const QByteArray& old = lines[lastKey];
        lines[lastKey] =
            old.left(old.indexOf('=') + 1) + value.toUtf8() + (old.endsWith('\r') ? "\r" : "");
        return lines.join('\n');
    }
    if (lastHeader >= 0) {
        lines.insert(lastHeader + 1, entry + (crlf ? "\r" : ""));
        return lines.join('\n');
    }
    QByteArray out = text;
    if (!out.isEmpty() && !out.endsWith('\n'))
        out += eol;
    return out + '[' + group.toUtf8() + ']' + eol + entry + eol;
}

QString writeWindowKey(const QString& path, const QString& group, const QStringList& window)
{
    if (!insideHelpFolder(path))
        return QStringLiteral("ヘルプフォルダの外です");
    QFile file(path);
    // An unreadable file is not replaced by a file of one group.
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray text = file.readAll();
    file.close();
    const QByteArray updated =
        withIniValue(text, group, QStringLiteral("window"), window.join(QStringLiteral(", ")));
    const fileio::WriteResult result =
        fileio::writeFileAtomically(path, updated, fileio::Durability::Synced);
    return result ? QString() : result.error;
}

} // namespace assist
