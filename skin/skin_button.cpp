#include "skin/skin_button.h"

#include <QEnterEvent>

namespace skin {

SkinButton::SkinButton(const QString& name, int command, QWidget* window)
    : QPushButton(window), m_command(command) {
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

int SkinButton::State() const {
    if (!isEnabled()) return kButtonDisabled;
    return m_hovered ? kButtonHovered : kButtonResting;
}

void SkinButton::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    QPushButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    QPushButton::leaveEvent(event);
}

// A window hidden under the mouse (the launcher while a burner runs) gets no leave event.
void SkinButton::hideEvent(QHideEvent* event) {
    m_hovered = false;
    QPushButton::hideEvent(event);
}

} // namespace skin
