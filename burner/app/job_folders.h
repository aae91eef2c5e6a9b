// Where a burn job's files go, and the checks before it builds anything: the disc label, the job
// folders and the free space of the drives. The dialog hands its values in and reads the results
// back; everything it shows goes through the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
struct Drive;
}

inline constexpr char kInvalidLabelMessage[] =
    "The Disc Label included following invalid character:\n / , \\ , : , * , ? , \" , < , > , |  "
    "\n\nPlease edit it again.";
inline constexpr char kCreateOutputFailedMessage[] =
    "Create output directory failed!\nPlease change the output directory with clicking Select "
    "button! ";
inline constexpr char kWorkFolderName[] = "tmpPellam";

// What the preparation asks of the dialog and the system. Tests record and answer for it.
class CJobFolderHost {
  public:
    virtual ~CJobFolderHost() = default;
    // A message box with an OK button; by default through platform::GetMessageBoxes().
    virtual void ShowMessage(const std::string& text);
    // One line of the dialog's log (the dialog adds the time stamp).
    virtual void Log(const std::string& text) = 0;
    // Moves a file or folder to the desktop trash; true when it is gone from its place.
    virtual bool MoveToTrash(const std::string& path) = 0;
    // Free space of the drive with this root in whole megabytes, -1 when unreadable.
    virtual int FreeMegabytes(const std::string& root);
    // The root of the drive that holds `path` (with a trailing '/').
    virtual std::string DriveRootOf(const std::string& path);
    // Size of a file of the MPEG list in bytes, 0 when it cannot be read.
    virtual std::int64_t FileSize(const std::string& path);
};

// The Start Burning dialog's values the preparation reads, and what it fills in.
struct JobFolderValues {
    bool dvd = false;          // DiscMode DVD; VCD and SVCD otherwise
    std::string label;         // m_strLabel
    std::string outputFolder;  // m_strOutputFolder, with a trailing '/'
    std::string tempDriveRoot; // root of the selected entry of the temporary-drive list (DVD)
    std::vector<std::string> listPaths; // the MPEG list, in list order

    // The settings' outputFolder and tempFolder; PrepareDvdJob sets tempFolder to the new work
    // folder, which the caller stores back into the settings.
    std::string settingsOutputFolder;
    std::string settingsTempFolder;

    std::string cuePath;    // m_strCuePath
    std::string binPath;    // m_strBinPath
    std::string dvdFolder;  // m_szDvdFolder, with a trailing '/'
    std::string tempFolder; // m_strTempFolder, with a trailing '/'
};

// False when the label holds one of " * / : < > ? \ |; an empty label is valid.
bool IsValidLabel(const std::string& label);

// Free space of the drive with this root in whole megabytes (statvfs, space available to the
// user), -1 when it cannot be read.
int FreeMegabytes(const std::string& root);

// VCD and SVCD: label test, job folder, image paths, free space.
bool PrepareCdJob(JobFolderValues& values, CJobFolderHost& host);
// DVD: label test, folders, the new work folder, the previous DVD output moved to the trash,
// free space. A DVD output folder that holds anything but VIDEO_TS and AUDIO_TS is never
// touched: the job is refused instead.
bool PrepareDvdJob(JobFolderValues& values, CJobFolderHost& host);
// Whether the drives have room for the job; shows the reason when not.
bool CheckFreeSpace(const JobFolderValues& values, CJobFolderHost& host);

// Deletes the previous DVD job's work folder `tempFolder` when it is the program's own (its name
// is tmpPellam); any other folder a settings file may name is left alone. True when nothing of
// it remains or it was not ours to delete.
bool RemoveWorkFolder(const std::string& tempFolder);

// The entries of the temporary-drive list: one per drive, "<root>tmpPellam/      Free Space N MB",
// with the drive of the most free space selected (the earlier on equal values, the first when
// none reports more than 0; -1 when there is no drive).
struct TempDriveList {
    std::vector<std::string> roots;
    std::vector<std::string> entries;
    int selected = -1;
};
TempDriveList MakeTempDriveList(const std::vector<platform::Drive>& drives, CJobFolderHost& host);
