#include "burner/app/size_range_scale.h"

#include "burner/app/burner_startup.h"

#include <algorithm>
#include <cstdio>

void SizeRangeScale::AddMarker(int position, Rgb colour, unsigned char solid) {
    m_markers.push_back({position, colour, solid});
}

void SizeRangeScale::AddBand(int from, Rgb colour) {
    m_bands.push_back({from, colour});
}

SizeRangeScale::Painting SizeRangeScale::Paint(int width, int height) const {
    Painting p;
    p.background = {0, 0, width, height, {240, 240, 240}};
    if (m_nMax <= 0 || width <= 0 || height <= 0) return p; // no scale to divide by

    const double w = width;
    const double h = height;
    auto xOf = [&](double value) { return static_cast<int>(value * w / m_nMax); };
    const Rgb black{0, 0, 0};

    if (m_nMinorStep > 0) {
        for (int i = 0; i < m_nMax / m_nMinorStep; ++i) {
            int x = xOf(static_cast<double>(i) * m_nMinorStep);
            p.ticks.push_back({x, 0, x, static_cast<int>(h * 0.2), black, 1, false});
        }
    }
    if (m_nLabelStep > 0) {
        for (int i = 0; i <= m_nMax / m_nLabelStep; ++i) {
            int value = i * m_nLabelStep;
            int x = xOf(value);
            if (!(x < w * 0.95)) continue;
            p.ticks.push_back({x, 0, x, static_cast<int>(h * 0.5), black, 1, false});
            char text[64];
            std::snprintf(text, sizeof text, "%d%s", value, m_strUnit.c_str());
            p.labels.push_back({x, static_cast<int>(h * 0.6), text});
        }
    }
    for (const Marker& m : m_markers) {
        int x = xOf(m.position);
        p.markers.push_back({x, 0, x, height, m.colour, 2, m.solid == 0});
    }
    const int value = std::clamp(m_nValue, 0, m_nMax);
    const int top = static_cast<int>(h * 0.1);
    const int barHeight = static_cast<int>(h * 0.3);
    for (const Band& b : m_bands) {
        if (b.from > value) continue;
        int left = xOf(b.from);
        int bw = xOf(value) - left;
        p.bars.push_back({left + 1, top + 1, bw + 1, barHeight + 1, {50, 50, 50}});
        p.bars.push_back({left, top, bw, barHeight, b.colour});
    }
    return p;
}

void SetUpScaleForDiscMode(SizeRangeScale& scale, int discMode) {
    const Rgb blue{35, 126, 216};
    const Rgb amber{247, 200, 10};
    const Rgb red{218, 17, 5};
    const bool dvd = discMode == DISC_DVD;
    const int firstLimit = dvd ? 4200 : 650;
    const int secondLimit = dvd ? 4300 : 700;
    scale.SetMax(dvd ? 4800 : 750);
    scale.SetMinorStep(dvd ? 100 : 10);
    scale.SetLabelStep(dvd ? 500 : 100);
    scale.SetUnit("MB");
    scale.ClearBands();
    scale.AddBand(0, blue);
    scale.AddBand(firstLimit, amber);
    scale.AddBand(secondLimit, red);
    scale.ClearMarkers();
    scale.AddMarker(firstLimit, amber, 0);
    scale.AddMarker(secondLimit, red, 0);
}
