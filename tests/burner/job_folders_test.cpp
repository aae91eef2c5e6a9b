#include "burner/app/job_folders.h"

#include "platform/drives.h"
#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t MB = 1048576;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "jobfolders-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    // With a trailing '/' when `name` has one.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void Touch(const std::string& path, const std::string& text = "x") {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

// Records what the preparation shows and logs; the trash is a folder of the test, so what goes
// there can be checked; drives are the roots the test names.
class FakeHost : public CJobFolderHost {
  public:
    explicit FakeHost(std::string trash) : trash_(std::move(trash)) {
        fs::create_directory(trash_);
    }

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Log(const std::string& text) override { logs.push_back(text); }
    bool MoveToTrash(const std::string& path) override {
        trashed.push_back(path);
        if (!trashWorks) return false;
        std::error_code ec;
        fs::rename(path, trash_ + "/" + std::to_string(trashed.size()), ec);
        return !ec;
    }
    int FreeMegabytes(const std::string& root) override {
        auto it = free.find(root);
        return it == free.end() ? -1 : it->second;
    }
    std::string DriveRootOf(const std::string& path) override {
        std::string best;
        for (const auto& [root, mb] : free)
            if (path.compare(0, root.size(), root) == 0 && root.size() > best.size()) best = root;
        return best.empty() ? "/" : best;
    }
    std::int64_t FileSize(const std::string& path) override {
        auto it = sizes.find(path);
        return it == sizes.end() ? 0 : it->second;
    }

    std::vector<std::string> messages, logs, trashed;
    std::map<std::string, int> free; // drive root -> free megabytes
    std::map<std::string, std::int64_t> sizes;
    bool trashWorks = true;

  private:
    std::string trash_;
};

TEST(JobFolders, LabelsWithAForbiddenCharacterAreRefused) {
    for (const char* label : {"a\"b", "a*b", "a/b", "a:b", "a<b", "a>b", "a?b", "a\\b", "a|b", "|",
                              "My/DVD", "Tom & Jerry?"})
        EXPECT_FALSE(IsValidLabel(label)) << label;
    for (const char* label : {"", "My DVD", "Tom & Jerry", "it's", "caf\xC3\xA9 \xE6\x97\xA5",
                              "a.b", "..", "(1) [2] {3} #4 %5 !6"})
        EXPECT_TRUE(IsValidLabel(label)) << label;
}

TEST(JobFolders, AnInvalidLabelStopsBothJobsWithItsMessageOnly) {
    TempDir dir;
    platform::RecordingMessageBoxes boxes;
    platform::SetMessageBoxes(&boxes);
    struct LogOnly : CJobFolderHost { // message boxes through the platform's, as in the program
        std::vector<std::string> logs;
        void Log(const std::string& t) override { logs.push_back(t); }
        bool MoveToTrash(const std::string&) override { return false; }
    } host;
    for (bool dvd : {false, true}) {
        JobFolderValues v;
        v.dvd = dvd;
        v.label = "A:B";
        v.outputFolder = v.settingsOutputFolder = dir / "out/";
        v.tempDriveRoot = dir / "";
        EXPECT_FALSE(dvd ? PrepareDvdJob(v, host) : PrepareCdJob(v, host));
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
    platform::SetMessageBoxes(nullptr);
    EXPECT_TRUE(host.logs.empty());
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Texts()[0], "The Disc Label included following invalid character:\n / , \\ , "
                                ": , * , ? , \" , < , > , |  \n\nPlease edit it again.");
    EXPECT_EQ(boxes.Boxes()[1].type & platform::MB_BUTTONS_MASK, platform::MB_OK);
}

TEST(JobFolders, CdJobMakesEveryLevelOfItsFolderAndNamesTheImage) {
    TempDir dir;
    FakeHost host(dir / "trash");
    host.free[dir / "out/"] = 100;
    JobFolderValues v;
    v.outputFolder = dir / "out/new/level/";
    v.label = "Tom & Jerry";
    ASSERT_TRUE(PrepareCdJob(v, host));
    EXPECT_TRUE(fs::is_directory(dir / "out/new/level/Tom & Jerry"));
    EXPECT_EQ(v.cuePath, dir / "out/new/level/Tom & Jerry/VideoCD.cue");
    EXPECT_EQ(v.binPath, dir / "out/new/level/Tom & Jerry/VideoCD.bin");

    // An empty label puts the image into the output folder itself.
    v.label = "";
    ASSERT_TRUE(PrepareCdJob(v, host));
    EXPECT_EQ(v.cuePath, dir / "out/new/level//VideoCD.cue");
    EXPECT_TRUE(host.messages.empty());

    // A folder that cannot be made is not reported here; writing the image fails later.
    Touch(dir / "file");
    v.outputFolder = dir / "file/";
    v.label = "L";
    host.free[dir / "file/"] = 100;
    EXPECT_TRUE(PrepareCdJob(v, host));
}

TEST(JobFolders, FreeMegabytesOfARealFolderAndOfNone) {
    TempDir dir;
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs((dir / "").c_str(), &vfs), 0);
    const long long expected = static_cast<long long>(vfs.f_bavail) * vfs.f_frsize / MB;
    const int got = FreeMegabytes(dir / "");
    EXPECT_GE(got, 0);
    EXPECT_NEAR(got, expected > INT_MAX ? INT_MAX : expected, 64); // others write meanwhile
    EXPECT_EQ(FreeMegabytes(dir / "missing/"), -1);
    EXPECT_EQ(FreeMegabytes(""), -1);
}

struct DvdJob {
    TempDir dir;
    FakeHost host{dir / "trash"};
    JobFolderValues v;
    DvdJob() {
        v.dvd = true;
        v.label = "My DVD";
        v.outputFolder = v.settingsOutputFolder = dir / "out/";
        v.tempDriveRoot = dir / "";
        host.free[dir / ""] = 100000;
    }
};

TEST(JobFolders, DvdJobMovesOnlyAPreviousDvdVideoOutputToTheTrash) {
    DvdJob job;
    auto& dir = job.dir;
    Touch(dir / "out/My DVD/VIDEO_TS/VTS_01_1.VOB");
    Touch(dir / "out/My DVD/AUDIO_TS/.keep");
    ASSERT_TRUE(PrepareDvdJob(job.v, job.host)) << (job.host.logs.empty() ? "" : job.host.logs[0]);
    EXPECT_EQ(job.v.dvdFolder, dir / "out/My DVD/");
    ASSERT_EQ(job.host.trashed, std::vector<std::string>{dir / "out/My DVD"});
    EXPECT_TRUE(fs::exists(dir / "trash/1/VIDEO_TS/VTS_01_1.VOB"));
    EXPECT_FALSE(fs::exists(dir / "out/My DVD"));

    // VIDEO_TS alone counts as well; a folder the job made itself and left empty is removed.
    Touch(dir / "out/My DVD/VIDEO_TS/VIDEO_TS.IFO");
    EXPECT_TRUE(PrepareDvdJob(job.v, job.host));
    EXPECT_EQ(job.host.trashed.size(), 2u);
    EXPECT_TRUE(PrepareDvdJob(job.v, job.host));
    EXPECT_EQ(job.host.trashed.size(), 2u);
    EXPECT_FALSE(fs::exists(dir / "out/My DVD"));
    EXPECT_TRUE(job.host.messages.empty());
    EXPECT_TRUE(job.host.logs.empty());
}

TEST(JobFolders, DvdJobNeverTouchesAFolderWithAnythingElse) {
    struct Case {
        const char* label;
        std::vector<std::string> files; // under out/
        const char* link;               // a link placed under out/<label>/ to the outside
    } cases[] = {
        {"My DVD", {"My DVD/VIDEO_TS/VTS_01_1.VOB", "My DVD/notes.txt"}, nullptr},
        {"My DVD", {"My DVD/Holiday/VideoCD.bin"}, nullptr},
        {"My DVD", {"My DVD/AUDIO_TS/.keep"}, "VIDEO_TS"},
        // An empty label makes the output folder itself the DVD folder, with every earlier job.
        {"", {"Holiday/VideoCD.bin", "Holiday/VideoCD.cue"}, nullptr},
        {"", {"VIDEO_TS/VIDEO_TS.IFO", "Wedding/VIDEO_TS/VIDEO_TS.IFO"}, nullptr},
    };
    for (const auto& c : cases) {
        DvdJob job;
        auto& dir = job.dir;
        job.v.label = c.label;
        for (const auto& f : c.files)
            Touch(dir / ("out/" + f), f);
        if (c.link) {
            fs::create_directory(dir / "elsewhere");
            fs::create_directory_symlink(dir / "elsewhere",
                                         dir / ("out/" + std::string(c.label) + "/" + c.link));
        }
        EXPECT_FALSE(PrepareDvdJob(job.v, job.host)) << c.label;
        EXPECT_TRUE(job.host.trashed.empty());
        for (const auto& f : c.files) {
            std::ifstream in(dir / ("out/" + f));
            std::string text;
            std::getline(in, text);
            EXPECT_EQ(text, f);
        }
        ASSERT_EQ(job.host.messages.size(), 1u);
        const std::string folder = dir / ("out/" + std::string(c.label));
        EXPECT_EQ(job.host.messages[0],
                  "The DVD output folder \"" +
                      (c.label[0] ? folder : folder.substr(0, folder.size() - 1)) +
                      "\" holds other files than an earlier DVD-Video (VIDEO_TS and AUDIO_TS), "
                      "so it is left as it is.\n\nPlease change the Disc Label or the output "
                      "directory.");
        EXPECT_EQ(job.host.logs, std::vector<std::string>{"Failed."});
    }
}

TEST(JobFolders, DvdJobStopsWhenTheTrashRefuses) {
    DvdJob job;
    Touch(job.dir / "out/My DVD/VIDEO_TS/VIDEO_TS.IFO");
    job.host.trashWorks = false;
    EXPECT_FALSE(PrepareDvdJob(job.v, job.host));
    EXPECT_EQ(job.host.logs, std::vector<std::string>{"Failed."});
    EXPECT_TRUE(fs::exists(job.dir / "out/My DVD/VIDEO_TS/VIDEO_TS.IFO"));
}

TEST(JobFolders, DvdJobReplacesOnlyItsOwnWorkFolder) {
    DvdJob job;
    auto& dir = job.dir;
    Touch(dir / "old/tmpPellam/movie.m2v");
    job.v.settingsTempFolder = dir / "old/tmpPellam/";
    ASSERT_TRUE(PrepareDvdJob(job.v, job.host));
    EXPECT_FALSE(fs::exists(dir / "old/tmpPellam"));
    EXPECT_EQ(job.v.tempFolder, dir / "tmpPellam/");
    EXPECT_EQ(job.v.settingsTempFolder, dir / "tmpPellam/");
    EXPECT_TRUE(fs::is_directory(dir / "tmpPellam"));

    // A settings file that names some other folder does not get it deleted.
    Touch(dir / "precious/thesis.odt");
    job.v.settingsTempFolder = dir / "precious/";
    ASSERT_TRUE(PrepareDvdJob(job.v, job.host));
    EXPECT_TRUE(fs::exists(dir / "precious/thesis.odt"));
    EXPECT_TRUE(RemoveWorkFolder(dir / "precious/"));
    EXPECT_TRUE(fs::exists(dir / "precious/thesis.odt"));
    EXPECT_TRUE(RemoveWorkFolder(dir / "tmpPellam/"));
    EXPECT_FALSE(fs::exists(dir / "tmpPellam"));
    EXPECT_TRUE(RemoveWorkFolder(""));
}

TEST(JobFolders, DvdJobReportsAnOutputFolderThatCannotBeMade) {
    DvdJob job;
    Touch(job.dir / "file");
    job.v.outputFolder = job.v.settingsOutputFolder = job.dir / "file/out/";
    EXPECT_FALSE(PrepareDvdJob(job.v, job.host));
    EXPECT_EQ(job.host.messages, std::vector<std::string>{"Create output directory failed!\nPlease "
                                                          "change the output directory with "
                                                          "clicking Select button! "});
}

std::string Message(int no, const std::string& a, double need, const std::string& b, int free) {
    char text[512];
    if (no == 1)
        std::snprintf(text, sizeof text,
                      "There is not enough free space for Output Folder.\n\nRequired space on "
                      "dirive %s is %.1f MB.\nFree space on drive %s is %d MB.\n\nPlease change "
                      "Output Folder.",
                      a.c_str(), need, b.c_str(), free);
    else if (no == 2)
        std::snprintf(text, sizeof text,
                      "There is not enough free space on driver %s.\n\nRequired space on dirive "
                      "%s is %.1f MB.\nFree space on drive %s is %d MB.\n\nPlease change Output "
                      "Folder or Temp Folder.",
                      a.c_str(), a.c_str(), need, b.c_str(), free);
    else
        std::snprintf(text, sizeof text,
                      "There is not enough free space for Temp Folder.\n\nRequired space on "
                      "dirive %s is %.1f MB.\nFree space on drive %s is %d MB.\n\nPlease change "
                      "Temp Folder.",
                      a.c_str(), need, b.c_str(), free);
    return text;
}

TEST(JobFolders, FreeSpaceMessagesOfEveryCase) {
    // Three files of 1000, 1500 and 500 MB: the output needs 3000 MB, the work folder 4500.
    const std::string out = "/drive/out/", outRoot = "/drive/", tempRoot = "/other/";
    struct Case {
        bool dvd;
        bool sameDrive;
        int freeOutput, freeTemp;
        int message; // 0: passes
        double need;
        int free;
    } cases[] = {
        {false, false, 3000, 0, 0, 0, 0},         {false, false, 2999, 0, 1, 3000, 2999},
        {false, false, -1, 0, 1, 3000, -1},       {true, true, 4500, 4500, 0, 0, 0},
        {true, true, 4499, 4499, 2, 4500, 4499},  {true, false, 3000, 4500, 0, 0, 0},
        {true, false, 9999, 4499, 3, 4500, 4499}, {true, false, 2999, 4500, 1, 3000, 2999},
        {true, false, 2999, -1, 3, 4500, -1},
    };
    for (const auto& c : cases) {
        FakeHost host(fs::temp_directory_path() / "jobfolders-unused-trash");
        JobFolderValues v;
        v.dvd = c.dvd;
        v.outputFolder = out;
        v.tempDriveRoot = c.sameDrive ? outRoot : tempRoot;
        v.listPaths = {"/a.mpg", "/b.mpg", "/c.mpg"};
        host.sizes = {{"/a.mpg", 1000 * MB}, {"/b.mpg", 1500 * MB}, {"/c.mpg", 500 * MB}};
        host.free[outRoot] = c.freeOutput;
        if (!c.sameDrive) host.free[tempRoot] = c.freeTemp;
        const bool pass = CheckFreeSpace(v, host);
        EXPECT_EQ(pass, c.message == 0) << c.dvd << c.sameDrive << c.freeOutput << c.freeTemp;
        if (c.message == 0) {
            EXPECT_TRUE(host.messages.empty());
            continue;
        }
        const std::string& drive = c.message == 1 || c.sameDrive ? outRoot : tempRoot;
        EXPECT_EQ(host.messages,
                  std::vector<std::string>{Message(c.message, drive, c.need, drive, c.free)});
    }
    fs::remove(fs::temp_directory_path() / "jobfolders-unused-trash");
}

TEST(JobFolders, NotEnoughSpaceStopsTheJobWithItsLogLines) {
    for (bool dvd : {false, true}) {
        DvdJob job;
        job.v.dvd = dvd;
        job.v.listPaths = {job.dir / "a.mpg"};
        job.host.sizes[job.dir / "a.mpg"] = 200 * MB;
        job.host.free[job.dir / ""] = 150;
        EXPECT_FALSE(dvd ? PrepareDvdJob(job.v, job.host) : PrepareCdJob(job.v, job.host));
        ASSERT_EQ(job.host.messages.size(), 1u);
        EXPECT_EQ(job.host.messages[0].rfind(dvd ? "There is not enough free space on driver "
                                                 : "There is not enough free space for Output",
                                             0),
                  0u)
            << job.host.messages[0];
        EXPECT_EQ(job.host.logs, (std::vector<std::string>{"Disk space is not enough!", "Failed"}));
    }
}

TEST(JobFolders, TheRealDriveOfAFolderIsOnItsFileSystem) {
    TempDir dir;
    struct : CJobFolderHost {
        void Log(const std::string&) override {}
        bool MoveToTrash(const std::string&) override { return false; }
    } host;
    // A folder still to be made counts on the drive of the folder above it.
    const std::string root = host.DriveRootOf(dir / "sub/none/");
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(root.back(), '/');
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat(root.c_str(), &a), 0) << root;
    ASSERT_EQ(::stat((dir / "").c_str(), &b), 0);
    EXPECT_EQ(a.st_dev, b.st_dev) << root;
    EXPECT_EQ(host.DriveRootOf(root), root);
    EXPECT_GE(host.FreeMegabytes(root), 0);
}

TEST(JobFolders, TempDriveListSelectsTheDriveWithTheMostFreeSpace) {
    TempDir dir;
    FakeHost host(dir / "trash");
    auto drive = [](const char* root) {
        platform::Drive d;
        d.root = root;
        return d;
    };
    host.free = {{"/", 10}, {"/home/me/", 50}, {"/data/", 50}};
    auto list = MakeTempDriveList({drive("/"), drive("/home/me/"), drive("/data/")}, host);
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(list.entries, (std::vector<std::string>{"/tmpPellam/      Free Space 10 MB",
                                                      "/home/me/tmpPellam/      Free Space 50 MB",
                                                      "/data/tmpPellam/      Free Space 50 MB"}));
    EXPECT_EQ(list.roots[2], "/data/");
    host.free = {{"/", 0}};
    EXPECT_EQ(MakeTempDriveList({drive("/"), drive("/none/")}, host).selected, 0);
    EXPECT_EQ(MakeTempDriveList({}, host).selected, -1);
}

} // namespace
