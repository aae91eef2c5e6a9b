#include "launcher/launcher_logic.h"

#include "burner/app/about_box.h"

#include <utility>

namespace {

constexpr const char* kPreviewButtons[] = {"DVD-Burner", "VCD-Burner", "SVCD-Burner"};
constexpr int kPreviewPictures[] = {kPictureDvd, kPictureVcd, kPictureSvcd};
constexpr int kHovered = 0;

} // namespace

CLauncherLogic::CLauncherLogic(LauncherHost& host, BurnerProcess& process, std::string folder)
    : host_(host), process_(process), folder_(std::move(folder)) {}

std::unique_ptr<platform::InstanceLock> CLauncherLogic::AcquireInstance() {
    auto lock = std::make_unique<platform::InstanceLock>(kLauncherLockName);
    if (!lock->Acquired()) return nullptr;
    return lock;
}

void CLauncherLogic::OnPreviewTick(const StateReader& readState) {
    for (int i = 0; i < 3; ++i) {
        int state = states_[i];
        if (readState(kPreviewButtons[i], &state)) states_[i] = state;
    }
    int chosen = kPictureNone;
    for (int i = 0; i < 3; ++i)
        if (states_[i] == kHovered) {
            chosen = kPreviewPictures[i];
            break;
        }
    if (chosen == picture_) return;
    picture_ = chosen;
    host_.ShowPicture(chosen);
}

void CLauncherLogic::OnCommand(int command) {
    switch (command) {
    case kCmdDvdBurner:
        StartBurner('D');
        return;
    case kCmdVcdBurner:
        StartBurner('V');
        return;
    case kCmdSvcdBurner:
        StartBurner('S');
        return;
    case kCmdAbout:
        host_.ShowAbout();
        return;
    case kCmdHelp:
        host_.OpenHelp(HelpPath());
        return;
    case kCmdHome:
        host_.OpenHome(HomeUrl());
        return;
    default:
        if (command >= kSysCmdAboutFirst && command <= kSysCmdAboutLast) host_.ShowAbout();
        return;
    }
}

void CLauncherLogic::StartBurner(char modeLetter) {
    // One burner at a time: the window is hidden while it runs, so a second command can only
    // come from a queued click.
    if (running_) return;
    running_ = true;
    host_.HideWindow();
    const std::string argument = std::string("#") + modeLetter;
    bool started = process_.Start(folder_ + kBurnerProgram, argument, [this] {
        running_ = false;
        host_.ShowWindow();
    });
    if (!started) {
        // Nothing to wait for: the window comes back at once.
        running_ = false;
        host_.ShowWindow();
    }
}

std::string CLauncherLogic::HelpPath() const {
    return HelpIndexPath(folder_);
}

const char* CLauncherLogic::HomeUrl() {
    return kHomePageUrl;
}
