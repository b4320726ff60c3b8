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
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
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

// A deflate encoder made for filtered marker rows, several times faster than
// zlib's fastest level on them: the rows are mostly runs (flat colour gives
// runs of zero after the "Sub" filter, a smooth gradient repeats its pixel
// step, a box repeats the row above), so it looks only for repeats of the
// byte, the pixel or the row before, and writes one block with the fixed
// codes of the deflate format. The files come
// out a little larger than zlib's; every decoder reads them the same.
class RunDeflater
{
public:
    explicit RunDeflater(QByteArray* out, int inputSize) : m_out(out)
    {
        // At worst 9 bits a byte, plus the block's frame.
        out->resize(inputSize + inputSize / 8 + 32);
        m_at = reinterpret_cast<uchar*>(out->data());
    }

    // `row` is the length of a filtered row: the third distance looked at.
    void encode(const uchar* data, int size, int row, bool last)
    {
        put(last ? 1 : 0, 1);
        put(1, 2); // fixed codes
        const Distance distances[] = {distance(1), distance(4), distance(row)};
        const Tables& codes = tables();
        int i = 0;
        while (i < size) {
            // Most bytes start no match: one test of three words tells.
            if (i >= 4 && i + 4 <= size) {
                const quint32 here = start(data + i);
                const bool byHere = here == start(data + i - 1) || here == start(data + i - 4) ||
                                    (i >= row && here == start(data + i - std::min(i, row)));
                if (!byHere) {
                    putCode(codes.literal[data[i++]]);
                    continue;
                }
            }
            int best = 0;
            const Distance* chosen = nullptr;
            for (const Distance& d : distances) {
                // Three bytes must agree before a match pays.
                if (i < d.value || i + MinMatch > size || data[i] != data[i - d.value] ||
                    data[i + 1] != data[i + 1 - d.value] || data[i + 2] != data[i + 2 - d.value])
                    continue;
                const int n = repeat(data, i, size, d.value);
                if (n > best) {
                    best = n;
                    chosen = &d;
                }
            }
            if (!chosen) {
                literal(data[i++]);
                continue;
            }
            putCode(tables().length[best]);
            putCode(chosen->code);
            i += best;
        }
        putCode(tables().endOfBlock);
        if (!last) {
            // An empty stored block brings the stream to a byte boundary, so
            // that runs encoded apart may follow each other.
            put(0, 3);
            alignToByte();
            for (uchar b : {0x00, 0x00, 0xff, 0xff})
                *m_at++ = b;
        } else {
            alignToByte();
        }
        m_out->resize(int(m_at - reinterpret_cast<uchar*>(m_out->data())));
    }

private:
    static constexpr int MinMatch = 3;
    static constexpr int MaxMatch = 258;

    struct Code
    {
        quint32 bits = 0; // reversed, ready for a stream written from the low bit
        int length = 0;
    };
    struct Tables
    {
        Code literal[256];
        Code length[MaxMatch + 1]; // length symbol and its extra bits together
        Code endOfBlock;
    };

    static quint32 reversed(quint32 code, int length)
    {
        quint32 r = 0;
        for (int i = 0; i < length; ++i)
            r |= ((code >> i) & 1u) << (length - 1 - i);
        return r;
    }

    static Code fixedCode(int symbol)
    {
        if (symbol < 144)
            return {reversed(0x30 + quint32(symbol), 8), 8};
        if (symbol < 256)
            return {reversed(0x190 + quint32(symbol - 144), 9), 9};
        if (symbol < 280)
            return {reversed(quint32(symbol - 256), 7), 7};
        return {reversed(0xc0 + quint32(symbol - 280), 8), 8};
    }

    static const Tables& tables()
    {
        static const Tables t = [] {
            Tables made;
            for (int v = 0; v < 256; ++v)
                made.literal[v] = fixedCode(v);
            made.endOfBlock = fixedCode(256);
            // Lengths 3..258: symbols 257.. with 0..5 extra bits; 258 has its own.
            static const int base[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
            static const int extra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
            for (int s = 0; s < 29; ++s) {
                const Code symbol = fixedCode(257 + s);
                const int last = s == 27 ? 257 : base[s] + (1 << extra[s]) - 1;
                for (int len = base[s]; len <= last && len <= MaxMatch; ++len)
                    made.length[len] = {symbol.bits | quint32(len - base[s]) << symbol.length,
                                        symbol.length + extra[s]};
            }
            return made;
        }();
        return t;
    }

    // The first three bytes at p, as one number.
    static quint32 start(const uchar* p) { return qFromLittleEndian<quint32>(p) & 0xffffffu; }

    // How far the bytes from i on repeat those `distance` before, up to 258;
    // eight bytes a step.
    static int repeat(const uchar* data, int i, int size, int distance)
    {
        const int limit = std::min(size - i, MaxMatch);
        const uchar* a = data + i;
        const uchar* b = a - distance;
        int n = 0;
        for (; n + 8 <= limit; n += 8) {
            const quint64 x = qFromLittleEndian<quint64>(a + n);
            const quint64 y = qFromLittleEndian<quint64>(b + n);
            if (x != y)
                return n + qCountTrailingZeroBits(x ^ y) / 8;
        }
        while (n < limit && a[n] == b[n])
            ++n;
        return n;
    }

    void literal(uchar v) { putCode(tables().literal[v]); }

    // A distance back, with its code and extra bits as one.
    struct Distance
    {
        int value = 0;
        Code code;
    };

    static Distance distance(int value)
    {
        // Distances 1..4 have codes 0..3; then each pair of codes doubles the span.
        static const int base[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                   33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        if (value < 1 || value > 32768)
            return {INT_MAX, {}}; // never matches
        int code = 29;
        while (base[code] > value)
            --code;
        const int extra = code < 4 ? 0 : code / 2 - 1;
        return {value, {reversed(quint32(code), 5) | quint32(value - base[code]) << 5, 5 + extra}};
    }

    void putCode(const Code& c) { put(c.bits, c.length); }

    // At most 18 bits a call; whole words go out at once.
    void put(quint32 bits, int count)
    {
        m_bits |= quint64(bits) << m_count;
        m_count += count;
        if (m_count >= 32) {
            for (int k = 0; k < 4; ++k)
                m_at[k] = uchar(m_bits >> (8 * k));
            m_at += 4;
            m_bits >>= 32;
            m_count -= 32;
        }
    }

    // Pads to a byte boundary and writes out every bit held.
    void alignToByte()
    {
        m_count = (m_count + 7) & ~7;
        for (; m_count > 0; m_count -= 8) {
            *m_at++ = uchar(m_bits);
            m_bits >>= 8;
        }
    }

    QByteArray* m_out;
    uchar* m_at = nullptr;
    quint64 m_bits = 0;
    int m_count = 0;
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
            // The four byte differences at once, without borrows between them.
            const quint32 d =
                ((p | 0x80808080u) - (left & 0x7f7f7f7fu)) ^ (~(p ^ left) & 0x80808080u);
            // 0xAARRGGBB to the bytes R, G, B, A.
            qToLittleEndian<quint32>((d & 0xff00ff00u) | (d >> 16 & 0xffu) | (d & 0xffu) << 16,
                                     out);
            out += 4;
            left = p;
        }
    }
    run.length = raw.size();
    run.adler =
        quint32(adler32(1, reinterpret_cast<const Bytef*>(raw.constData()), uInt(raw.size())));
    RunDeflater(&run.bytes, raw.size())
        .encode(reinterpret_cast<const uchar*>(raw.constData()), raw.size(), stride, last);
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
    // Raise the version when the pixels change. A new encoding of the same
    // pixels keeps it: files from an earlier encoder are as good, and a
    // hundred thousand of them are not worth writing again.
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

FileWrite writeMarkerFile(const QString& path, const QByteArray& bytes, QString* error,
                          bool mayExist)
{
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("the picture could not be made");
        return FileWrite::Failed;
    }
    if (mayExist) {
        QFile current(path);
        if (current.size() == bytes.size() && current.open(QIODevice::ReadOnly) &&
            current.readAll() == bytes)
            return FileWrite::Unchanged;
    }
    fileio::WriteResult result =
        fileio::writeFileAtomically(path, bytes, fileio::Durability::Drawn);
    if (!result && !QFileInfo::exists(QFileInfo(path).absolutePath())) {
        // The folder is made on the first file it misses.
        const QString folder = QFileInfo(path).absolutePath();
        if (::mkdir(QFile::encodeName(folder).constData(), 0777) == 0 || errno == EEXIST)
            result = fileio::writeFileAtomically(path, bytes, fileio::Durability::Drawn);
        else
            result.error = fileio::errorReason(errno);
    }
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
