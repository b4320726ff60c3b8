#include "app/windowlayout.h"

#include <algorithm>

namespace windowlayout {

QRect firstStartGeometry(const QRect& available, const QSize& minimum)
{
    const QSize size = QSize(available.width() * 85 / 100, available.height() * 85 / 100)
                           .expandedTo(minimum)
                           .boundedTo(available.size());
    return QRect(available.left() + (available.width() - size.width()) / 2,
                 available.top() + (available.height() - size.height()) / 2, size.width(),
                 size.height());
}

QRect keptOnScreen(const QRect& window, const QRect& available, const QSize& minimum)
{
    QRect kept(
        window.topLeft(),
        window.size().boundedTo(available.size()).expandedTo(minimum.boundedTo(window.size())));
    kept.moveLeft(std::clamp(kept.left(), available.left(),
                             std::max(available.left(), available.right() + 1 - kept.width())));
    kept.moveTop(std::clamp(kept.top(), available.top(),
                            std::max(available.top(), available.bottom() + 1 - kept.height())));
    return kept;
}

QList<int> firstStartSplitter(int total, int tablesWanted)
{
    const int tables = std::clamp(tablesWanted, 0, total * 40 / 100);
    return {tables, total - tables};
}

} // namespace windowlayout
