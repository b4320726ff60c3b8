#include "map/markerfiles.h"

#include "fileio/atomicfile.h"
#include "settings/programdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QMutex>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <zlib.h>

QString markerFolder()
{
    return programDir() + QStringLiteral("/image");
}

namespace {

// Room for the writer's temporary name ("." + name + ".XXXXXX") within the
// usual limit of 255 bytes.
constexpr int MaxFileNameBytes = 240;

// What a hashed name looks like at its end, so that a plain name of that
// shape is hashed too and never meets another name's file.
bool looksHashed(const QString& file)
{
    QString stem = file;
    if (stem.endsWith(QLatin1String(".png")))
        stem.chop(4);
    if (stem.size() < 7 || stem.at(stem.size() - 7) != QLatin1Char('-'))
        return false;
    for (int i = stem.size() - 6; i < stem.size(); ++i) {
        const QChar c = stem.at(i);
        if (!(c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

QString shortHash(const QString& name)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(6));
}

} // namespace

QString markerFileName(const QString& name)
{
    QString file = name;
    for (QChar& c : file) {
        const ushort u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7f && u <= 0x9f);
        if (control || QStringLiteral("<>:\"/\\|?*").contains(c))
            c = QLatin1Char('_');
    }
    // Without separators and dot pairs the name is one harmless path part.
    file.replace(QStringLiteral(".."), QStringLiteral("_"));
    // "x.png" would meet the file of "x".
    const bool plain = !name.isEmpty() && file == name && !name.endsWith(QLatin1String(".png")) &&
                       !looksHashed(name);
    if (plain) {
        if (!file.contains(QStringLiteral(".png")))
            file += QStringLiteral(".png");
        if (file.toUtf8().size() <= MaxFileNameBytes)
            return file;
    }
    if (file.endsWith(QLatin1String(".png")))
        file.chop(4);
    const QString tail = QLatin1Char('-') + shortHash(name) + QStringLiteral(".png");
    while (file.toUtf8().size() + tail.size() > MaxFileNameBytes)
        file.chop(file.size() > 1 && file.at(file.size() - 1).isLowSurrogate() ? 2 : 1);
    return file + tail;
}

QString markerFilePath(const QString& name)
{
    return markerFolder() + QLatin1Char('/') + markerFileName(name);
}

namespace {

void appendBig32(QByteArray& out, quint32 v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void appendChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    appendBig32(out, quint32(data.size()));
    const int start = out.size();
    out.append(type, 4);
    out.append(data);
    appendBig32(out, quint32(crc32(0, reinterpret_cast<const Bytef*>(out.constData() + start),
                                   uInt(out.size() - start))));
}

// Rows of a picture compressed on their own: a run of raw deflate blocks that
// ends on a full flush (or, for the last run, the final block), so that runs
// made apart can follow each other in one stream.
struct DeflatedRows
{
    QByteArray bytes;
    quint32 adler = 1;
    qint64 length = 0; // uncompressed bytes, filter bytes included
};

// One compressor per thread, reset for each run instead of made anew.
struct Deflater
{
    z_stream z{};
    bool ready = false;
    ~Deflater()
    {
        if (ready)
            deflateEnd(&z);
    }
    z_stream* get()
    {
        if (!ready) {
            ready = deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
            return ready ? &z : nullptr;
        }
        return deflateReset(&z) == Z_OK ? &z : nullptr;
    }
};

DeflatedRows deflateRows(const QImage& image, int first, int count, bool last)
{
    DeflatedRows run;
    const int w = image.width();
    const int stride = 1 + 4 * w;
    QByteArray raw(stride * count, Qt::Uninitialized);
    uchar* out = reinterpret_cast<uchar*>(raw.data());
    for (int y = first; y < first + count; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        *out++ = 1; // "Sub": each byte less the same byte of the pixel to its left
        QRgb left = 0;
        for (int x = 0; x < w; ++x) {
            const QRgb p = row[x];
            *out++ = uchar(qRed(p) - qRed(left));
            *out++ = uchar(qGreen(p) - qGreen(left));
            *out++ = uchar(qBlue(p) - qBlue(left));
            *out++ = uchar(qAlpha(p) - qAlpha(left));
            left = p;
        }
    }
    run.length = raw.size();
    run.adler =
        quint32(adler32(1, reinterpret_cast<const Bytef*>(raw.constData()), uInt(raw.size())));

    thread_local Deflater deflater;
    z_stream* z = deflater.get();
    if (!z)
        return run;
    run.bytes.resize(int(deflateBound(z, uLong(raw.size()))) + 16);
    z->next_in = reinterpret_cast<Bytef*>(raw.data());
    z->avail_in = uInt(raw.size());
    z->next_out = reinterpret_cast<Bytef*>(run.bytes.data());
    z->avail_out = uInt(run.bytes.size());
    deflate(z, last ? Z_FINISH : Z_FULL_FLUSH);
    run.bytes.resize(int(z->total_out));
    return run;
}

QByteArray assemblePng(const QSize& size, std::initializer_list<const DeflatedRows*> runs)
{
    QByteArray header;
    appendBig32(header, quint32(size.width()));
    appendBig32(header, quint32(size.height()));
    header.append("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, filtered rows, no interlace

    QByteArray data("\x78\x01", 2); // zlib, fastest compression
    quint32 adler = 1;
    for (const DeflatedRows* run : runs) {
        data.append(run->bytes);
        adler = quint32(adler32_combine(adler, run->adler, z_off_t(run->length)));
    }
    appendBig32(data, adler);

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png.reserve(8 + 25 + 12 + data.size() + 12);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", data);
    appendChunk(png, "IEND", QByteArray());
    return png;
}

// The compressed rows above and below the names of the circles of one
// disc: the same for every circle of that colour and those rows.
struct SharedRows
{
    DeflatedRows above;
    DeflatedRows below;
};

SharedRows sharedRows(const QImage& base, QRgb back, int radius, bool siroIcon, int top, int bottom)
{
    static QMutex mutex;
    static QHash<QByteArray, SharedRows> made;
    QByteArray key(reinterpret_cast<const char*>(&back), sizeof back);
    for (int v : {radius, siroIcon ? 1 : 0, top, bottom})
        key.append(reinterpret_cast<const char*>(&v), sizeof v);
    {
        QMutexLocker lock(&mutex);
        const auto it = made.constFind(key);
        if (it != made.cend())
            return *it;
    }
    SharedRows rows;
    rows.above = deflateRows(base, 0, top, false);
    rows.below = deflateRows(base, bottom, base.height() - bottom, true);
    QMutexLocker lock(&mutex);
    if (made.size() >= 4096)
        made.clear();
    made.insert(key, rows);
    return rows;
}

} // namespace

QByteArray encodeMarkerPng(const QImage& image)
{
    if (image.isNull())
        return QByteArray();
    const QImage argb = image.format() == QImage::Format_ARGB32
                            ? image
                            : image.convertToFormat(QImage::Format_ARGB32);
    const DeflatedRows all = deflateRows(argb, 0, argb.height(), true);
    return assemblePng(argb.size(), {&all});
}

QByteArray markerFileBytes(const MarkerStyle& style, const MarkerPicture& picture)
{
    if (!picture.circle)
        return encodeMarkerPng(drawMarkerPicture(style, picture));
    const CirclePicture parts =
        drawCircleParts(picture.name, QColor::fromRgba(picture.back), style.font, style.radius,
                        picture.pointSize, style.siroIcon);
    const SharedRows shared = sharedRows(parts.base, picture.back, style.radius, style.siroIcon,
                                         parts.top, parts.bottom());
    const bool lastIsStrip = parts.bottom() == parts.base.height();
    const DeflatedRows strip = deflateRows(parts.strip, 0, parts.strip.height(), lastIsStrip);
    if (lastIsStrip)
        return assemblePng(parts.base.size(), {&shared.above, &strip});
    return assemblePng(parts.base.size(), {&shared.above, &strip, &shared.below});
}

QByteArray markerFontKey(const QFont& font)
{
    return font.toString().toUtf8();
}

quint64 markerDigest(const MarkerStyle& style, const MarkerPicture& picture,
                     const QByteArray& fontKey)
{
    // Raise the version when the pictures or their encoding change.
    QByteArray key("marker picture 2\n");
    key += fontKey.isEmpty() ? markerFontKey(style.font) : fontKey;
    key += '\n';
    key += picture.name.toUtf8();
    key += '\n';
    key += QByteArray::number(picture.pointSize) + ' ' + QByteArray::number(picture.back) + ' ';
    // Circles do not show the fore colour, labels neither the radius nor the icon.
    if (picture.circle)
        key += "circle " + QByteArray::number(style.radius) + (style.siroIcon ? " icon" : "");
    else
        key += "label " + QByteArray::number(picture.fore);
    const QByteArray sha = QCryptographicHash::hash(key, QCryptographicHash::Sha1);
    quint64 digest = 0;
    for (int i = 0; i < 8; ++i)
        digest = (digest << 8) | uchar(sha.at(i));
    return digest;
}

FileWrite writeMarkerFile(const QString& path, const QByteArray& bytes, QString* error)
{
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("the picture could not be made");
        return FileWrite::Failed;
    }
    {
        QFile current(path);
        if (current.size() == bytes.size() && current.open(QIODevice::ReadOnly) &&
            current.readAll() == bytes)
            return FileWrite::Unchanged;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir() && ::mkdir(QFile::encodeName(folder).constData(), 0777) != 0 &&
        errno != EEXIST) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return FileWrite::Failed;
    }
    const fileio::WriteResult result =
        fileio::writeFileAtomically(path, bytes, fileio::Durability::Cache);
    if (!result) {
        if (error)
            *error = result.error;
        return FileWrite::Failed;
    }
    return FileWrite::Written;
}

QString MarkerManifest::fileName()
{
    return QStringLiteral("pictures.manifest");
}

MarkerManifest::MarkerManifest(const QString& folder) : m_folder(folder) {}

namespace {
const QByteArray manifestHeader("MivaroMap marker pictures 1\n");
}

void MarkerManifest::load()
{
    m_entries.clear();
    m_dirty = false;
    QFile file(m_folder + QLatin1Char('/') + fileName());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray text = file.readAll();
    if (!text.startsWith(manifestHeader))
        return;
    int at = manifestHeader.size();
    while (at < text.size()) {
        int end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        // "<16 hex digits> <file name>"
        if (end - at > 17 && text.at(at + 16) == ' ') {
            bool ok = false;
            const quint64 digest = text.mid(at, 16).toULongLong(&ok, 16);
            if (ok)
                m_entries.insert(QString::fromUtf8(text.constData() + at + 17, end - at - 17),
                                 digest);
        }
        at = end + 1;
    }
}

bool MarkerManifest::save(QString* error)
{
    if (!m_dirty)
        return true;
    QByteArray text = manifestHeader;
    text.reserve(text.size() + m_entries.size() * 40);
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        text += QByteArray::number(it.value(), 16).rightJustified(16, '0');
        text += ' ';
        text += it.key().toUtf8();
        text += '\n';
    }
    const fileio::WriteResult result = fileio::writeFileAtomically(
        m_folder + QLatin1Char('/') + fileName(), text, fileio::Durability::Cache);
    if (!result) {
        if (error)
            *error = result.error;
        return false;
    }
    m_dirty = false;
    return true;
}

bool MarkerManifest::isCurrent(const QString& fileName, quint64 digest) const
{
    const auto it = m_entries.constFind(fileName);
    return it != m_entries.cend() && *it == digest;
}

void MarkerManifest::set(const QString& fileName, quint64 digest)
{
    auto it = m_entries.find(fileName);
    if (it != m_entries.end() && *it == digest)
        return;
    m_entries.insert(fileName, digest);
    m_dirty = true;
}

void MarkerManifest::remove(const QString& fileName)
{
    if (m_entries.remove(fileName))
        m_dirty = true;
}
