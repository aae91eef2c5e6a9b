// The scanner on the committed fixture streams, checked against ffprobe run at test time.
#include "log_capture.h"
#include "mpeg_pack_builder_support.h"
#include "mpeg_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

using namespace mpegtest;

namespace {

std::string Fixture(const std::string& name) {
    return std::string(PELLAM_FIXTURES) + "/" + name;
}

// Output of a shell command; stderr is dropped unless the command redirects it itself.
std::string Shell(const std::string& command) {
    std::string out;
    std::FILE* p =
        ::popen(command.find("2>") == std::string::npos ? (command + " 2>/dev/null").c_str()
                                                        : command.c_str(),
                "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

bool HaveFfprobe() {
    return Shell("ffprobe -version").find("ffprobe version") == 0;
}

#define REQUIRE_FFPROBE()                                                                          \
    if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe is not installed"

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// key=value lines of ffprobe's default writer without section wrappers.
std::map<std::string, std::string> Fields(const std::string& args, const std::string& path) {
    std::map<std::string, std::string> fields;
    for (const std::string& line :
         Lines(Shell("ffprobe -v error -of default=nw=1 " + args + " '" + path + "'"))) {
        std::size_t eq = line.find('=');
        if (eq != std::string::npos && !fields.count(line.substr(0, eq)))
            fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

// CSV rows (no section name) of ffprobe, split at commas.
std::vector<std::vector<std::string>> Rows(const std::string& args, const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line :
         Lines(Shell("ffprobe -v error -of csv=p=0 " + args + " '" + path + "'"))) {
        std::vector<std::string> cells;
        std::istringstream in(line);
        for (std::string cell; std::getline(in, cell, ',');)
            cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

double Rational(const std::string& text) {
    double num = 0, den = 1;
    if (std::sscanf(text.c_str(), "%lf/%lf", &num, &den) != 2 || den == 0) return -1;
    return num / den;
}

std::size_t CountBytes(const Bytes& data, const Bytes& pattern) {
    std::size_t n = 0;
    for (auto it = data.begin();
         (it = std::search(it, data.end(), pattern.begin(), pattern.end())) != data.end(); ++it)
        ++n;
    return n;
}

long DecodeScanOffset(const std::uint8_t* f) {
    if (f[0] == 0xFF && f[1] == 0xFF && f[2] == 0xFF) return -1;
    auto bcd = [](std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); };
    return bcd(f[0]) * 4500L + bcd(f[1] & 0x7F) * 75L + bcd(f[2] & 0x7F);
}

struct StreamFixture {
    const char* name;
    std::size_t packSize; // bytes per pack in the file
    bool svcd;            // carries scan offsets in every picture
};

const StreamFixture kStreams[] = {
    {"vcd_ntsc.mpg", 2324, false},     {"vcd_film.mpg", 2324, false},
    {"vcd_pal.mpg", 2324, false},      {"svcd_ntsc.mpg", 2324, true},
    {"svcd_pal.mpg", 2324, true},      {"dvd_pal_mpa.mpg", 2048, false},
    {"dvd_ntsc_ac3.mpg", 2048, false}, {"packs_2048.mpg", 2048, false},
};

// Reads every pack in order; the buffers handed out, concatenated.
Bytes ReadAllPacks(CVcdMpegSource& src, bool fixScanInfo,
                   std::vector<MpegPacketInfo>* infos = nullptr) {
    Bytes all;
    std::uint8_t buf[kMpegPackSize];
    for (std::uint32_t i = 0; i < src.GetInfo().packets; ++i) {
        MpegPacketInfo pi;
        if (src.GetPacket(i, buf, &pi, fixScanInfo) != 0) break;
        all.insert(all.end(), buf, buf + kMpegPackSize);
        if (infos) infos->push_back(pi);
    }
    return all;
}

} // namespace

TEST(MpegFixture, ScannedFactsAgreeWithFfprobe) {
    REQUIRE_FFPROBE();
    for (const StreamFixture& f : kStreams) {
        SCOPED_TRACE(f.name);
        const std::string path = Fixture(f.name);
        const Bytes data = ReadFile(path);
        ASSERT_FALSE(data.empty());
        CapturedLog cap;
        CVcdMpegSource src(cap, path.c_str());
        ASSERT_EQ(src.Scan(false, false, f.name), 0) << cap.Dump(VCD_LOG_WARN);
        const MpegStreamInfo& info = src.GetInfo();

        // Video: the stream 0xE0.
        auto v = Fields("-select_streams v:0 -show_streams", path);
        ASSERT_EQ(v["id"], "0x1e0");
        const MpegVideoInfo& video = info.video[0];
        ASSERT_TRUE(video.seen);
        const MpegVersion version = v["codec_name"] == "mpeg1video"   ? MPEG_VERSION_1
                                    : v["codec_name"] == "mpeg2video" ? MPEG_VERSION_2
                                                                      : MPEG_VERSION_UNKNOWN;
        EXPECT_EQ(info.version, version) << v["codec_name"];
        EXPECT_EQ(std::to_string(video.hsize), v["width"]);
        EXPECT_EQ(std::to_string(video.vsize), v["height"]);
        EXPECT_NEAR(video.frameRate, Rational(v["r_frame_rate"]), 1e-9) << v["r_frame_rate"];
        // The sequence header's bit rate and buffer size: ffprobe gives them as the stream bit
        // rate for MPEG-1 and in the CPB side data for MPEG-2.
        if (version == MPEG_VERSION_1) {
            EXPECT_EQ(std::to_string(video.bitRate), v["bit_rate"]);
        } else {
            EXPECT_EQ(std::to_string(video.bitRate), v["max_bitrate"]);
            EXPECT_EQ(std::to_string(video.vbvSize), v["buffer_size"]);
        }

        // Audio: MPEG audio on 0xC0; the AC-3 of the DVD fixture is not MPEG audio.
        auto a = Fields("-select_streams a:0 -show_streams", path);
        const MpegAudioInfo& audio = info.audio[0];
        if (a["codec_name"] == "ac3") {
            EXPECT_FALSE(audio.seen);
            EXPECT_FALSE(info.audio[1].seen || info.audio[2].seen);
        } else {
            ASSERT_EQ(a["id"], "0x1c0");
            ASSERT_TRUE(audio.seen);
            const std::map<std::string, std::uint32_t> layers = {
                {"mp1", 1}, {"mp2", 2}, {"mp3", 3}};
            ASSERT_TRUE(layers.count(a["codec_name"])) << a["codec_name"];
            EXPECT_EQ(audio.layer, layers.at(a["codec_name"]));
            EXPECT_EQ(std::to_string(audio.samplingRate), a["sample_rate"]);
            EXPECT_EQ(std::to_string(audio.bitRate / 1024 * 1000), a["bit_rate"]);
            if (a["channels"] == "1") {
                EXPECT_EQ(audio.mode, MPEG_AUDIO_SINGLE_CHANNEL);
            } else {
                EXPECT_TRUE(audio.mode == MPEG_AUDIO_STEREO ||
                            audio.mode == MPEG_AUDIO_JOINT_STEREO ||
                            audio.mode == MPEG_AUDIO_DUAL_CHANNEL)
                    << audio.mode;
            }
        }

        EXPECT_EQ(data.size() % f.packSize, 0u);
        EXPECT_EQ(info.packets, data.size() / f.packSize);

        // Access points: one per I-picture, in the pack where ffprobe finds the picture's
        // packet, at the picture's PTS.
        constexpr std::uint32_t kUnknownPack = ~0u;
        std::vector<std::pair<std::uint32_t, double>> iFrames;
        for (const auto& row :
             Rows("-select_streams v:0 -show_entries frame=pict_type,pts_time,pkt_pos", path))
            if (row.size() >= 3 && row[2] == "I")
                iFrames.push_back(
                    {row[1] == "N/A" ? kUnknownPack
                                     : static_cast<std::uint32_t>(std::stoll(row[1]) / f.packSize),
                     std::stod(row[0])});
        const std::vector<ApsEntry>& aps = video.apsList;
        ASSERT_EQ(aps.size(), iFrames.size());
        for (std::size_t i = 0; i < aps.size(); ++i) {
            // ffprobe leaves the position out for a picture that does not start its PES
            // packet. Such a pack's time stamp belongs to the picture before it, which the
            // access point takes as its time: one frame early.
            const double tolerance =
                iFrames[i].first == kUnknownPack ? 1.0 / video.frameRate + 2e-6 : 2e-6;
            if (iFrames[i].first != kUnknownPack) {
                EXPECT_EQ(aps[i].packetNo, iFrames[i].first) << i;
            }
            EXPECT_NEAR(aps[i].timestamp + info.minPts, iFrames[i].second, tolerance) << i;
        }

        // PTS range over all PES packets as the demuxer reads them, without frame parsing or
        // interpolation.
        double lo = 1e30, hi = -1e30;
        for (const auto& row :
             Rows("-fflags +noparse+nofillin -show_entries packet=pts_time", path)) {
            if (row.empty() || row[0] == "N/A") continue;
            lo = std::min(lo, std::stod(row[0]));
            hi = std::max(hi, std::stod(row[0]));
        }
        ASSERT_TRUE(info.seenPts);
        EXPECT_NEAR(info.minPts, lo, 2e-6);
        EXPECT_NEAR(info.maxPts, hi, 2e-6);
        EXPECT_NEAR(info.playingTime, hi - lo, 4e-6);

        // Scan information: a plain byte search, and ffprobe's picture count.
        const std::size_t tags = CountBytes(data, {0, 0, 1, 0xB2, 0x10, 0x0E});
        EXPECT_EQ(info.scanData, tags);
        if (f.svcd) {
            auto count = Fields("-select_streams v:0 -count_frames -show_entries "
                                "stream=nb_read_frames",
                                path);
            EXPECT_EQ(std::to_string(info.scanData), count["nb_read_frames"]);
            EXPECT_GT(info.scanData, 0u);
        }
        EXPECT_EQ(cap.Has(VCD_LOG_WARN, "mpeg stream contained no scan information (user data)."),
                  version == MPEG_VERSION_2 && tags == 0);
        EXPECT_EQ(cap.Has(VCD_LOG_WARN, "autopadding requires"), f.packSize != kMpegPackSize);
    }
}

TEST(MpegFixture, PacksReadBackAsTheFileBytes) {
    for (const StreamFixture& f : kStreams) {
        SCOPED_TRACE(f.name);
        const std::string path = Fixture(f.name);
        const Bytes data = ReadFile(path);
        CapturedLog cap;
        CVcdMpegSource src(cap, path.c_str());
        ASSERT_EQ(src.Scan(false, false, f.name), 0);
        Bytes expected;
        for (std::size_t pos = 0; pos < data.size(); pos += f.packSize) {
            std::size_t n = std::min(f.packSize, data.size() - pos);
            expected.insert(expected.end(), data.begin() + pos, data.begin() + pos + n);
            expected.insert(expected.end(), kMpegPackSize - n, 0);
        }
        Bytes got = ReadAllPacks(src, false);
        EXPECT_TRUE(got == expected) << got.size() << " vs " << expected.size();
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, "rewinding"), 0);
        EXPECT_EQ(cap.Count(VCD_LOG_ERROR, ""), 0) << cap.Dump(VCD_LOG_ERROR);
    }
}

TEST(MpegFixture, RewrittenScanOffsetsPointAtAccessPoints) {
    for (const char* name : {"svcd_ntsc.mpg", "svcd_pal.mpg"}) {
        SCOPED_TRACE(name);
        const std::string path = Fixture(name);
        CapturedLog cap;
        CVcdMpegSource src(cap, path.c_str());
        ASSERT_EQ(src.Scan(false, true, name), 0);
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, "mpeg user scan data"), 0);
        std::set<long> aps;
        for (const ApsEntry& e : src.GetInfo().video[0].apsList)
            aps.insert(e.packetNo);
        ASSERT_GE(aps.size(), 2u);

        std::vector<MpegPacketInfo> infos;
        Bytes all = ReadAllPacks(src, true, &infos);
        ASSERT_EQ(infos.size(), src.GetInfo().packets);
        std::size_t rewritten = 0;
        for (std::size_t i = 0; i < infos.size(); ++i) {
            if (!infos[i].HasScanInfo()) continue;
            SCOPED_TRACE(i);
            const MpegPacketInfo& pi = infos[i];
            ASSERT_GE(pi.scanInfoCount, 1);
            EXPECT_EQ(pi.scanInfoOffsets[pi.scanInfoCount - 1], pi.scanInfo);
            rewritten += pi.scanInfoCount;
            // Every record of the pack carries the same offsets.
            const std::uint8_t* tag = &all[i * kMpegPackSize + pi.scanInfo];
            for (int r = 0; r < pi.scanInfoCount; ++r)
                EXPECT_EQ(std::memcmp(&all[i * kMpegPackSize + pi.scanInfoOffsets[r]], tag, 14), 0);
            ASSERT_EQ(tag[0], 0x10);
            ASSERT_EQ(tag[1], 0x0E);
            long previous = DecodeScanOffset(tag + 2), next = DecodeScanOffset(tag + 5);
            long backward = DecodeScanOffset(tag + 8), forward = DecodeScanOffset(tag + 11);
            const long pack = static_cast<long>(i);
            const bool apsBefore = *aps.begin()<pack, apsAfter = *aps.rbegin()> pack;
            EXPECT_EQ(previous == -1, !apsBefore);
            EXPECT_EQ(next == -1, !apsAfter);
            if (previous != -1) {
                EXPECT_TRUE(aps.count(previous) && previous < pack) << previous;
            }
            if (next != -1) {
                EXPECT_TRUE(aps.count(next) && next > pack) << next;
            }
            EXPECT_TRUE(backward == pack || (aps.count(backward) && backward < pack)) << backward;
            EXPECT_TRUE(forward == pack || (aps.count(forward) && forward > pack)) << forward;
            // These streams are far shorter than 10 s: the farthest access points are reached.
            EXPECT_EQ(backward, apsBefore ? *aps.begin() : pack);
            EXPECT_EQ(forward, apsAfter ? *aps.rbegin() : pack);
        }
        EXPECT_EQ(rewritten, src.GetInfo().scanData);

        // The rewritten stream still reads cleanly.
        if (HaveFfprobe()) {
            TempFile out(all, name);
            EXPECT_EQ(Shell("ffprobe -v error -show_streams -show_format '" + out.path() +
                            "' 2>&1 "
                            ">/dev/null"),
                      "");
            auto count = Fields("-select_streams v:0 -count_frames -show_entries "
                                "stream=nb_read_frames",
                                out.path());
            EXPECT_EQ(count["nb_read_frames"], std::to_string(rewritten));
        }
    }
}

TEST(MpegFixture, InvalidStreamsAreRefused) {
    struct Case {
        const char* name;
        std::vector<std::string> warnings; // in this order, each a full line
    };
    const Case cases[] = {
        {"elementary.m1v",
         {"mpeg scan: pack header code (0x000001ba) expected, but 0x000001b3 found (buflen = "
          "2324)\n",
          "...this looks like a elementary video stream but a multiplexed program stream was "
          "required.\n"}},
        {"riff.mpg",
         {"mpeg scan: pack header code (0x000001ba) expected, but 0x52494646 found (buflen = "
          "2324)\n",
          "...this looks like a RIFF header but a plain multiplexed program stream was "
          "required.\n"}},
        {"not_mpeg.bin", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog cap;
        CVcdMpegSource src(cap, Fixture(c.name).c_str());
        EXPECT_EQ(src.Scan(false, false, c.name), 1);
        std::vector<std::string> warnings;
        for (const LoggedLine& l : cap.lines())
            if (l.level == VCD_LOG_WARN) warnings.push_back(l.text);
        if (c.warnings.empty()) {
            ASSERT_EQ(warnings.size(), 1u) << cap.Dump();
            EXPECT_EQ(warnings[0].rfind("mpeg scan: pack header code (0x000001ba) expected", 0),
                      0u);
            EXPECT_NE(warnings[0].find("(buflen = 47)"), std::string::npos);
        } else {
            EXPECT_EQ(warnings, c.warnings);
        }
        EXPECT_EQ(cap.Count(VCD_LOG_ERROR, ""), 1);
        EXPECT_TRUE(
            cap.Has(VCD_LOG_ERROR, "input mpeg stream has been deemed invalid -- aborting\n"));
        EXPECT_EQ(src.GetInfo().packets, 0u);
    }
}

TEST(MpegFixture, EmptyAndZeroFiles) {
    {
        CapturedLog cap(1, true);
        CVcdMpegSource src(cap, Fixture("empty.mpg").c_str());
        EXPECT_EQ(src.Scan(false, false, "empty"), 0);
        EXPECT_EQ(src.GetInfo().packets, 0u);
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0);
        ASSERT_FALSE(cap.window().scanBlocks.empty());
        for (const ScanBlock& b : cap.window().scanBlocks) {
            const std::int32_t percent = b.percent; // packed field: no reference to it
            EXPECT_EQ(percent, 0);
        }
        std::uint8_t buf[kMpegPackSize];
        EXPECT_EQ(src.GetPacket(0, buf, nullptr, false), -1);
    }
    {
        CapturedLog cap;
        CVcdMpegSource src(cap, Fixture("zeros.mpg").c_str());
        EXPECT_EQ(src.Scan(false, false, "zeros"), 0);
        const MpegStreamInfo& info = src.GetInfo();
        EXPECT_EQ(info.packets, 3u);
        EXPECT_EQ(info.version, MPEG_VERSION_UNKNOWN);
        EXPECT_FALSE(info.seenPts);
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0);
        std::uint8_t buf[kMpegPackSize];
        for (std::uint32_t i = 0; i < 3; ++i) {
            MpegPacketInfo pi;
            ASSERT_EQ(src.GetPacket(i, buf, &pi, false), 0);
            EXPECT_EQ(GetPacketType(pi), MPEG_PACKET_ZERO);
        }
    }
}

TEST(MpegFixture, TruncatedStreamKeepsTheEarlierPacks) {
    const std::string path = Fixture("truncated.mpg");
    const Bytes data = ReadFile(path);
    const std::size_t whole = data.size() / kMpegPackSize;
    ASSERT_NE(data.size() % kMpegPackSize, 0u);
    CapturedLog cap;
    CVcdMpegSource src(cap, path.c_str());
    ASSERT_EQ(src.Scan(false, false, "truncated"), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "packet length beyond buffer (pos = ")) << cap.Dump();
    char bad[160];
    std::snprintf(bad, sizeof bad,
                  "bad packet at packet #%d (stream byte offset %d) -- remaining %d bytes of "
                  "stream will be ignored\n",
                  static_cast<int>(whole), static_cast<int>(whole * kMpegPackSize),
                  static_cast<int>(data.size() - whole * kMpegPackSize));
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, bad)) << cap.Dump(VCD_LOG_WARN);
    EXPECT_EQ(src.GetInfo().packets, whole);
    Bytes got = ReadAllPacks(src, false);
    EXPECT_TRUE(got == Bytes(data.begin(), data.begin() + whole * kMpegPackSize));
}

TEST(MpegFixture, AccessPointOutOfOrder) {
    REQUIRE_FFPROBE();
    const std::string path = Fixture("aps_out_of_order.mpg");
    CapturedLog cap;
    CVcdMpegSource src(cap, path.c_str());
    ASSERT_EQ(src.Scan(false, false, "aps"), 0);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "APS' pts seems out of order (actual pts "), 1)
        << cap.Dump(VCD_LOG_WARN);
    std::size_t iFrames = 0;
    for (const auto& row : Rows("-select_streams v:0 -show_entries frame=pict_type", path))
        iFrames += !row.empty() && row[0] == "I";
    EXPECT_EQ(src.GetInfo().video[0].apsList.size() + 1, iFrames);
}

TEST(MpegFixture, SubtitleChannels) {
    CapturedLog cap;
    CVcdMpegSource src(cap, Fixture("ogt.mpg").c_str());
    ASSERT_EQ(src.Scan(false, false, "ogt"), 0);
    const bool expected[4] = {true, true, false, false};
    EXPECT_EQ(std::memcmp(src.GetInfo().ogt, expected, sizeof expected), 0);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "OGT channel out of range 5\n"), 1) << cap.Dump(VCD_LOG_WARN);
    std::map<MpegPacketType, int> types;
    std::uint8_t buf[kMpegPackSize];
    for (std::uint32_t i = 0; i < src.GetInfo().packets; ++i) {
        MpegPacketInfo pi;
        ASSERT_EQ(src.GetPacket(i, buf, &pi, false), 0);
        ++types[GetPacketType(pi)];
    }
    // Channels 0, 1, 0, 1; the pack of channel 5 counts by its padding only.
    EXPECT_EQ(types[MPEG_PACKET_OGT], 4);
}

TEST(MpegFixture, TwoVideoStreams) {
    REQUIRE_FFPROBE();
    const std::string path = Fixture("two_video.mpg");
    CapturedLog cap;
    CVcdMpegSource src(cap, path.c_str());
    ASSERT_EQ(src.Scan(false, false, "two"), 0);
    const MpegStreamInfo& info = src.GetInfo();
    EXPECT_TRUE(info.video[0].seen);
    EXPECT_TRUE(info.video[1].seen);
    EXPECT_FALSE(info.video[2].seen);
    EXPECT_DOUBLE_EQ(info.minPts, 0.5);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "pts start offset 0.500000 (max pts = "));
    for (int s = 0; s < 2; ++s) {
        SCOPED_TRACE(s);
        std::size_t iFrames = 0;
        for (const auto& row : Rows(
                 "-select_streams v:" + std::to_string(s) + " -show_entries frame=pict_type", path))
            iFrames += !row.empty() && row[0] == "I";
        EXPECT_EQ(info.video[s].apsList.size(), iFrames);
    }
    EXPECT_EQ(info.video[1].apsList.size(), 1u) << "the still";
    EXPECT_EQ(info.video[0].apsList.front().timestamp, 0.0);
}
