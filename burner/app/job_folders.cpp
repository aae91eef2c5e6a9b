#include "job_folders.h"

#include "platform/drives.h"
#include "platform/folders.h"
#include "platform/message_boxes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Where the drive letter stood ("%c:"), the texts print the drive's root.
constexpr char kOutputSpaceMessage[] =
    "There is not enough free space for Output Folder.\n\nRequired space on dirive %s is %.1f "
    "MB.\nFree space on drive %s is %d MB.\n\nPlease change Output Folder.";
constexpr char kSameDriveSpaceMessage[] =
    "There is not enough free space on driver %s.\n\nRequired space on dirive %s is %.1f MB.\nFree "
    "space on drive %s is %d MB.\n\nPlease change Output Folder or Temp Folder.";
constexpr char kTempSpaceMessage[] =
    "There is not enough free space for Temp Folder.\n\nRequired space on dirive %s is %.1f "
    "MB.\nFree space on drive %s is %d MB.\n\nPlease change Temp Folder.";

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return text;
}

std::string WithoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

bool LabelTest(const JobFolderValues& values, CJobFolderHost& host) {
    if (IsValidLabel(values.label)) return true;
    host.ShowMessage(kInvalidLabelMessage);
    return false;
}

enum class OutputFolderState { Missing, Empty, PreviousDvdOutput, Other };

// A previous DVD-Video output is a real folder (not a link) holding nothing but the folders
// VIDEO_TS and AUDIO_TS, at least one of them.
OutputFolderState ClassifyDvdFolder(const std::string& path) {
    std::error_code ec;
    const auto status = fs::symlink_status(path, ec);
    if (ec || status.type() == fs::file_type::not_found) return OutputFolderState::Missing;
    if (status.type() != fs::file_type::directory) return OutputFolderState::Other;
    bool any = false;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name != "VIDEO_TS" && name != "AUDIO_TS") return OutputFolderState::Other;
        if (it->symlink_status(ec).type() != fs::file_type::directory)
            return OutputFolderState::Other;
        any = true;
    }
    if (ec) return OutputFolderState::Other;
    return any ? OutputFolderState::PreviousDvdOutput : OutputFolderState::Empty;
}

// Clears the way for the DVD output folder without losing anything of the user's.
bool ClearDvdFolder(const std::string& folder, CJobFolderHost& host) {
    const std::string path = WithoutSlash(folder);
    switch (ClassifyDvdFolder(path)) {
    case OutputFolderState::Missing:
        return true;
    case OutputFolderState::Empty:
        if (::rmdir(path.c_str()) == 0) return true;
        break;
    case OutputFolderState::PreviousDvdOutput:
        if (host.MoveToTrash(path)) return true;
        break;
    case OutputFolderState::Other:
        host.ShowMessage(Format("The DVD output folder \"%s\" holds other files than an earlier "
                                "DVD-Video (VIDEO_TS and AUDIO_TS), so it is left as it "
                                "is.\n\nPlease change the Disc Label or the output directory.",
                                path.c_str()));
        break;
    }
    host.Log("Failed.");
    return false;
}

// Whether the folder `outer` holds `path` (on a folder boundary); both without trailing '/'.
bool Holds(const std::string& outer, const std::string& path) {
    if (outer == "/") return !path.empty() && path.front() == '/';
    return path.compare(0, outer.size(), outer) == 0 &&
           (path.size() == outer.size() || path[outer.size()] == '/');
}

// The mount point of the file system holding `path`, from the system's mount table.
std::string MountPointOf(const std::string& path) {
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    std::string best = "/";
    for (const auto& m : platform::ParseMounts(text.str()))
        if (m.mountPoint.size() >= best.size() && Holds(m.mountPoint, path)) best = m.mountPoint;
    return best;
}

} // namespace

void CJobFolderHost::ShowMessage(const std::string& text) {
    platform::GetMessageBoxes().Show(text, "Start Burning", platform::MB_OK);
}

int CJobFolderHost::FreeMegabytes(const std::string& root) {
    return ::FreeMegabytes(root);
}

std::string CJobFolderHost::DriveRootOf(const std::string& path) {
    std::error_code ec;
    fs::path at = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec || at.empty()) at = path;
    // A folder still to be made lies on the drive of its nearest existing parent.
    struct stat st {};
    while (::stat(at.c_str(), &st) != 0 && at.has_relative_path())
        at = at.parent_path();
    const std::string real = WithoutSlash(at.string());
    const bool known = ::stat(real.c_str(), &st) == 0;
    // Of the drives on the same file system, the one whose root holds the path (the deepest, so
    // that a root in $HOME wins), else the first one.
    std::string holding, first;
    for (const auto& drive : platform::ListDrives()) {
        struct stat rootSt {};
        if (!known || ::stat(drive.root.c_str(), &rootSt) != 0 || rootSt.st_dev != st.st_dev)
            continue;
        if (first.empty()) first = drive.root;
        if (Holds(WithoutSlash(drive.root), real) && drive.root.size() > holding.size())
            holding = drive.root;
    }
    if (!holding.empty()) return holding;
    if (!first.empty()) return first;
    // Not a drive of the list (tmpfs, a network share): its file system still has a mount point.
    return WithSlash(MountPointOf(real));
}

std::int64_t CJobFolderHost::FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<std::int64_t>(st.st_size);
}

bool IsValidLabel(const std::string& label) {
    return label.find_first_of("\"*/:<>?\\|") == std::string::npos;
}

int FreeMegabytes(const std::string& root) {
    const std::int64_t mb = platform::FreeSpaceMB(root);
    if (mb < 0) return -1;
    return mb > INT_MAX ? INT_MAX : static_cast<int>(mb);
}

bool CheckFreeSpace(const JobFolderValues& values, CJobFolderHost& host) {
    double total = 0, largest = 0;
    for (const auto& path : values.listPaths) {
        const double size = static_cast<double>(host.FileSize(path));
        total += size;
        if (size > largest) largest = size;
    }
    const double needOutput = total / 1048576;
    const double needTemp = (total + largest) / 1048576;

    const std::string outputDrive = host.DriveRootOf(values.outputFolder);
    const int freeOutput = host.FreeMegabytes(outputDrive);
    std::string message;
    if (!values.dvd) {
        if (freeOutput < needOutput)
            message = Format(kOutputSpaceMessage, outputDrive.c_str(), needOutput,
                             outputDrive.c_str(), freeOutput);
    } else {
        const std::string tempDrive = host.DriveRootOf(values.tempDriveRoot);
        const int freeTemp = host.FreeMegabytes(tempDrive);
        if (tempDrive == outputDrive) {
            if (freeTemp < needTemp)
                message = Format(kSameDriveSpaceMessage, tempDrive.c_str(), tempDrive.c_str(),
                                 needTemp, tempDrive.c_str(), freeTemp);
        } else if (freeTemp < needTemp) {
            message =
                Format(kTempSpaceMessage, tempDrive.c_str(), needTemp, tempDrive.c_str(), freeTemp);
        } else if (freeOutput < needOutput) {
            message = Format(kOutputSpaceMessage, outputDrive.c_str(), needOutput,
                             outputDrive.c_str(), freeOutput);
        }
    }
    if (message.empty()) return true;
    host.ShowMessage(message);
    return false;
}

bool PrepareCdJob(JobFolderValues& values, CJobFolderHost& host) {
    if (!LabelTest(values, host)) return false;
    const std::string jobFolder = values.outputFolder + values.label + "/";
    // A folder that cannot be made shows up when the image is written.
    if (!platform::FolderExists(jobFolder)) platform::MakeFolders(jobFolder);
    values.cuePath = values.outputFolder + values.label + "/VideoCD.cue";
    values.binPath = values.outputFolder + values.label + "/VideoCD.bin";
    if (!CheckFreeSpace(values, host)) {
        host.Log("Disk space is not enough!");
        host.Log("Failed");
        return false;
    }
    return true;
}

bool PrepareDvdJob(JobFolderValues& values, CJobFolderHost& host) {
    if (!LabelTest(values, host)) return false;
    const std::string labelFolder = values.outputFolder + values.label + "/";
    if (!platform::FolderExists(labelFolder)) platform::MakeFolders(labelFolder);

    RemoveWorkFolder(values.settingsTempFolder);

    values.tempFolder = WithSlash(values.tempDriveRoot) + kWorkFolderName + "/";
    if (!platform::FolderExists(values.tempFolder)) platform::MakeFolders(values.tempFolder);
    values.settingsTempFolder = values.tempFolder;

    if (!platform::FolderExists(values.settingsOutputFolder) &&
        !platform::MakeFolders(values.settingsOutputFolder)) {
        host.ShowMessage(kCreateOutputFailedMessage);
        return false;
    }
    if (!LabelTest(values, host)) return false;

    values.dvdFolder = values.settingsOutputFolder + values.label + "/";
    if (!ClearDvdFolder(values.dvdFolder, host)) return false;

    if (!CheckFreeSpace(values, host)) {
        host.Log("Disk space is not enough!");
        host.Log("Failed");
        return false;
    }
    return true;
}

bool RemoveWorkFolder(const std::string& tempFolder) {
    if (tempFolder.empty() || !platform::FolderExists(tempFolder)) return true;
    if (fs::path(WithoutSlash(tempFolder)).filename() != kWorkFolderName) return true;
    return platform::DeleteFolder(tempFolder);
}

TempDriveList MakeTempDriveList(const std::vector<platform::Drive>& drives, CJobFolderHost& host) {
    TempDriveList list;
    int most = 0;
    for (const auto& drive : drives) {
        const int free = host.FreeMegabytes(drive.root);
        if (free > most) {
            most = free;
            list.selected = static_cast<int>(list.entries.size());
        }
        list.roots.push_back(drive.root);
        list.entries.push_back(
            Format("%s%s      Free Space %d MB", drive.root.c_str(), "tmpPellam/", free));
    }
    if (list.selected < 0 && !list.entries.empty()) list.selected = 0;
    return list;
}
