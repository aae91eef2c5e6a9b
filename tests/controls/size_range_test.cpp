#include "controls/size_range.h"

#include "controls_test_app.h"

#include <QImage>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

const QColor kBlue(35, 126, 216), kAmber(247, 200, 10), kRed(218, 17, 5);
const QColor kBack(240, 240, 240), kShadow(50, 50, 50), kBlack(0, 0, 0);

// The capacity bar of the main window, set up as for the disc type.
struct Scale {
    int max, minor, label, amber, red;
};
const Scale kVcd{750, 10, 100, 650, 700};
const Scale kDvd{4800, 100, 500, 4200, 4300};

SizeRangeSpec MakeScale(const Scale& s, int value) {
    SizeRangeSpec scale;
    scale.max = s.max;
    scale.minorStep = s.minor;
    scale.labelStep = s.label;
    scale.unit = "MB";
    scale.bands = {{0, kBlue}, {s.amber, kAmber}, {s.red, kRed}};
    scale.markers = {{s.amber, kAmber, 0}, {s.red, kRed, 0}};
    scale.value = value;
    return scale;
}

void ConfigureBar(CSizeRange& bar, const Scale& s) {
    bar.SetMax(s.max);
    bar.SetMinorStep(s.minor);
    bar.SetLabelStep(s.label);
    bar.SetUnit("MB");
    bar.AddBand(0, kBlue);
    bar.AddBand(s.amber, kAmber);
    bar.AddBand(s.red, kRed);
    bar.AddMarker(s.amber, kAmber, 0);
    bar.AddMarker(s.red, kRed, 0);
}

std::vector<SizeRangeShape> Of(const std::vector<SizeRangeShape>& shapes,
                               SizeRangeShape::Kind kind) {
    std::vector<SizeRangeShape> out;
    for (const SizeRangeShape& s : shapes)
        if (s.kind == kind) out.push_back(s);
    return out;
}

TEST(SizeRangePlan, LabelsTheVcdScaleTo700AndTheDvdScaleTo4500) {
    struct Case {
        Scale scale;
        int width;
        std::vector<QString> labels;
        int shortTicks;
    } cases[] = {
        {kVcd, 600, {"0MB", "100MB", "200MB", "300MB", "400MB", "500MB", "600MB", "700MB"}, 75},
        {kDvd,
         640,
         {"0MB", "500MB", "1000MB", "1500MB", "2000MB", "2500MB", "3000MB", "3500MB", "4000MB",
          "4500MB"},
         48},
    };
    for (const Case& c : cases) {
        const int H = 40;
        auto shapes = PlanSizeRange(MakeScale(c.scale, 0), c.width, H);
        auto labels = Of(shapes, SizeRangeShape::Label);
        ASSERT_EQ(labels.size(), c.labels.size());
        for (std::size_t i = 0; i < labels.size(); ++i) {
            EXPECT_EQ(labels[i].text, c.labels[i]);
            int value = static_cast<int>(i) * c.scale.label;
            EXPECT_EQ(labels[i].anchor, QPoint(value * c.width / c.scale.max, 24));
        }
        auto lines = Of(shapes, SizeRangeShape::Line);
        int shortTicks = 0, longTicks = 0;
        for (const SizeRangeShape& l : lines) {
            if (l.to.y() == 8) ++shortTicks;
            if (l.to.y() == 20) ++longTicks;
        }
        EXPECT_EQ(shortTicks, c.shortTicks);
        EXPECT_EQ(longTicks, static_cast<int>(c.labels.size()));
        // The two dotted limit markers, full height and two pixels wide, in their colours.
        std::vector<SizeRangeShape> markers;
        for (const SizeRangeShape& l : lines)
            if (l.to.y() == H) markers.push_back(l);
        ASSERT_EQ(markers.size(), 2u);
        EXPECT_EQ(markers[0].from.x(), c.scale.amber * c.width / c.scale.max);
        EXPECT_EQ(markers[0].colour, kAmber);
        EXPECT_EQ(markers[1].colour, kRed);
        EXPECT_TRUE(markers[0].dotted && markers[1].dotted);
        EXPECT_EQ(markers[0].penWidth, 2);
    }
}

TEST(SizeRangePlan, BandsRunFromTheirStartToTheClampedValueOverTheirShadows) {
    const int W = 750, H = 50; // one pixel per megabyte on the VCD scale
    struct Case {
        int value;
        std::vector<QRect> fills; // after the background, shadow and band in turn
    } cases[] = {
        {0, {QRect(1, 6, 1, 16), QRect(0, 5, 0, 15)}},
        {680,
         {QRect(1, 6, 681, 16), QRect(0, 5, 680, 15), QRect(651, 6, 31, 16),
          QRect(650, 5, 30, 15)}},
        {900,
         {QRect(1, 6, 751, 16), QRect(0, 5, 750, 15), QRect(651, 6, 101, 16),
          QRect(650, 5, 100, 15), QRect(701, 6, 51, 16), QRect(700, 5, 50, 15)}},
        {-5, {}},
    };
    for (const Case& c : cases) {
        auto fills = Of(PlanSizeRange(MakeScale(kVcd, c.value), W, H), SizeRangeShape::Fill);
        ASSERT_EQ(fills.size(), c.fills.size() + 1) << c.value;
        EXPECT_EQ(fills[0].rect, QRect(0, 0, W, H));
        EXPECT_EQ(fills[0].colour, kBack);
        for (std::size_t i = 0; i < c.fills.size(); ++i) {
            EXPECT_EQ(fills[i + 1].rect, c.fills[i]) << c.value << " fill " << i;
            const QColor bands[] = {kBlue, kAmber, kRed};
            EXPECT_EQ(fills[i + 1].colour, i % 2 == 0 ? kShadow : bands[i / 2]);
        }
    }
}

TEST(SizeRangePlan, AScaleWithoutSizeOrStepsDrawsOnlyWhatItCan) {
    SizeRangeSpec scale = MakeScale(kVcd, 100);
    scale.max = 0;
    EXPECT_EQ(PlanSizeRange(scale, 300, 40).size(), 1u) << "only the background";
    scale = MakeScale(kVcd, 100);
    scale.minorStep = 0;
    scale.labelStep = -1;
    auto shapes = PlanSizeRange(scale, 300, 40);
    EXPECT_TRUE(Of(shapes, SizeRangeShape::Label).empty());
    EXPECT_EQ(Of(shapes, SizeRangeShape::Line).size(), 2u) << "the markers alone";
}

// The bar painted into an image shows the planned colours where the plan puts them.
TEST(SizeRangeWidget, PaintsBandsTicksMarkersAndLabelsWhereThePlanSays) {
    ControlsTestApp();
    struct Case {
        Scale scale;
        int value;
    } cases[] = {{kVcd, 720}, {kDvd, 4250}};
    for (const Case& c : cases) {
        CSizeRange bar;
        ConfigureBar(bar, c.scale);
        bar.resize(600, 40);
        bar.SetValue(c.value);
        EXPECT_EQ(bar.GetValue(), c.value);
        QImage image(bar.size(), QImage::Format_RGB32);
        bar.render(&image);
        const int W = 600, H = 40;
        auto x = [&](int v) { return v * W / c.scale.max; };
        auto at = [&](int px, int py) { return image.pixelColor(px, py); };
        const int bandY = H / 4; // inside 0.1H .. 0.4H
        EXPECT_EQ(at(x(c.scale.amber) / 2 + 2, bandY), kBlue);
        EXPECT_EQ(at((x(c.scale.amber) + std::min(x(c.scale.red), x(c.value))) / 2, bandY), kAmber);
        const bool red = c.value > c.scale.red;
        if (red) {
            EXPECT_EQ(at(x(c.value) - 2, bandY), kRed);
        }
        // Past the value: background between the ticks, and the shadow one pixel below the bar.
        EXPECT_EQ(at(x(c.value) + 3, bandY), kBack) << c.value;
        EXPECT_EQ(at(x(c.value) - 3, 16), kShadow);
        // Ticks above the bar, in black: a short one and a long one with its label under it.
        EXPECT_EQ(at(x(c.scale.minor * 3), 1), kBlack);
        EXPECT_EQ(at(x(c.scale.label), 18), kBlack);
        EXPECT_EQ(at(x(c.scale.minor * 3) + 2, 18), kBack);
        int dark = 0;
        for (int py = 24; py < H; ++py)
            for (int px = x(c.scale.label) - 15; px < x(c.scale.label) + 15; ++px)
                dark += at(px, py).lightness() < 120;
        EXPECT_GT(dark, 10) << "the label under the first long tick";
        // The dotted markers where neither the bar nor a label covers them: their colour, with
        // gaps.
        for (const auto& [value, colour] :
             {std::pair{c.scale.amber, kAmber}, std::pair{c.scale.red, kRed}}) {
            int coloured = 0, rows = 0;
            for (int py : {0, 1, 2, 3, 18, 19, 20, 21, 22, 23}) {
                ++rows;
                coloured += at(x(value), py) == colour;
            }
            EXPECT_GT(coloured, 0) << value;
            EXPECT_LT(coloured, rows) << value << " is dotted";
        }
    }
}

} // namespace
