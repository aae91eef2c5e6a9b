#include "controls/icon_button.h"

#include "controls/art_resources.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

CIconButton::CIconButton(QWidget* parent) : CIconButton(QString(), parent) {}

CIconButton::CIconButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    SetDefaultColours(false);
}

bool CIconButton::SetIcon(int iconId) {
    QIcon icon = controls::LoadIconResource(iconId);
    if (icon.isNull()) return false;
    SetIcon(icon, controls::IconResourceSize(iconId));
    return true;
}

void CIconButton::SetIcon(const QIcon& icon, QSize size) {
    m_icon = icon;
    m_iconSize = size;
    updateGeometry();
    update();
}

void CIconButton::SetTooltipText(const QString& text, bool activate) {
    m_tooltip = text;
    setToolTip(activate ? text : QString());
}

int CIconButton::SetAlign(int align, bool redraw) {
    if (align < 0 || align > ICON_ALIGN_RIGHT) return kIconButtonInvalidAlign;
    m_align = align;
    Redraw(redraw);
    return kIconButtonOk;
}

// The parent paints behind every widget of ours, so the captured background of a transparent
// button is simply what lies underneath; nothing needs to be cached.
void CIconButton::DrawTransparent(bool redraw) {
    m_transparent = true;
    Redraw(redraw);
}

void CIconButton::SetFlat(bool flat, bool redraw) {
    m_hover.flat = flat;
    if (!flat) m_hover.Clear();
    Redraw(redraw);
}

void CIconButton::SetFlatFocus(bool drawFocus, bool redraw) {
    m_flatFocus = drawFocus;
    Redraw(redraw);
}

void CIconButton::SetColour(ColourIndex index, QColor colour, bool redraw) {
    if (index < 0 || index >= COLOUR_COUNT) return;
    m_colours[index] = colour;
    Redraw(redraw);
}

void CIconButton::SetDefaultColours(bool redraw) {
    QColor face = palette().color(QPalette::Button);
    QColor text = palette().color(QPalette::ButtonText);
    for (int i = 0; i < COLOUR_COUNT; i += 2) {
        m_colours[i] = face;
        m_colours[i + 1] = text;
    }
    Redraw(redraw);
}

void CIconButton::Redraw(bool redraw) {
    if (redraw) update();
}

IconButtonPlan CIconButton::CurrentPlan() const {
    IconButtonState s;
    s.flat = m_hover.flat;
    s.drawBorder = m_drawBorder;
    s.flatFocus = m_flatFocus;
    s.transparent = m_transparent;
    s.isDefault = isDefault();
    s.checkBoxMode = isCheckable();
    s.checked = isChecked();
    s.down = isDown();
    s.hovered = m_hover.hovered;
    s.focused = hasFocus();
    s.disabled = !isEnabled();
    return PlanIconButton(s, rect(), m_iconSize, !text().isEmpty(), m_align);
}

QSize CIconButton::sizeHint() const {
    QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
    QSize icon = m_iconSize.isValid() ? m_iconSize : QSize(0, 0);
    if (text().isEmpty()) return icon + QSize(2 * kIconMarginX + 2, 2 * kIconMarginY + 2);
    if (m_align == ICON_ALIGN_ABOVE)
        return QSize(std::max(icon.width(), textSize.width()) + 4 * kIconMarginX,
                     icon.height() + textSize.height() + 4 * kIconMarginY);
    return QSize(icon.width() + textSize.width() + 4 * kIconMarginX,
                 std::max(icon.height(), textSize.height()) + 2 * kIconMarginY + 2);
}

void CIconButton::paintEvent(QPaintEvent*) {
    const IconButtonPlan plan = CurrentPlan();
    const QPalette& pal = palette();
    QPainter p(this);
    QRect r = rect();
    int bg = plan.colours == ButtonColours::In      ? BG_IN
             : plan.colours == ButtonColours::Focus ? BG_FOCUS
                                                    : BG_OUT;
    if (plan.fillBackground) {
        if (plan.blackFrame) {
            p.setPen(Qt::black);
            p.drawRect(r.adjusted(0, 0, -1, -1));
            r.adjust(1, 1, -1, -1);
        }
        p.fillRect(r, m_colours[bg]);
    }

    const QColor light = pal.color(QPalette::Light), shadow = pal.color(QPalette::Dark);
    auto frame = [&](QRect f, QColor topLeft, QColor bottomRight) {
        p.setPen(topLeft);
        p.drawLine(f.topLeft(), f.topRight());
        p.drawLine(f.topLeft(), f.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(f.bottomLeft(), f.bottomRight());
        p.drawLine(f.topRight(), f.bottomRight());
    };
    switch (plan.border) {
    case ButtonBorder::None:
        break;
    case ButtonBorder::RaisedThin:
        frame(r, light, shadow);
        break;
    case ButtonBorder::SunkenThin:
        frame(r, shadow, light);
        break;
    case ButtonBorder::ClassicRaised:
        frame(r, light, pal.color(QPalette::Shadow));
        frame(r.adjusted(1, 1, -1, -1), pal.color(QPalette::Midlight), shadow);
        break;
    case ButtonBorder::ShadowFrame:
        p.setPen(shadow);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        break;
    }

    if (!m_icon.isNull())
        m_icon.paint(&p, plan.image, Qt::AlignCenter,
                     plan.greyed ? QIcon::Disabled : QIcon::Normal);

    if (!plan.caption.isEmpty()) {
        const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
        if (plan.greyed) {
            p.setPen(light);
            p.drawText(plan.caption.translated(1, 1), flags, text());
            p.setPen(shadow);
            p.drawText(plan.caption, flags, text());
        } else {
            p.setPen(m_colours[bg + 1]);
            p.drawText(plan.caption, flags, text());
        }
    }

    if (!plan.focusRect.isEmpty()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = plan.focusRect;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

void CIconButton::mouseMoveEvent(QMouseEvent* event) {
    bool over = rect().contains(event->position().toPoint());
    if (m_hover.MouseMove(event->buttons() & Qt::LeftButton, over,
                          QApplication::activeWindow() != nullptr))
        update();
    QPushButton::mouseMoveEvent(event);
}

void CIconButton::leaveEvent(QEvent* event) {
    if (m_hover.Clear()) update();
    QPushButton::leaveEvent(event);
}

void CIconButton::focusOutEvent(QFocusEvent* event) {
    if (m_hover.Clear()) update();
    QPushButton::focusOutEvent(event);
}

void CIconButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) setFocus(Qt::MouseFocusReason);
    QPushButton::mousePressEvent(event);
}

void CIconButton::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::ActivationChange:
        if (!isActiveWindow() && m_hover.Clear()) update();
        break;
    case QEvent::EnabledChange:
        // Qt hands the focus of a disabled widget to the next one in the chain already.
        if (!isEnabled()) m_hover.Clear();
        update();
        break;
    case QEvent::PaletteChange:
        if (!m_settingColours) {
            m_settingColours = true;
            SetDefaultColours();
            m_settingColours = false;
        }
        break;
    default:
        break;
    }
    QPushButton::changeEvent(event);
}
