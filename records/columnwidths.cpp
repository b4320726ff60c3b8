#include "records/columnwidths.h"

#include <algorithm>

QVector<int> contentColumnWidths(const PlaceList& places, const QStringList& headers,
                                 const QFontMetrics& cells, const QFontMetrics& header,
                                 int cellPadding, int headerPadding, int cap, int sample)
{
    QVector<int> widths(8, 0);
    for (int c = 0; c < 8; ++c)
        widths[c] = header.horizontalAdvance(headers.value(c)) + headerPadding;
    const size_t rows = std::min(places.size(), size_t(std::max(sample, 0)));
    for (size_t i = 0; i < rows; ++i) {
        for (int c = 0; c < 8; ++c) {
            // Past the cap the text is cut anyway: no need to measure all of it.
            if (widths[c] >= cap)
                continue;
            const QString& text = places[i]->field(c);
            widths[c] = std::max(widths[c], cells.horizontalAdvance(text) + cellPadding);
        }
    }
    for (int& w : widths)
        w = std::min(w, cap);
    return widths;
}
