// The flat icon push button of the burner's main window: one icon drawn in every state, an
// optional caption beside or below it, a thin 3-D frame while hovered or pressed.
#pragma once

#include "controls/icon_button_plan.h"

#include <QColor>
#include <QIcon>
#include <QPushButton>

class CIconButton : public QPushButton {
    Q_OBJECT
  public:
    enum ColourIndex { BG_IN = 0, FG_IN, BG_OUT, FG_OUT, BG_FOCUS, FG_FOCUS, COLOUR_COUNT };

    explicit CIconButton(QWidget* parent = nullptr);
    CIconButton(const QString& caption, QWidget* parent);

    // Loads icon resource iconId in its own size and redraws; false when there is none.
    bool SetIcon(int iconId);
    void SetIcon(const QIcon& icon, QSize size);
    void SetTooltipText(const QString& text, bool activate = true);
    // kIconButtonInvalidAlign for values above 2, which are refused.
    int SetAlign(int align, bool redraw = true);
    int GetAlign() const { return m_align; }
    void DrawTransparent(bool redraw = true);
    void SetFlat(bool flat, bool redraw = true);
    void SetFlatFocus(bool drawFocus, bool redraw = true);
    void SetColour(ColourIndex index, QColor colour, bool redraw = true);
    QColor Colour(ColourIndex index) const { return m_colours[index]; }
    // Back to the system button face and text colours.
    void SetDefaultColours(bool redraw = true);

    bool IsHovered() const { return m_hover.hovered; }
    bool IsTransparent() const { return m_transparent; }
    QSize IconSize() const { return m_iconSize; }
    QString TooltipText() const { return m_tooltip; }
    // The plan of the next draw; for the window's own checks and for tests.
    IconButtonPlan CurrentPlan() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void Redraw(bool redraw);

    QIcon m_icon;
    QSize m_iconSize;
    int m_align = ICON_ALIGN_LEFT;
    bool m_drawBorder = true;
    bool m_flatFocus = false;
    bool m_transparent = false;
    bool m_settingColours = false;
    IconButtonHover m_hover;
    QColor m_colours[COLOUR_COUNT];
    QString m_tooltip;
};
