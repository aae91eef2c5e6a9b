// Helpers of the layout and writer tests: program streams made pack by pack, image files in a
// private temporary folder, and reading sectors and their subheaders back from a BIN file.
#pragma once

#include "log_capture.h"
#include "mpeg_pack_builder_support.h"
#include "vcd_project.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace imgtest {

enum class PackKind {
    Padding, // pack header and a padding packet
    Aps,     // video 0xE0: sequence header, GOP, I-picture, with a PTS
    Audio,   // audio 0xC0: one MPEG-1 layer II frame header, with a PTS
    Audio1,  // the same on audio stream 0xC1
    Still,   // video 0xE1: a still picture ending in a sequence end code
    HiRes,   // video 0xE2: a still picture, no sequence end code
    Private, // a private stream 2 packet only: a pack of no known type
};

struct PackSpec {
    PackKind kind = PackKind::Padding;
    double time = 0; // seconds after the stream's first PTS
};

// 2324-byte packs as given; the PTS of a pack is 1 s + its time.
mpegtest::Bytes MakePacks(const std::vector<PackSpec>& packs, int version = 1);
// `count` packs: access points at the given (pack, time) pairs, padding everywhere else.
std::vector<PackSpec> ApsAt(std::uint32_t count,
                            const std::vector<std::pair<std::uint32_t, double>>& aps);

// A folder of its own under the test temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const mpegtest::Bytes& data);
std::string ReadText(const std::string& path);

// Adds a source on `path` as a sequence or segment; the project's result.
int AddSequence(CVcdObj& project, const std::string& path, const char* id = nullptr);
int AddSegment(CVcdObj& project, const std::string& path, const char* id);
int AddFile(CVcdObj& project, const std::string& isoPath, const std::string& hostPath,
            bool raw = false);

// A BIN/CUE sink pair over `dir`'s VideoCD.bin and VideoCD.cue.
struct BinCue {
    BinCue(CVcdLog& log, const TempDir& dir);
    std::unique_ptr<CVcdImage> cue;
    std::unique_ptr<CVcdImage> bin;
    VcdSinks pair;
    std::string binPath, cuePath;
};

using RawSector = std::array<std::uint8_t, 2352>;

struct Subheader {
    int file = -1, channel = -1, submode = -1, coding = -1;
    bool operator==(const Subheader& o) const {
        return file == o.file && channel == o.channel && submode == o.submode && coding == o.coding;
    }
};
std::ostream& operator<<(std::ostream& os, const Subheader& s);

// Sectors of a BIN file of 2352-byte sectors, read once.
class BinImage {
  public:
    explicit BinImage(const std::string& path);
    std::uint32_t sectors() const { return static_cast<std::uint32_t>(data_.size() / 2352); }
    const std::uint8_t* Sector(std::uint32_t lsn) const { return &data_[std::size_t{lsn} * 2352]; }
    Subheader Sub(std::uint32_t lsn) const;
    // Bytes 24..2071 of sectors [first, first + count) into a plain 2048-byte-sector file.
    void ExtractForm1(std::uint32_t first, std::uint32_t count, const std::string& out) const;

  private:
    mpegtest::Bytes data_;
};

bool HaveTool(const char* name);
std::string RunTool(const std::string& command);

// A fixture with a log, a private folder and streams made pack by pack in it.
class ImageTest : public ::testing::Test {
  protected:
    explicit ImageTest(bool progress = false) : cap(1, progress) {}
    std::unique_ptr<CVcdObj> Project(std::int32_t type) {
        auto project = CVcdObj::Create(cap, type);
        EXPECT_TRUE(project);
        return project;
    }
    std::string Stream(const std::vector<PackSpec>& packs, int version = 1) {
        std::string path = dir.File("s" + std::to_string(streams++) + ".mpg");
        WriteFile(path, MakePacks(packs, version));
        return path;
    }

    CapturedLog cap;
    TempDir dir;
    int streams = 0;
};

} // namespace imgtest
