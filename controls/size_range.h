// The capacity bar of the burner's main window: a scale in megabytes with coloured bands, limit
// markers and a bar for the current total (painting planned by PlanSizeRange).
#pragma once

#include "controls/size_range_plan.h"

#include <QWidget>

class CSizeRange : public QWidget {
    Q_OBJECT
  public:
    explicit CSizeRange(QWidget* parent = nullptr);

    void SetMax(int max);
    void SetMinorStep(int step);
    void SetLabelStep(int step);
    void SetUnit(const QString& unit);
    void ClearMarkers();
    void AddMarker(int position, QColor colour, unsigned char solid);
    void ClearBands();
    void AddBand(int from, QColor colour);
    // Stores the value and repaints the parent window (and so the bar) at once.
    void SetValue(int value);
    int GetValue() const { return m_scale.value; }

    const SizeRangeSpec& Scale() const { return m_scale; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    SizeRangeSpec m_scale;
    int m_nWidth = 0;
    int m_nHeight = 0;
};
