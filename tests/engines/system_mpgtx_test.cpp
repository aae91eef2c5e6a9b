// The real checker and demultiplexer through a message loop: records filled before the report,
// reports posted to the record's window, elementary streams that ffprobe reads as the source's.
#include "engines/mpgtx/system_mpgtx.h"
#include "mpeg_probe_support.h"
#include "platform/manual_message_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

using namespace engines;
using namespace mpegprobe;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

struct Msg {
    unsigned message;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
    float percent; // of the demultiplexer's record when the message was handled
};

struct Window : platform::MessageTarget {
    std::vector<Msg> got;
    _mpgtx_demuxer_param_* demux = nullptr;
    std::function<void(const Msg&)> onMessage;
    platform::LRESULT OnMessage(unsigned m, platform::WPARAM w, platform::LPARAM l) override {
        got.push_back({m, w, l, demux ? DemuxPercent(*demux) : 0.0f});
        if (onMessage) onMessage(got.back());
        return 0;
    }
    int Ends() const {
        int n = 0;
        for (const Msg& m : got)
            n += m.message == WM_DEMUX_EVENT && m.wParam == 0;
        return n;
    }
};

// Pumps until `done` holds or half a minute has passed.
bool PumpUntil(platform::ManualMessageLoop& loop, const std::function<bool()>& done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        loop.PumpWait(std::chrono::milliseconds(100));
    }
    return true;
}

void FillDemux(_mpgtx_demuxer_param_& r, Window& w, const std::string& input,
               const std::string& base) {
    std::memset(&r, 0, sizeof r);
    r.window = &w;
    r.message = static_cast<std::int32_t>(WM_DEMUX_EVENT);
    std::snprintf(r.input, sizeof r.input, "%s", input.c_str());
    std::snprintf(r.outputBase, sizeof r.outputBase, "%s", base.c_str());
    w.demux = &r;
}

void FillCheck(_mpgtx_check_param_& r, Window& w, const std::string& path) {
    std::memset(&r, 0, sizeof r);
    r.window = &w;
    r.message = static_cast<std::int32_t>(WM_CHECK_DONE);
    std::snprintf(r.path, sizeof r.path, "%s", path.c_str());
}

struct Bench {
    platform::ManualMessageLoop loop;
    Window window;
    std::unique_ptr<Mpgtx> mpgtx = MakeSystemMpgtx();
    alignas(8) _mpgtx_demuxer_param_ demux;
    ScratchDir dir;
    Bench() { window.AttachLoop(&loop); }
    // Demultiplexes and waits for the end; true when it ended.
    bool Demux(const std::string& input, const std::string& base) {
        FillDemux(demux, window, input, base);
        mpgtx->mpgtx_Demuxer(&demux);
        return PumpUntil(loop, [&] { return window.Ends() > 0; });
    }
};

TEST(SystemMpgtx, DemultiplexesTheDvdFixturesIntoStreamsFfprobeReadsAsTheSources) {
    if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe is not installed";
    const struct {
        const char* file;
        const char* audioCodec;
    } cases[] = {{"dvd_pal_mpa.mpg", "mp2"}, {"dvd_ntsc_ac3.mpg", "ac3"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Bench s;
        const std::string base = s.dir / "000";
        ASSERT_TRUE(s.Demux(Fixture(c.file), base));

        // Progress first, at most one report per percent, rising; then the one end, success.
        const std::vector<Msg>& got = s.window.got;
        ASSERT_GE(got.size(), 2u);
        EXPECT_LE(got.size(), 101u);
        float last = 0;
        for (std::size_t i = 0; i + 1 < got.size(); ++i) {
            EXPECT_EQ(got[i].message, WM_DEMUX_EVENT);
            EXPECT_NE(got[i].wParam, 0u);
            EXPECT_GE(got[i].percent, last);
            EXPECT_LE(got[i].percent, 100.0f);
            last = got[i].percent;
        }
        EXPECT_EQ(got.back().message, WM_DEMUX_EVENT);
        EXPECT_EQ(got.back().wParam, 0u);
        EXPECT_EQ(got.back().lParam, 0);
        EXPECT_EQ(DemuxPercent(s.demux), 100.0f);

        const std::string frames = "-count_frames -select_streams v:0 -show_entries "
                                   "stream=nb_read_frames";
        std::string sourceFrames = ProbeValue(frames, Fixture(c.file));
        ASSERT_NE(sourceFrames, "");
        EXPECT_EQ(ProbeValue(frames, base + ".m2v"), sourceFrames);
        EXPECT_EQ(ProbeValue("-show_entries stream=codec_name", base + ".m2v"), "mpeg2video");
        EXPECT_EQ(ProbeValue("-show_entries stream=codec_name", base + ".mpa"), c.audioCodec);
        double sourceSeconds = std::atof(
            ProbeValue("-select_streams a:0 -show_entries stream=duration", Fixture(c.file))
                .c_str());
        double seconds =
            std::atof(ProbeValue("-show_entries format=duration", base + ".mpa").c_str());
        EXPECT_GT(sourceSeconds, 0.5);
        EXPECT_NEAR(seconds, sourceSeconds, 0.05);
    }
}

TEST(SystemMpgtx, AnAbortedDemultiplexFailsAndLeavesNoStreams) {
    Bench s;
    const std::string base = s.dir / "000";
    FillDemux(s.demux, s.window, Fixture("dvd_pal_mpa.mpg"), base);
    RequestDemuxAbort(s.demux); // the user confirmed before the first pack was read
    s.mpgtx->mpgtx_Demuxer(&s.demux);
    ASSERT_TRUE(PumpUntil(s.loop, [&] { return s.window.Ends() > 0; }));
    EXPECT_NE(s.window.got.back().lParam, 0);
    EXPECT_STREQ(s.demux.errorText, "Aborted by user.");
    EXPECT_FALSE(fs::exists(base + ".m2v"));
    EXPECT_FALSE(fs::exists(base + ".mpa"));
}

std::vector<unsigned char> Mpeg1Pack(const std::vector<unsigned char>& packet) {
    std::vector<unsigned char> d = {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0, 1};
    for (unsigned char b : packet) // not insert: gcc 12 warns falsely about its copy
        d.push_back(b);
    return d;
}

TEST(SystemMpgtx, BrokenInputFailsWithItsReason) {
    Bench probe; // for the folder
    // One pack with only a sequence header in a video packet, one with only an audio frame
    // header.
    WriteBytes(probe.dir / "video_only.mpg",
               Mpeg1Pack({0, 0, 1, 0xE0, 0, 13, 0x0F, 0, 0, 1, 0xB3, 0x16, 0, 0xF0, 0x13, 0xFF,
                          0xFF, 0xE0, 0x18}));
    WriteBytes(probe.dir / "audio_only.mpg",
               Mpeg1Pack({0, 0, 1, 0xC0, 0, 5, 0x0F, 0xFF, 0xFD, 0x90, 0}));
    const struct {
        std::string input;
        std::string base;
        const char* error;
    } cases[] = {
        {Fixture("not_mpeg.bin"), "000", "The file is not an MPEG program stream."},
        {Fixture("truncated.mpg"), "000", "The file is cut short inside the packet at byte"},
        {probe.dir / "missing.mpg", "000", "The file cannot be opened."},
        {probe.dir / "video_only.mpg", "000", "The file has no audio stream."},
        {probe.dir / "audio_only.mpg", "000", "The file has no video stream."},
        {Fixture("dvd_pal_mpa.mpg"), "no folder/000", "Cannot write "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        Bench s;
        const std::string base = s.dir / c.base;
        ASSERT_TRUE(s.Demux(c.input, base));
        EXPECT_EQ(s.window.Ends(), 1);
        EXPECT_EQ(s.window.got.back().wParam, 0u);
        EXPECT_NE(s.window.got.back().lParam, 0);
        EXPECT_THAT(std::string(s.demux.errorText), HasSubstr(c.error));
        EXPECT_FALSE(fs::exists(base + ".m2v"));
        EXPECT_FALSE(fs::exists(base + ".mpa"));
    }
}

TEST(SystemMpgtx, ChecksFileAfterFileFromWithinTheHandler) {
    platform::ManualMessageLoop loop;
    Window window;
    window.AttachLoop(&loop);
    std::unique_ptr<Mpgtx> mpgtx = MakeSystemMpgtx();
    alignas(8) static _mpgtx_check_param_ record;
    struct Seen {
        std::int64_t size;
        float seconds, frameRate;
        int width, height;
        std::string reason;
    };
    std::vector<Seen> seen;
    const std::string files[] = {Fixture("dvd_pal_mpa.mpg"), Fixture("vcd_ntsc.mpg")};
    window.onMessage = [&](const Msg&) {
        seen.push_back({record.fileSize, record.seconds, record.frameRate, record.width,
                        record.height, CheckRefusalReason(record)});
        if (seen.size() < 2) {
            FillCheck(record, window, files[seen.size()]); // as the burner refills it
            mpgtx->mpgtx_Checkfile(&record);
        }
    };
    FillCheck(record, window, files[0]);
    mpgtx->mpgtx_Checkfile(&record);
    ASSERT_TRUE(PumpUntil(loop, [&] { return seen.size() == 2; }));

    ASSERT_EQ(window.got.size(), 2u);
    EXPECT_EQ(window.got[0].message, WM_CHECK_DONE);
    EXPECT_EQ(window.got[0].wParam, 0u);
    EXPECT_EQ(window.got[1].wParam, 1u);
    EXPECT_EQ(seen[0].size, static_cast<std::int64_t>(fs::file_size(files[0])));
    EXPECT_EQ(seen[0].width, 720);
    EXPECT_EQ(seen[0].height, 576);
    EXPECT_FLOAT_EQ(seen[0].frameRate, 25.0f);
    EXPECT_FLOAT_EQ(seen[0].seconds, 1.0f); // 25 pictures
    EXPECT_EQ(seen[0].reason, "");
    EXPECT_EQ(seen[1].width, 352);
    EXPECT_EQ(seen[1].reason, "The file is an MPEG-1 program stream, but a DVD needs MPEG-2.");
}

// A long program stream: the DVD fixture many times over.
std::string LongStream(const ScratchDir& dir) {
    std::vector<unsigned char> one = ReadBytes(Fixture("dvd_pal_mpa.mpg"));
    std::vector<unsigned char> all;
    for (int i = 0; i < 150; ++i)
        all.insert(all.end(), one.begin(), one.end());
    WriteBytes(dir / "long.mpg", all);
    return dir / "long.mpg";
}

TEST(SystemMpgtx, ANewCallForTheSameRecordTakesItOver) {
    Bench s;
    const std::string longInput = LongStream(s.dir);
    FillDemux(s.demux, s.window, longInput, s.dir / "000");
    s.mpgtx->mpgtx_Demuxer(&s.demux);
    FillDemux(s.demux, s.window, Fixture("dvd_ntsc_ac3.mpg"), s.dir / "001");
    s.mpgtx->mpgtx_Demuxer(&s.demux);
    // A superseded run reports nothing and removes its streams before the next one starts.
    ASSERT_TRUE(PumpUntil(s.loop, [&] {
        return s.window.Ends() == 2 || (s.window.Ends() == 1 && !fs::exists(s.dir / "000.m2v"));
    }));
    // The first run either ended before the second call or stopped without a word and without
    // its streams; the second ran to the end.
    EXPECT_LE(s.window.Ends(), 2);
    EXPECT_EQ(s.window.got.back().lParam, 0);
    EXPECT_EQ(fs::exists(s.dir / "000.m2v"), s.window.Ends() == 2);
    EXPECT_GT(fs::file_size(s.dir / "001.m2v"), 0u);
    EXPECT_GT(fs::file_size(s.dir / "001.mpa"), 0u);
}

TEST(SystemMpgtx, DestroyingTheEngineStopsARunningDemultiplex) {
    Bench s;
    const std::string longInput = LongStream(s.dir);
    FillDemux(s.demux, s.window, longInput, s.dir / "000");
    s.mpgtx->mpgtx_Demuxer(&s.demux);
    s.mpgtx.reset(); // joins the thread
    s.loop.Pump();
    // Stopped without an end report and without its streams, unless it had already finished.
    if (s.window.Ends() == 0) {
        EXPECT_FALSE(fs::exists(s.dir / "000.m2v"));
        EXPECT_FALSE(fs::exists(s.dir / "000.mpa"));
    } else {
        EXPECT_EQ(s.window.got.back().lParam, 0);
    }
}

} // namespace
