// How a flat icon button draws and when it counts as hovered, without a window: the state of a
// draw becomes a plan (background, border, image and caption places, focus rectangle) that the
// widget only carries out.
#pragma once

#include <QRect>
#include <QSize>

enum { ICON_ALIGN_LEFT = 0, ICON_ALIGN_ABOVE = 1, ICON_ALIGN_RIGHT = 2 };
constexpr int kIconButtonOk = 0;
constexpr int kIconButtonInvalidAlign = 4;
constexpr int kIconMarginX = 3;
constexpr int kIconMarginY = 3;
constexpr int kPressedOffset = 1; // right and down
constexpr int kFocusInset = 3;

struct IconButtonState {
    bool flat = true;
    bool drawBorder = true;
    bool flatFocus = false;
    bool transparent = false;
    bool isDefault = false;
    bool checkBoxMode = false;
    bool checked = false;
    bool down = false; // selected, from the draw
    bool hovered = false;
    bool focused = false;
    bool disabled = false;
};

enum class ButtonColours { In, Out, Focus }; // hovered or pressed, resting, focused
enum class ButtonBorder { None, RaisedThin, SunkenThin, ClassicRaised, ShadowFrame };

struct IconButtonPlan {
    bool pressed = false;
    bool fillBackground = true; // false: the parent's background shows through
    bool blackFrame = false;    // drawn first, the fill goes inside it
    ButtonColours colours = ButtonColours::Out;
    ButtonBorder border = ButtonBorder::None;
    QRect image;
    QRect caption;       // empty without a caption
    bool greyed = false; // greyed image and embossed caption
    QRect focusRect;     // empty: none
};

IconButtonPlan PlanIconButton(const IconButtonState& state, QRect client, QSize icon,
                              bool hasCaption, int align);

// The hover rules of a flat button's mouse handling.
struct IconButtonHover {
    bool flat = true;
    bool alwaysTrack = true;
    bool hovered = false;

    // A move over (or away from) the button; true when hovered changed.
    bool MouseMove(bool leftButtonDown, bool overThisButton, bool applicationActive);
    // Mouse leave, focus loss, cancel mode, deactivation; true when hovered changed.
    bool Clear();
};
