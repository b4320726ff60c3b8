#include "widgets/assist/leaderline.h"

#include <QPair>
#include <QRegion>

#include <algorithm>

#include <cstdlib>

namespace assist {

namespace {

// Window and target candidates tried, in order; the first of equally short
// distances wins, so the line is as nearly vertical as they allow.
constexpr int pairs[10][2] = {{1, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 5},
                              {3, 6}, {3, 7}, {4, 8}, {4, 9}, {4, 10}};

// The x positions on the window's and the target's edge for a line that
// leaves through the top or the bottom.
QPair<int, int> nearestColumns(int x, int width, int targetLeft, int targetWidth, bool windowLeft)
{
    const int a = width / 10;
    const int b = targetWidth / 10;
    int bestW = 0;
    int bestT = 0;
    int best = -1;
    for (const auto& pair : pairs) {
        const int w = windowLeft ? x + width - pair[0] * a : x + pair[0] * a;
        const int t =
            windowLeft ? targetLeft + pair[1] * b : targetLeft + targetWidth - pair[1] * b;
        const int distance = std::abs(w - t);
        if (best < 0 || distance < best) {
            best = distance;
            bestW = w;
            bestT = t;
        }
    }
    return {bestW, bestT};
}

} // namespace

LeaderLine layoutLeaderLine(const QRect& window, const QRect& target)
{
    LeaderLine out;
    const int x = window.x();
    const int y = window.y();
    const int width = window.width();
    const int height = window.height();

    // Grown by one pixel at the left and the top: a window touching its
    // widget there needs no line.
    if (QRegion(target).contains(QRect(x - 1, y - 1, width + 1, height + 1)))
        return out;

    const int tl = target.left();
    const int tt = target.top();
    const int tw = target.right() - target.left() + 1;
    const int th = target.bottom() - target.top() + 1;
    const int windowCentreX = x + width / 2;
    const int windowCentreY = y + height / 2;
    const int targetCentreX = tl + tw / 2;
    const int targetCentreY = tt + th / 2;

    QPoint p;
    QPoint q;
    if (windowCentreX <= targetCentreX) {
        if (tl > x + width) {
            p = QPoint(x + width, windowCentreY);
            q = QPoint(tl, targetCentreY);
        } else {
            const auto [w, t] = nearestColumns(x, width, tl, tw, true);
            const bool below = tt >= y;
            p = QPoint(w, below ? y + height : y);
            q = QPoint(t, below ? tt : tt + th);
        }
    } else {
        if (x > tl + tw) {
            p = QPoint(x, windowCentreY);
            q = QPoint(tl + tw, targetCentreY);
        } else {
            const auto [w, t] = nearestColumns(x, width, tl, tw, false);
            const bool below = y <= tt + th;
            p = QPoint(w, below ? y + height : y);
            q = QPoint(t, below ? tt : tt + th);
        }
    }

    out.needed = true;
    out.from = p;
    out.to = q;
    const int boxWidth = std::abs(p.x() - q.x());
    const int boxHeight = std::abs(p.y() - q.y());
    out.box = QRect(std::min(p.x(), q.x()), std::min(p.y(), q.y()), boxWidth ? boxWidth : 2,
                    boxHeight ? boxHeight : 2);
    // Corner to corner: falling when the left end is also the upper one.
    const QPoint& left = p.x() <= q.x() ? p : q;
    const QPoint& right = p.x() <= q.x() ? q : p;
    if (left.y() <= right.y())
        out.line = QLine(0, 0, out.box.width(), out.box.height());
    else
        out.line = QLine(0, out.box.height(), out.box.width(), 0);
    return out;
}

} // namespace assist
