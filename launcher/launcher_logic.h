// The launcher without its widgets: one instance per user, the picture that follows the mouse
// over the skin's burner buttons, starting the burner in a disc mode (hidden until it ends), and
// About, Help and Home. The window forwards its commands and timer ticks here.
#pragma once

#include "platform/instance_lock.h"

#include <functional>
#include <memory>
#include <string>

inline constexpr char kLauncherLockName[] = "Pellam";
inline constexpr char kBurnerProgram[] = "Vandrel";

// Commands of the skin's buttons and the system menu.
inline constexpr int kCmdDvdBurner = 6061;
inline constexpr int kCmdVcdBurner = 6062;
inline constexpr int kCmdSvcdBurner = 6063;
inline constexpr int kCmdAbout = 7071;
inline constexpr int kCmdHelp = 7072;
inline constexpr int kCmdHome = 7073;
inline constexpr int kSysCmdAboutFirst = 16;
inline constexpr int kSysCmdAboutLast = 31;

// Bitmaps of the picture control 1012.
inline constexpr int kPictureNone = 132;
inline constexpr int kPictureDvd = 133;
inline constexpr int kPictureVcd = 134;
inline constexpr int kPictureSvcd = 135;
inline constexpr int kPreviewPeriodMs = 100; // timer 299

// A program the launcher starts and waits for without blocking its thread.
class BurnerProcess {
  public:
    virtual ~BurnerProcess() = default;
    // Starts program with the one argument; onEnded runs on the caller's thread once it has
    // ended. False, and no onEnded, when it could not be started.
    virtual bool Start(const std::string& program, const std::string& argument,
                       std::function<void()> onEnded) = 0;
};

// What the logic does to the window and the desktop.
class LauncherHost {
  public:
    virtual ~LauncherHost() = default;
    virtual void HideWindow() = 0;
    virtual void ShowWindow() = 0;
    virtual void ShowPicture(int bitmap) = 0;
    virtual void ShowAbout() = 0;
    virtual void OpenHelp(const std::string& path) = 0;
    virtual void OpenHome(const std::string& url) = 0;
};

class CLauncherLogic {
  public:
    // folder: the launcher's own folder with its trailing '/'.
    CLauncherLogic(LauncherHost& host, BurnerProcess& process, std::string folder);

    // The single-instance lock, to be held for the life of the process; null when another
    // launcher holds it (that one keeps running, this one ends without a window).
    static std::unique_ptr<platform::InstanceLock> AcquireInstance();

    // One tick of the preview timer. readState reads the state of a named button of the window's
    // skin and returns false when the call failed (the last value is kept then).
    using StateReader = std::function<bool(const char* buttonName, int* state)>;
    void OnPreviewTick(const StateReader& readState);
    int Picture() const { return picture_; }

    void OnCommand(int command);
    bool BurnerRunning() const { return running_; }

    const std::string& Folder() const { return folder_; }
    // The help's first page and the home page.
    std::string HelpPath() const;
    static const char* HomeUrl();

  private:
    void StartBurner(char modeLetter);

    LauncherHost& host_;
    BurnerProcess& process_;
    std::string folder_;
    int states_[3] = {3, 3, 3}; // DVD, VCD, SVCD; 3 is the resting state
    int picture_ = kPictureNone;
    bool running_ = false;
};
