// The capacity bar's scale and what one paint of it draws, in the bar's own pixels. The widget
// keeps one of these, answers SetValue by repainting its parent, and draws the primitives of
// Paint as they come.
#pragma once

#include <string>
#include <vector>

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb&) const = default;
};

class SizeRangeScale {
  public:
    struct Marker {
        int position;
        Rgb colour;
        unsigned char solid; // 0: dotted
    };
    struct Band {
        int from;
        Rgb colour;
    };

    void SetMax(int max) { m_nMax = max; }
    void SetMinorStep(int step) { m_nMinorStep = step; }
    void SetLabelStep(int step) { m_nLabelStep = step; }
    void SetUnit(const std::string& unit) { m_strUnit = unit; }
    void ClearMarkers() { m_markers.clear(); }
    void AddMarker(int position, Rgb colour, unsigned char solid);
    void ClearBands() { m_bands.clear(); }
    void AddBand(int from, Rgb colour);
    void SetValue(int value) { m_nValue = value; }
    int GetValue() const { return m_nValue; }

    int Max() const { return m_nMax; }
    int MinorStep() const { return m_nMinorStep; }
    int LabelStep() const { return m_nLabelStep; }
    const std::string& Unit() const { return m_strUnit; }
    const std::vector<Marker>& Markers() const { return m_markers; }
    const std::vector<Band>& Bands() const { return m_bands; }

    // In drawing order: the background, the short ticks, the long ticks with their labels, the
    // markers, then for each reached band its shadow and its bar.
    struct Line {
        int x1, y1, x2, y2;
        Rgb colour;
        int penWidth;
        bool dotted;
    };
    struct Label {
        int x, y; // the text is centred on x and hangs from y
        std::string text;
    };
    struct Rect {
        int x, y, width, height;
        Rgb colour;
    };
    struct Painting {
        Rect background;
        std::vector<Line> ticks;   // short, then long
        std::vector<Label> labels; // Arial, 15 pixels high, transparent
        std::vector<Line> markers;
        std::vector<Rect> bars; // shadow, band, shadow, band, ...
    };
    Painting Paint(int width, int height) const;

  private:
    int m_nMax = 0;
    int m_nMinorStep = 0;
    int m_nLabelStep = 0;
    std::string m_strUnit;
    std::vector<Marker> m_markers;
    std::vector<Band> m_bands;
    int m_nValue = 0;
};

// The scale of the disc mode: 750 MB with limits at 650 and 700 for VCD and SVCD, 4800 MB with
// limits at 4200 and 4300 for DVD.
void SetUpScaleForDiscMode(SizeRangeScale& scale, int discMode);
