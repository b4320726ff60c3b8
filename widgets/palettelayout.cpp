#include "widgets/palettelayout.h"

#include <algorithm>

namespace palette {

namespace {
constexpr int ClassCount = 200;
constexpr int PageRows = 20;
} // namespace

QVector<Page> pages(const QVector<QString>& names)
{
    QVector<Page> out;
    out.append(Page{QStringLiteral("0-19"), {}, false});
    int end = PageRows - 1;
    const int count = std::min(ClassCount, int(names.size()));
    for (int i = 0; i < count; ++i) {
        if (names.at(i).isEmpty())
            continue;
        if (i > end) {
            // The page of the twenty the class belongs to, so that its title says what it shows.
            const int first = i / PageRows * PageRows;
            end = first + PageRows - 1;
            out.last().spacer = out.last().classes.size() < PageRows;
            out.append(Page{QStringLiteral("%1-%2").arg(first).arg(end), {}, false});
        }
        out.last().classes.append(i);
    }
    out.last().spacer = out.last().classes.size() < PageRows;
    return out;
}

QPoint position(const QPoint& cursor, const QSize& size, int bottom, const QRect& screen)
{
    int x = cursor.x() + 5;
    int y = cursor.y();
    if (bottom + 1 - cursor.y() < size.height()) {
        y = bottom + 1 - size.height();
        if (y <= 9)
            y = 10;
    }
    if (screen.isValid()) {
        if (x + size.width() > screen.right() + 1)
            x = screen.right() + 1 - size.width();
        if (x < screen.left())
            x = screen.left();
    }
    return QPoint(x, y);
}

} // namespace palette
