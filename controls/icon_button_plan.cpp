#include "controls/icon_button_plan.h"

IconButtonPlan PlanIconButton(const IconButtonState& s, QRect client, QSize icon, bool hasCaption,
                              int align) {
    IconButtonPlan plan;
    plan.pressed = s.checkBoxMode ? (s.checked || s.down) : s.down;
    plan.fillBackground = !s.transparent;
    plan.blackFrame = !s.transparent && !s.flat && (s.isDefault || s.focused);
    if (s.hovered || plan.pressed)
        plan.colours = ButtonColours::In;
    else if (s.focused)
        plan.colours = ButtonColours::Focus;
    else
        plan.colours = ButtonColours::Out;

    if (s.drawBorder) {
        if (s.flat)
            plan.border = plan.pressed ? ButtonBorder::SunkenThin
                          : s.hovered  ? ButtonBorder::RaisedThin
                                       : ButtonBorder::None;
        else
            plan.border = plan.pressed ? ButtonBorder::ShadowFrame : ButtonBorder::ClassicRaised;
    }

    const int w = icon.width(), h = icon.height();
    QRect image, caption;
    if (!hasCaption) {
        image = QRect(client.left() + (client.width() - w) / 2,
                      client.top() + (client.height() - h) / 2, w, h);
    } else if (align == ICON_ALIGN_ABOVE) {
        image = QRect(client.left() + (client.width() - w) / 2, client.top() + kIconMarginY, w, h);
        caption =
            QRect(QPoint(client.left(), image.bottom() + 1 + kIconMarginY), client.bottomRight());
    } else if (align == ICON_ALIGN_RIGHT) {
        image = QRect(client.right() + 1 - kIconMarginX - w,
                      client.top() + (client.height() - h) / 2, w, h);
        caption = QRect(client.topLeft(), QPoint(image.left() - 1 - kIconMarginX, client.bottom()));
    } else {
        image = QRect(client.left() + kIconMarginX, client.top() + (client.height() - h) / 2, w, h);
        caption =
            QRect(QPoint(image.right() + 1 + kIconMarginX, client.top()), client.bottomRight());
    }
    if (plan.pressed && !s.checkBoxMode) image.translate(kPressedOffset, kPressedOffset);
    if (plan.pressed && hasCaption) caption.translate(kPressedOffset, kPressedOffset);
    plan.image = image;
    plan.caption = hasCaption ? caption : QRect();
    plan.greyed = s.disabled;
    if (s.focused && (!s.flat || s.flatFocus))
        plan.focusRect = client.adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
    return plan;
}

bool IconButtonHover::MouseMove(bool leftButtonDown, bool overThisButton, bool applicationActive) {
    if (leftButtonDown && !hovered) return false;
    if (!flat) return false;
    bool now = overThisButton && (alwaysTrack || applicationActive);
    bool changed = now != hovered;
    hovered = now;
    return changed;
}

bool IconButtonHover::Clear() {
    bool changed = hovered;
    hovered = false;
    return changed;
}
