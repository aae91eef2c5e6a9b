// What the capacity bar paints for a scale at a size, as a list of shapes in painting order, so
// that the geometry and the colours can be checked without a window.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>

#include <vector>

struct SizeRangeMarker {
    int position;
    QColor colour;
    unsigned char solid; // 0 dotted, otherwise solid
};

struct SizeRangeBand {
    int from;
    QColor colour;
};

// Not named SizeRangeScale: the burner's logic has a class of that name, and two types of one
// name in one program share their implicit members.
struct SizeRangeSpec {
    int max = 0;
    int minorStep = 0;
    int labelStep = 0;
    QString unit;
    std::vector<SizeRangeMarker> markers;
    std::vector<SizeRangeBand> bands;
    int value = 0;
};

struct SizeRangeShape {
    enum Kind { Fill, Line, Label } kind;
    QColor colour;
    QRect rect;          // Fill
    QPoint from, to;     // Line, both ends drawn
    int penWidth = 1;    // Line
    bool dotted = false; // Line
    QString text;        // Label: centred on anchor's x, hanging from its y
    QPoint anchor;
};

constexpr int kSizeRangeLabelPixels = 15;

// x of a value is value * width / max, truncated; so is every other coordinate. A scale whose
// max or steps are not positive draws only what does not divide by them.
std::vector<SizeRangeShape> PlanSizeRange(const SizeRangeSpec& scale, int width, int height);
