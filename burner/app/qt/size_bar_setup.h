// The capacity bar's scale in plain values, so that the main window can hand the logic's scale
// to the CSizeRange widget: the logic's scale and the widget's carry the same name, so no file
// may see both.
#pragma once

#include <string>
#include <vector>

class QWidget;

struct SizeBarSetup {
    struct Mark {
        int position;
        int r, g, b;
        unsigned char solid;
    };
    int max = 0;
    int minorStep = 0;
    int labelStep = 0;
    std::string unit;
    std::vector<Mark> markers;
    std::vector<Mark> bands; // position is the band's start; solid is unused
    int value = 0;
};

// A CSizeRange, seen from here as a plain widget.
QWidget* MakeSizeBar(QWidget* parent);
// Sets the scale, markers and bands once and the value every time; repaints only on change.
// bar is one made by MakeSizeBar.
void ApplySizeBarSetup(QWidget& bar, const SizeBarSetup& setup);
int SizeBarValue(const QWidget& bar);
int SizeBarMax(const QWidget& bar);
