#include "controls/size_range.h"

#include <QPainter>

CSizeRange::CSizeRange(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CSizeRange::SetMax(int max) {
    m_scale.max = max;
}

void CSizeRange::SetMinorStep(int step) {
    m_scale.minorStep = step;
}

void CSizeRange::SetLabelStep(int step) {
    m_scale.labelStep = step;
}

void CSizeRange::SetUnit(const QString& unit) {
    m_scale.unit = unit;
}

void CSizeRange::ClearMarkers() {
    m_scale.markers.clear();
}

void CSizeRange::AddMarker(int position, QColor colour, unsigned char solid) {
    m_scale.markers.push_back({position, colour, solid});
}

void CSizeRange::ClearBands() {
    m_scale.bands.clear();
}

void CSizeRange::AddBand(int from, QColor colour) {
    m_scale.bands.push_back({from, colour});
}

void CSizeRange::SetValue(int value) {
    m_scale.value = value;
    if (QWidget* parent = parentWidget())
        parent->repaint();
    else
        repaint();
}

void CSizeRange::paintEvent(QPaintEvent*) {
    m_nWidth = width();
    m_nHeight = height();
    QPainter painter(this);
    QFont font("Arial");
    font.setPixelSize(kSizeRangeLabelPixels);
    painter.setFont(font);
    for (const SizeRangeShape& s : PlanSizeRange(m_scale, m_nWidth, m_nHeight)) {
        switch (s.kind) {
        case SizeRangeShape::Fill:
            painter.fillRect(s.rect, s.colour);
            break;
        case SizeRangeShape::Line: {
            QPen pen(s.colour, s.penWidth, s.dotted ? Qt::DotLine : Qt::SolidLine, Qt::FlatCap);
            painter.setPen(pen);
            painter.drawLine(s.from, s.to);
            break;
        }
        case SizeRangeShape::Label: {
            painter.setPen(s.colour);
            QFontMetrics metrics(font);
            int w = metrics.horizontalAdvance(s.text);
            painter.drawText(QRect(s.anchor.x() - w / 2, s.anchor.y(), w + 1, metrics.height()),
                             Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, s.text);
            break;
        }
        }
    }
}
