// libmjpgTools.so as the burner uses it: loaded by path, its "mplex" called with the burner's
// record, the segments read back with ffprobe.
#include "dvd_media_support.h"
#include "engines/mjpgtools/mplex.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <sys/stat.h>

namespace {

using dvdmedia::Exists;
using dvdmedia::Probe;

class MjpgToolsLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        library_ = ::dlopen(PELLAM_MJPGTOOLS, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << ::dlerror();
        entry_ = reinterpret_cast<engines::MplexEntry>(::dlsym(library_, "mplex"));
        ASSERT_NE(entry_, nullptr);
        ASSERT_FALSE(dir_.Path().empty());
    }
    void TearDown() override {
        if (library_) ::dlclose(library_);
    }

    // Calls mplex as the burner's worker thread does; returns the status it left.
    std::int32_t Mux(const std::string& video, const std::string& audio, const std::string& pattern,
                     std::int32_t maxSegmentMegabytes = 0) {
        const char* inputs[] = {video.c_str(), audio.c_str(), nullptr};
        engines::MplexParam param;
        std::memset(&param, 0xA5, sizeof param); // the unset bytes hold whatever they held
        engines::FillMplexParam(param, inputs, pattern);
        param.value12 = maxSegmentMegabytes;
        int returned = entry_(&param);
        EXPECT_EQ(returned, param.status);
        return param.status;
    }

    dvdmedia::TempDir dir_;
    void* library_ = nullptr;
    engines::MplexEntry entry_ = nullptr;
};

TEST_F(MjpgToolsLibrary, ExportsOnlyTheEntryPoint) {
    EXPECT_EQ(::dlsym(library_, "_ZN7engines8RunMplexEPNS_10MplexParamE"), nullptr);
    EXPECT_EQ(::dlsym(library_, "_ZN7engines8FindToolERKNSt7__cxx1112basic_stringIcSt11char_"
                                "traitsIcESaIcEEE"),
              nullptr);
}

TEST_F(MjpgToolsLibrary, MultiplexesEachFixtureIntoOneDvdSegment) {
    struct Case {
        const char* fixture;
        const char* video;
        const char* audio;
    } cases[] = {{"dvd_pal_mpa.mpg", "mpeg2video", "mp2"},
                 {"dvd_ntsc_ac3.mpg", "mpeg2video", "ac3"}};
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        std::string fixture = std::string(PELLAM_FIXTURES) + "/" + c.fixture;
        char number[16];
        std::snprintf(number, sizeof number, "%03d", index++);
        std::string base = dir_ / number;
        ASSERT_TRUE(dvdmedia::MakeElementaryStreams(fixture, base));
        ASSERT_EQ(Mux(base + ".m2v", base + ".mpa", base + "_%d.mpg"), 0);
        ASSERT_TRUE(Exists(base + "_1.mpg"));
        EXPECT_FALSE(Exists(base + "_2.mpg"));
        EXPECT_FALSE(Exists(base + "_%d.mpg"));

        dvdmedia::ProbedStreams source = Probe(fixture), out = Probe(base + "_1.mpg");
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(out.videoStreams, 1);
        EXPECT_EQ(out.audioStreams, 1);
        EXPECT_EQ(out.videoCodec, c.video);
        EXPECT_EQ(out.audioCodec, c.audio);
        EXPECT_EQ(out.audioFrames, source.audioFrames);
        // mplex drops the last picture of a stream without a sequence end code.
        EXPECT_GE(out.videoFrames, source.videoFrames - 1);
        EXPECT_LE(out.videoFrames, source.videoFrames);
        // DVD program stream: 2048-byte packs, the first a navigation pack (system header and
        // private stream 2).
        std::ifstream in(base + "_1.mpg", std::ios::binary);
        std::string head(2048 + 4, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        EXPECT_EQ(head.substr(0, 4), std::string("\0\0\x01\xBA", 4));
        EXPECT_NE(head.substr(0, 2048).find(std::string("\0\0\x01\xBF", 4)), std::string::npos);
        EXPECT_EQ(head.substr(2048, 4), std::string("\0\0\x01\xBA", 4));
        EXPECT_EQ(dvdmedia::FileSize(base + "_1.mpg") % 2048, 0);
    }
}

TEST_F(MjpgToolsLibrary, SplitsIntoNumberedSegmentsAtTheSizeLimit) {
    // Twelve seconds of the PAL fixture, about 2.2 MB, cut at 1 MB.
    std::string base = dir_ / "000";
    ASSERT_TRUE(dvdmedia::MakeElementaryStreams(std::string(PELLAM_FIXTURES) + "/dvd_pal_mpa.mpg",
                                                base, 12));
    ASSERT_EQ(Mux(base + ".m2v", base + ".mpa", base + "_%d.mpg", 1), 0);
    long frames = 0;
    for (int s = 1; s <= 3; ++s) {
        std::string segment = base + "_" + std::to_string(s) + ".mpg";
        SCOPED_TRACE(segment);
        ASSERT_TRUE(Exists(segment));
        EXPECT_LE(dvdmedia::FileSize(segment), 1024 * 1024 + 2 * 2048);
        dvdmedia::ProbedStreams p = Probe(segment);
        EXPECT_EQ(p.videoStreams, 1);
        EXPECT_EQ(p.audioStreams, 1);
        EXPECT_GT(p.videoFrames, 0);
        frames += p.videoFrames;
    }
    EXPECT_FALSE(Exists(base + "_4.mpg"));
    // A cut inside a group of pictures costs the pictures around it, not the stream.
    EXPECT_GT(frames, 12 * 25 * 8 / 10);
}

TEST_F(MjpgToolsLibrary, PercentInTheFolderIsNoFormat) {
    std::string folder = dir_ / "50%s %d%%";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::string base = folder + "/000";
    ASSERT_TRUE(
        dvdmedia::MakeElementaryStreams(std::string(PELLAM_FIXTURES) + "/dvd_pal_mpa.mpg", base));
    ASSERT_EQ(Mux(base + ".m2v", base + ".mpa", base + "_%d.mpg"), 0);
    EXPECT_TRUE(Probe(base + "_1.mpg").ok);
}

TEST_F(MjpgToolsLibrary, FailuresLeaveNoSegment) {
    std::string base = dir_ / "000";
    ASSERT_TRUE(
        dvdmedia::MakeElementaryStreams(std::string(PELLAM_FIXTURES) + "/dvd_pal_mpa.mpg", base));
    // A segment of an earlier run under the same pattern must not pass for this run's.
    std::ofstream(base + "_1.mpg") << "old";
    std::ofstream(base + "_2.mpg") << "old";
    struct Case {
        const char* what;
        std::string video, audio, pattern;
    } cases[] = {
        {"missing video", dir_ / "none.m2v", base + ".mpa", base + "_%d.mpg"},
        {"missing audio", base + ".m2v", dir_ / "none.mpa", base + "_%d.mpg"},
        {"not MPEG", std::string(PELLAM_FIXTURES) + "/not_mpeg.bin", base + ".mpa",
         base + "_%d.mpg"},
        {"no folder", base + ".m2v", base + ".mpa", dir_ / "missing/000_%d.mpg"},
        {"no %d", base + ".m2v", base + ".mpa", base + "_1.mpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(Mux(c.video, c.audio, c.pattern), 0);
    }
    EXPECT_FALSE(Exists(base + "_1.mpg"));
    EXPECT_FALSE(Exists(base + "_2.mpg"));
}

TEST_F(MjpgToolsLibrary, NoInputListIsFailure) {
    engines::MplexParam param{};
    engines::FillMplexParam(param, nullptr, dir_ / "000_%d.mpg");
    EXPECT_NE(entry_(&param), 0);
    EXPECT_NE(param.status, 0);
    EXPECT_NE(param.status, engines::kMplexStatusUnset);
}

// mplex's own word is not enough: an exit status of 0 without a segment is failure, and a
// failing run takes the segments it began with it.
TEST_F(MjpgToolsLibrary, JudgesTheRunByExitStatusAndSegments) {
    dvdmedia::TempDir tools;
    const char* old = std::getenv("PELLAM_TOOLS");
    std::string saved = old ? old : "";
    setenv("PELLAM_TOOLS", tools.Path().c_str(), 1);
    struct Case {
        const char* what;
        const char* script; // $OUT is the -o argument
        bool ok;
    } cases[] = {
        {"writes nothing", "exit 0\n", false},
        {"writes an empty segment", ": > \"$(printf \"$OUT\" 1)\"\nexit 0\n", false},
        {"fails after one segment",
         "echo data > \"$(printf \"$OUT\" 1)\"\necho '**ERROR: [mplex] Could not write' >&2\n"
         "exit 1\n",
         false},
        {"writes one segment", "echo data > \"$(printf \"$OUT\" 1)\"\nexit 0\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string script = tools / "mplex";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "while [ $# -gt 0 ]; do [ \"$1\" = -o ] && OUT=$2; shift; done\n"
                              << c.script;
        ::chmod(script.c_str(), 0755);
        std::string pattern = dir_ / "000_%d.mpg";
        std::int32_t status = Mux(dir_ / "000.m2v", dir_ / "000.mpa", pattern);
        EXPECT_EQ(status == 0, c.ok);
        EXPECT_EQ(Exists(dir_ / "000_1.mpg"), c.ok);
        ::unlink((dir_ / "000_1.mpg").c_str());
    }
    if (old)
        setenv("PELLAM_TOOLS", saved.c_str(), 1);
    else
        unsetenv("PELLAM_TOOLS");
}

} // namespace
