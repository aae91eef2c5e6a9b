#include "burner/app/qt/size_bar_setup.h"

#include "controls/size_range.h"

QWidget* MakeSizeBar(QWidget* parent) {
    return new CSizeRange(parent);
}

int SizeBarValue(const QWidget& bar) {
    const auto* range = qobject_cast<const CSizeRange*>(&bar);
    return range ? range->GetValue() : -1;
}

int SizeBarMax(const QWidget& bar) {
    const auto* range = qobject_cast<const CSizeRange*>(&bar);
    return range ? range->Scale().max : -1;
}

void ApplySizeBarSetup(QWidget& widget, const SizeBarSetup& setup) {
    auto* range = qobject_cast<CSizeRange*>(&widget);
    if (!range) return;
    CSizeRange& bar = *range;
    const SizeRangeSpec& now = bar.Scale();
    const bool sameScale =
        now.max == setup.max && now.minorStep == setup.minorStep &&
        now.labelStep == setup.labelStep && now.unit == QString::fromStdString(setup.unit) &&
        now.markers.size() == setup.markers.size() && now.bands.size() == setup.bands.size();
    if (!sameScale) {
        bar.SetMax(setup.max);
        bar.SetMinorStep(setup.minorStep);
        bar.SetLabelStep(setup.labelStep);
        bar.SetUnit(QString::fromStdString(setup.unit));
        bar.ClearMarkers();
        for (const SizeBarSetup::Mark& m : setup.markers)
            bar.AddMarker(m.position, QColor(m.r, m.g, m.b), m.solid);
        bar.ClearBands();
        for (const SizeBarSetup::Mark& b : setup.bands)
            bar.AddBand(b.position, QColor(b.r, b.g, b.b));
    }
    if (!sameScale || bar.GetValue() != setup.value) bar.SetValue(setup.value);
}
