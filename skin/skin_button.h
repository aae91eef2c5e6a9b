// A named button the skin puts on a window. It knows whether the mouse is over it, which is what
// the programs read back as the button's state.
#pragma once

#include <QPushButton>

namespace skin {

constexpr int kButtonHovered = 0;
constexpr int kButtonDisabled = 2;
constexpr int kButtonResting = 3;

class SkinButton : public QPushButton {
    Q_OBJECT
  public:
    SkinButton(const QString& name, int command, QWidget* window);

    int Command() const { return m_command; }
    // kButtonHovered while the mouse is over it (pressed or not), kButtonDisabled when disabled,
    // else kButtonResting.
    int State() const;

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    int m_command;
    bool m_hovered = false;
};

} // namespace skin
