// The skin engine both programs draw their windows with. A skin (skin_description.h) is loaded
// from the program's resources; a window gets the look of one of its objects: the object's style
// sheet and its named buttons, whose clicks reach the window as commands. Once a dialog skin name
// is set, every dialog polished afterwards gets that object unless its skin was taken off first.
//
// Every operation returns 1 on success and 0 on failure, and leaves its error code for
// GetLastError() on the calling thread. Before StartEngine, after ShutdownEngine and on any
// thread but the application's, every operation fails without effect. Widgets the engine touches
// carry the property "pellamSkin": the object name, or "off" once the skin was taken off.
#pragma once

#include "skin/skin_button.h"
#include "skin/skin_description.h"

class QWidget;

namespace skin {

enum SkinError {
    SKIN_OK = 0,
    SKIN_E_NOT_STARTED = 1,
    SKIN_E_WRONG_THREAD = 2,
    SKIN_E_NO_APPLICATION = 3,
    SKIN_E_ALREADY_STARTED = 4,
    SKIN_E_BAD_ARGUMENT = 5,
    SKIN_E_RESOURCE_NOT_FOUND = 6,
    SKIN_E_BAD_SKIN = 7,
    SKIN_E_NO_SKIN = 8,
    SKIN_E_UNKNOWN_OBJECT = 9,
    SKIN_E_UNKNOWN_BUTTON = 10,
};

constexpr char kSkinResourceType[] = "RT_SKINMAGIC";
constexpr int kMaxSkinNameLength = 50;
constexpr char kSkinProperty[] = "pellamSkin";
constexpr char kSkinOff[] = "off";

// What a window implements to receive the commands of its skin's buttons.
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    virtual void OnSkinCommand(int command) = 0;
};

// instance: the program's, unused (the engine serves the one QApplication); programName is
// kept for the log lines. Needs a QApplication.
int StartEngine(const void* instance, const char* programName = nullptr);
// module: null or the program's own; resource skins live in the process's Qt resources under
// ":/skins/<resource>/". type must be "RT_SKINMAGIC".
int LoadSkinFromResource(const void* module, int resource, const char* type);
// Loads a skin folder of files (for skins kept outside the program).
int LoadSkinFromFolder(const QString& folder);
// Kept up to kMaxSkinNameLength characters; an empty name stops skinning new dialogs.
int SetDialogSkinName(const char* name);
int SetWindowSkin(QWidget* window, const char* objectName);
// Takes the style sheet and the buttons the engine put on the window off again, and keeps the
// window out of the dialog skinning. Works on any widget, skinned or not.
int RemoveWindowSkin(QWidget* window);
// The state of a named button of the window's skin: kButtonHovered, kButtonDisabled or
// kButtonResting. state is left alone when the call fails.
int GetButtonState(QWidget* window, const char* buttonName, int* state);
// Takes the skin off every window that has it and forgets the skin.
int ShutdownEngine();

int GetLastError();
bool IsStarted();
// The named button the skin put on the window; null when there is none.
SkinButton* FindSkinButton(QWidget* window, const QString& buttonName);

} // namespace skin
