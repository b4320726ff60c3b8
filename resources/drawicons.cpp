// Draws the few pictures the Tango theme has no match for. Run once when a
// picture should change and commit the PNGs it writes; the normal build only
// copies the committed files:
//
//   cmake --build <build> --target redraw_icons
//
// (which builds this program and runs it on the source tree's resources/).
// Pixel pictures are given as character maps so that each pixel is a choice;
// the larger ones are painted with antialiasing in the Tango manner: a soft
// fill, a one-pixel darker outline, light from the top left.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cstdio>

namespace {

QImage blank(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// One character per pixel; '.' is transparent.
QImage fromMap(const QStringList& rows, const QHash<QChar, QColor>& colours)
{
    QImage image = blank(rows.first().size(), rows.size());
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            if (colours.contains(rows[y][x]))
                image.setPixelColor(x, y, colours.value(rows[y][x]));
    return image;
}

// A small keep: stone base, three white storeys under dark roofs whose eaves
// turn up at the corners, a pair of ornaments on the ridge. Drawn in the middle
// of coloured discs, so it keeps a dark edge all round.
QImage castle()
{
    const QStringList rows = {
        "......o..o......", //
        "......RRRR......", //
        ".....RrrrrR.....", //
        "...R.RRRRRR.R...", //
        "....RRRRRRRR....", //
        ".....WkWWkW.....", //
        ".....WWWWWW.....", //
        "..R.RRRRRRRR.R..", //
        "...RRRRRRRRRR...", //
        "...WWWkWWkWWW...", //
        "R..WWWWWWWWWW..R", //
        ".RRRRRRRRRRRRRR.", //
        "..WWkWWWWWWkWW..", //
        "..SSSSSSSSSSSS..", //
        ".SsSSsSSsSSsSSS.", //
        "SSSsSSsSSsSSsSSS", //
    };
    const QHash<QChar, QColor> colours = {
        {'o', QColor(196, 160, 0)},   {'R', QColor(46, 52, 54)}, {'r', QColor(85, 87, 83)},
        {'W', QColor(250, 250, 246)}, {'k', QColor(46, 52, 54)}, {'S', QColor(136, 138, 133)},
        {'s', QColor(186, 189, 182)},
    };
    return fromMap(rows, colours);
}

// A pennant pointing left from a pole on the right-hand edge; the pole's foot
// is the bottom-right pixel, which is the point the map pins. At ratio 2 the
// same drawing with twice the pixels, for high-density screens.
QImage flag(int ratio)
{
    QImage image = blank(19 * ratio, 25 * ratio);
    QPainter p(&image);
    p.scale(ratio, ratio);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath pennant;
    pennant.moveTo(16.5, 2.5);
    pennant.lineTo(0.8, 7.5);
    pennant.lineTo(16.5, 12.5);
    pennant.closeSubpath();
    QLinearGradient cloth(0, 2, 0, 13);
    cloth.setColorAt(0, QColor(239, 41, 41));
    cloth.setColorAt(1, QColor(204, 0, 0));
    p.setPen(QPen(QColor(164, 0, 0), 1.0));
    p.setBrush(cloth);
    p.drawPath(pennant);

    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(17, 1, 2, 24, QColor(85, 87, 83));
    p.fillRect(17, 1, 1, 24, QColor(136, 138, 133));
    p.fillRect(16, 0, 3, 2, QColor(196, 160, 0));
    return image;
}

// A painter's palette with four blobs of paint.
QImage palette()
{
    QImage image = blank(24, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath board;
    board.addEllipse(QRectF(1.5, 3.5, 21, 17));
    QPainterPath notch;
    notch.addEllipse(QRectF(13, 14, 9, 7));
    QPainterPath hole;
    hole.addEllipse(QRectF(5, 13, 4, 3.5));
    board = board.subtracted(notch).subtracted(hole);

    QLinearGradient wood(0, 3, 0, 21);
    wood.setColorAt(0, QColor(247, 225, 170));
    wood.setColorAt(1, QColor(222, 180, 110));
    p.setPen(QPen(QColor(143, 89, 2), 1.0));
    p.setBrush(wood);
    p.drawPath(board);

    const struct
    {
        QPointF centre;
        QColor fill;
    } blobs[] = {
        {{6.5, 8.5}, QColor(204, 0, 0)},
        {{11.5, 6.5}, QColor(237, 212, 0)},
        {{16.5, 7.5}, QColor(78, 154, 6)},
        {{18.0, 12.0}, QColor(32, 74, 135)},
    };
    for (const auto& blob : blobs) {
        p.setPen(QPen(blob.fill.darker(140), 1.0));
        p.setBrush(blob.fill);
        p.drawEllipse(blob.centre, 2.2, 2.0);
    }
    return image;
}

// Three table rows; `marked` says which carry the highlight of a marked row.
void drawRows(QPainter& p, const bool marked[3])
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(85, 87, 83));
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(1, 2, 19, 17);
    for (int i = 0; i < 3; ++i) {
        const QRect row(3, 4 + i * 5, 16, 4);
        if (marked[i])
            p.fillRect(row, QColor(70, 130, 180));
        else
            p.fillRect(row, QColor(211, 215, 207));
    }
}

// A round badge in the bottom-right corner, over the rows.
void drawBadge(QPainter& p, const QColor& fill)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(150), 1.0));
    p.setBrush(fill);
    p.drawEllipse(QRectF(11.5, 11.5, 12, 12));
}

// Marked rows with a red cross: every mark goes.
QImage markClearAll()
{
    QImage image = blank(24, 24);
    QPainter p(&image);
    const bool rows[3] = {true, true, true};
    drawRows(p, rows);
    drawBadge(p, QColor(239, 41, 41));
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 15), QPointF(20, 20));
    p.drawLine(QPointF(20, 15), QPointF(15, 20));
    return image;
}

// Mixed rows with two opposed arrows: marked and unmarked swap.
QImage markToggle()
{
    QImage image = blank(24, 24);
    QPainter p(&image);
    const bool rows[3] = {true, false, true};
    drawRows(p, rows);
    drawBadge(p, QColor(78, 154, 6));
    p.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(14.5, 15.5), QPointF(18.5, 15.5));
    p.drawLine(QPointF(16.5, 19.5), QPointF(20.5, 19.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{18.0, 13.0}, {21.5, 15.5}, {18.0, 18.0}}));
    p.drawPolygon(QPolygonF({{17.0, 17.0}, {13.5, 19.5}, {17.0, 22.0}}));
    return image;
}

// A plain round badge for the "about Qt" entry: slate blue with the two letters.
QImage qtBadge()
{
    QImage image = blank(24, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QRadialGradient shade(QPointF(9, 8), 16);
    shade.setColorAt(0, QColor(114, 159, 207));
    shade.setColorAt(1, QColor(52, 101, 164));
    p.setPen(QPen(QColor(32, 74, 135), 1.0));
    p.setBrush(shade);
    p.drawEllipse(QRectF(1.5, 1.5, 21, 21));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(1.5, 1.5, 21, 21), Qt::AlignCenter, QStringLiteral("Qt"));
    return image;
}

// The program's own picture: a folded map sheet of three panels (land, a
// river, a road) with a red pin standing on it.
QImage mapSheet()
{
    QImage image = blank(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Panels fold alternately back and forth; the middle one lies in shade.
    const QPolygonF panels[3] = {
        QPolygonF({{4.5, 14.5}, {23.5, 9.5}, {23.5, 55.5}, {4.5, 60.5}}),
        QPolygonF({{23.5, 9.5}, {41.5, 14.5}, {41.5, 60.5}, {23.5, 55.5}}),
        QPolygonF({{41.5, 14.5}, {59.5, 9.5}, {59.5, 55.5}, {41.5, 60.5}}),
    };
    const QColor land[3] = {QColor(205, 232, 175), QColor(178, 210, 146), QColor(205, 232, 175)};
    QPainterPath sheet;
    for (int i = 0; i < 3; ++i) {
        QPainterPath panel;
        panel.addPolygon(panels[i]);
        panel.closeSubpath();
        p.fillPath(panel, land[i]);
        sheet = sheet.united(panel);
    }

    p.save();
    p.setClipPath(sheet);
    // A river across the sheet and a road crossing it.
    QPainterPath river;
    river.moveTo(2, 44);
    river.cubicTo(18, 36, 30, 54, 46, 44);
    river.cubicTo(54, 39, 58, 42, 62, 38);
    p.setPen(QPen(QColor(114, 159, 207), 5.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(river);
    p.setPen(QPen(QColor(252, 233, 79), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 20), QPointF(52, 58));
    p.setPen(QPen(QColor(196, 160, 0), 1.0));
    p.drawLine(QPointF(10, 18.5), QPointF(53, 57));
    p.restore();

    p.setPen(QPen(QColor(78, 154, 6).darker(130), 1.0));
    p.setBrush(Qt::NoBrush);
    for (const QPolygonF& panel : panels)
        p.drawPolygon(panel);

    // The pin: a drop-shaped head over a point at (36, 40).
    const QPointF tip(36, 40);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawEllipse(tip + QPointF(2, 0), 5, 2);
    QPainterPath pin;
    pin.moveTo(tip);
    pin.cubicTo(tip + QPointF(-4, -9), tip + QPointF(-12, -14), tip + QPointF(-12, -22));
    pin.arcTo(QRectF(tip.x() - 12, tip.y() - 34, 24, 24), 180, -180);
    pin.cubicTo(tip + QPointF(12, -14), tip + QPointF(4, -9), tip);
    QLinearGradient shine(tip.x() - 12, tip.y() - 34, tip.x() + 12, tip.y());
    shine.setColorAt(0, QColor(239, 41, 41));
    shine.setColorAt(1, QColor(164, 0, 0));
    p.setPen(QPen(QColor(120, 0, 0), 1.0));
    p.setBrush(shine);
    p.drawPath(pin);
    p.setPen(QPen(QColor(164, 0, 0), 1.0));
    p.setBrush(Qt::white);
    p.drawEllipse(tip + QPointF(0, -22), 4.5, 4.5);
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (!QDir().mkpath(QFileInfo(path).path()) || !image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    ok &= save(castle(), dir + "/icons/siro16.png");
    ok &= save(palette(), dir + "/icons/color.png");
    ok &= save(markClearAll(), dir + "/icons/allclr.png");
    ok &= save(markToggle(), dir + "/icons/clr.png");
    ok &= save(qtBadge(), dir + "/icons/qt-icon.png");
    ok &= save(flag(1), dir + "/images/flag.png");
    ok &= save(flag(2), dir + "/images/flag@2x.png");
    ok &= save(mapSheet(), dir + "/icons/mapimage.png");
    return ok ? 0 : 1;
}
