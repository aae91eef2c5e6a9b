// The compatibility check on the fixture streams, their facts checked against ffprobe, and on
// copies patched to break one rule each.
#include "engines/checks/mpeg_compat.h"
#include "mpeg_probe_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

using namespace engines;
using namespace mpegprobe;
using ::testing::HasSubstr;

namespace {

const char* KindName(DiscKind kind) {
    return kind == DiscKind::Vcd ? "VCD" : kind == DiscKind::Svcd ? "SVCD" : "DVD";
}

constexpr DiscKind kKinds[] = {DiscKind::Vcd, DiscKind::Svcd, DiscKind::Dvd};

struct ValidCase {
    const char* file;
    DiscKind kind;
    // Why the other two kinds refuse it, in the order of kKinds (the own kind's entry unused).
    const char* refusals[3];
};

const ValidCase kValid[] = {
    {"vcd_ntsc.mpg",
     DiscKind::Vcd,
     {"", "The file is an MPEG-1 program stream, but an SVCD needs MPEG-2.",
      "The file is an MPEG-1 program stream, but a DVD needs MPEG-2."}},
    {"vcd_pal.mpg", DiscKind::Vcd, {"", "but an SVCD needs MPEG-2.", "but a DVD needs MPEG-2."}},
    {"vcd_film.mpg", DiscKind::Vcd, {"", "but an SVCD needs MPEG-2.", "but a DVD needs MPEG-2."}},
    {"svcd_ntsc.mpg",
     DiscKind::Svcd,
     {"The file is an MPEG-2 program stream, but a VCD needs MPEG-1.", "",
      "The picture is 480x480 at 29.97 frames/s, but a DVD needs"}},
    {"svcd_pal.mpg",
     DiscKind::Svcd,
     {"but a VCD needs MPEG-1.", "", "The picture is 480x576 at 25 frames/s, but a DVD needs"}},
    {"dvd_pal_mpa.mpg",
     DiscKind::Dvd,
     {"but a VCD needs MPEG-1.", "The picture is 720x576 at 25 frames/s, but an SVCD needs", ""}},
    {"dvd_ntsc_ac3.mpg",
     DiscKind::Dvd,
     {"but a VCD needs MPEG-1.", "The picture is 720x480 at 29.97 frames/s, but an SVCD needs",
      ""}},
};

TEST(MpegCompat, EachValidFixtureSuitsItsDiscOnlyAndItsFactsAreFfprobes) {
    if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe is not installed";
    for (const ValidCase& c : kValid) {
        SCOPED_TRACE(c.file);
        const std::string path = Fixture(c.file);
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE(KindName(kKinds[k]));
            MpegCheckResult r = CheckMpegFile(path, kKinds[k]);
            if (kKinds[k] == c.kind) {
                EXPECT_TRUE(r.ok) << r.reason;
                EXPECT_EQ(r.reason, "");
            } else {
                EXPECT_FALSE(r.ok);
                EXPECT_THAT(r.reason, HasSubstr(c.refusals[k]));
            }
        }

        MpegFacts f = CheckMpegFile(path, c.kind).facts;
        const std::string v = "-select_streams v:0 -show_entries stream=";
        EXPECT_EQ(f.fileSize, static_cast<std::int64_t>(std::filesystem::file_size(path)));
        EXPECT_EQ(std::to_string(f.width), ProbeValue(v + "width", path));
        EXPECT_EQ(std::to_string(f.height), ProbeValue(v + "height", path));
        double rate = Rational(ProbeValue(v + "r_frame_rate", path));
        EXPECT_NEAR(f.frameRate, rate, 1e-9);
        long frames = std::atol(ProbeValue("-count_frames " + v + "nb_read_frames", path).c_str());
        ASSERT_GT(frames, 0);
        EXPECT_NEAR(f.seconds, frames / rate, 1e-6);
        // MPEG-1 video shows the header's rate as the stream's; MPEG-2 as its buffer's maximum.
        std::string headerRate = c.kind == DiscKind::Vcd
                                     ? ProbeValue(v + "bit_rate", path)
                                     : ProbeValue("-select_streams v:0 -show_entries "
                                                  "stream_side_data=max_bitrate",
                                                  path);
        EXPECT_EQ(std::to_string(f.bitRate), headerRate);
        EXPECT_FALSE(f.bitRateMeasured);
    }
}

TEST(MpegCompat, BrokenFilesAreRefusedInEveryModeWithTheirReason) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "folder.mpg");
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {Fixture("empty.mpg"), "The file is empty."},
        {Fixture("zeros.mpg"), "The file is not an MPEG program stream."},
        {Fixture("not_mpeg.bin"), "The file is not an MPEG program stream."},
        {Fixture("elementary.m1v"), "The file is an elementary video stream"},
        {Fixture("riff.mpg"), "The file is a RIFF file"},
        {Fixture("truncated.mpg"), "The file is cut short inside the packet at byte"},
        {Fixture("two_video.mpg"), "The file has 2 video streams"},
        {dir / "missing.mpg", "The file cannot be opened."},
        {dir / "folder.mpg", "The file cannot be read."},
    };
    for (const auto& c : cases) {
        for (DiscKind kind : kKinds) {
            SCOPED_TRACE(c.path + " " + KindName(kind));
            MpegCheckResult r = CheckMpegFile(c.path, kind);
            EXPECT_FALSE(r.ok);
            EXPECT_THAT(r.reason, HasSubstr(c.reason));
        }
    }
    // What was read before the cut still counts.
    MpegFacts cut = CheckMpegFile(Fixture("truncated.mpg"), DiscKind::Vcd).facts;
    EXPECT_EQ(cut.width, 352);
    EXPECT_EQ(cut.height, 240);
}

TEST(MpegCompat, SvcdSubtitlesOutsideItsFourChannelsAreRefused) {
    MpegCheckResult r = CheckMpegFile(Fixture("ogt.mpg"), DiscKind::Svcd);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason,
              "The file carries subtitles on channel 5, but an SVCD has channels 0 to 3.");
}

TEST(MpegCompat, ACancelledCheckIsRefused) {
    std::atomic<int> cancel{1};
    MpegCheckResult r = CheckMpegFile(Fixture("vcd_ntsc.mpg"), DiscKind::Vcd, &cancel);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "Cancelled.");
}

// Offset of the first sequence header's code in the file.
std::size_t FirstSequenceHeader(const std::vector<unsigned char>& d) {
    static const unsigned char code[] = {0, 0, 1, 0xB3};
    return static_cast<std::size_t>(std::search(d.begin(), d.end(), code, code + 4) - d.begin());
}

void SetHeaderBitRate(std::vector<unsigned char>& d, std::uint32_t field) {
    std::size_t i = FirstSequenceHeader(d);
    ASSERT_LT(i + 11, d.size());
    d[i + 8] = static_cast<unsigned char>(field >> 10);
    d[i + 9] = static_cast<unsigned char>(field >> 2);
    d[i + 10] = static_cast<unsigned char>((d[i + 10] & 0x3F) | ((field & 3) << 6));
}

TEST(MpegCompat, AVariableHeaderRateIsMeasuredOverThePlayingTime) {
    if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe is not installed";
    ScratchDir dir;
    for (const char* file : {"vcd_ntsc.mpg", "svcd_pal.mpg"}) {
        SCOPED_TRACE(file);
        std::vector<unsigned char> d = ReadBytes(Fixture(file));
        SetHeaderBitRate(d, 0x3FFFF);
        const std::string path = dir / file;
        WriteBytes(path, d);
        DiscKind kind = file[0] == 'v' ? DiscKind::Vcd : DiscKind::Svcd;
        MpegCheckResult r = CheckMpegFile(path, kind);
        EXPECT_TRUE(r.ok) << r.reason;
        EXPECT_TRUE(r.facts.bitRateMeasured);
        long frames = std::atol(
            ProbeValue("-count_frames -select_streams v:0 -show_entries stream=nb_read_frames",
                       path)
                .c_str());
        double rate =
            Rational(ProbeValue("-select_streams v:0 -show_entries stream=r_frame_rate", path));
        double expected = PacketBytes("v:0", path) * 8.0 / (frames / rate);
        EXPECT_NEAR(static_cast<double>(r.facts.bitRate), expected, expected * 0.005);
    }
}

TEST(MpegCompat, AVideoRateAboveTheDiscsLimitIsRefused) {
    ScratchDir dir;
    std::vector<unsigned char> d = ReadBytes(Fixture("vcd_ntsc.mpg"));
    SetHeaderBitRate(d, 2880); // 1,152,000 bit/s, just above the VCD's limit
    WriteBytes(dir / "fast.mpg", d);
    MpegCheckResult r = CheckMpegFile(dir / "fast.mpg", DiscKind::Vcd);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.facts.bitRate, 1152000);
    EXPECT_EQ(r.reason,
              "The video bit rate is 1152000 bit/s, but a VCD allows at most 1151929 bit/s.");
    SetHeaderBitRate(d, 2879);
    WriteBytes(dir / "fast.mpg", d);
    EXPECT_TRUE(CheckMpegFile(dir / "fast.mpg", DiscKind::Vcd).ok);
}

TEST(MpegCompat, DvdAudioAt44100HzIsRefused) {
    ScratchDir dir;
    std::vector<unsigned char> d = ReadBytes(Fixture("dvd_pal_mpa.mpg"));
    static const unsigned char audio[] = {0, 0, 1, 0xC0};
    std::size_t i =
        static_cast<std::size_t>(std::search(d.begin(), d.end(), audio, audio + 4) - d.begin());
    ASSERT_LT(i + 9, d.size());
    std::size_t frame = i + 9 + d[i + 8]; // after the MPEG-2 PES header
    ASSERT_LT(frame + 3, d.size());
    ASSERT_EQ(d[frame], 0xFF) << "the first audio packet starts with a frame";
    ASSERT_EQ((d[frame + 2] >> 2) & 3, 1) << "48 kHz";
    d[frame + 2] &= 0xF3; // 44.1 kHz
    WriteBytes(dir / "cd_rate.mpg", d);
    MpegCheckResult r = CheckMpegFile(dir / "cd_rate.mpg", DiscKind::Dvd);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "The audio stream 0xC0 is sampled at 44.1 kHz, but a DVD needs 48 kHz.");
}

} // namespace
