#include "controls/size_range_plan.h"

#include <algorithm>
#include <cstdint>

namespace {

SizeRangeShape Line(QPoint from, QPoint to, QColor colour, int width = 1, bool dotted = false) {
    SizeRangeShape s{SizeRangeShape::Line, colour, {}, from, to, width, dotted, {}, {}};
    return s;
}

SizeRangeShape Fill(QRect rect, QColor colour) {
    SizeRangeShape s{SizeRangeShape::Fill, colour, rect, {}, {}, 1, false, {}, {}};
    return s;
}

} // namespace

std::vector<SizeRangeShape> PlanSizeRange(const SizeRangeSpec& scale, int width, int height) {
    std::vector<SizeRangeShape> shapes;
    const int W = width, H = height;
    shapes.push_back(Fill(QRect(0, 0, W, H), QColor(240, 240, 240)));
    if (scale.max <= 0) return shapes; // no scale to place anything on
    auto x = [&](std::int64_t value) { return static_cast<int>(value * W / scale.max); };
    const QColor black(0, 0, 0);
    if (scale.minorStep > 0) {
        for (int i = 0; i < scale.max / scale.minorStep; ++i) {
            int px = x(std::int64_t(i) * scale.minorStep);
            shapes.push_back(Line(QPoint(px, 0), QPoint(px, static_cast<int>(H * 0.2)), black));
        }
    }
    if (scale.labelStep > 0) {
        for (int i = 0; i <= scale.max / scale.labelStep; ++i) {
            int px = x(std::int64_t(i) * scale.labelStep);
            if (!(px < W * 0.95)) continue;
            shapes.push_back(Line(QPoint(px, 0), QPoint(px, static_cast<int>(H * 0.5)), black));
            SizeRangeShape label{SizeRangeShape::Label, black, {}, {}, {}, 1, false, {}, {}};
            label.text = QString("%1%2").arg(i * scale.labelStep).arg(scale.unit);
            label.anchor = QPoint(px, static_cast<int>(H * 0.6));
            shapes.push_back(label);
        }
    }
    for (const SizeRangeMarker& m : scale.markers) {
        int px = x(m.position);
        shapes.push_back(Line(QPoint(px, 0), QPoint(px, H), m.colour, 2, m.solid == 0));
    }
    const int value = std::min(scale.value, scale.max);
    const int top = static_cast<int>(H * 0.1);
    const int bandHeight = static_cast<int>(H * 0.3);
    for (const SizeRangeBand& band : scale.bands) {
        if (band.from > value) continue;
        int left = x(band.from);
        int w = x(value) - left;
        shapes.push_back(Fill(QRect(left + 1, top + 1, w + 1, bandHeight + 1), QColor(50, 50, 50)));
        shapes.push_back(Fill(QRect(left, top, w, bandHeight), band.colour));
    }
    return shapes;
}
