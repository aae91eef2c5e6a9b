#include "bincue_sink.h"
#include "cdrdao_sink.h"
#include "log_capture.h"
#include "nero_sink.h"
#include "sector_encoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Sector = std::array<std::uint8_t, kRawSectorSize>;

// Every byte depends on the sector's LSN, so a sector stored at the wrong place shows.
Sector SectorOf(std::int32_t lsn) {
    Sector s;
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::uint8_t>((lsn * 31 + (lsn >> 8) + i * 7 + i / 256) & 0xff);
    return s;
}

std::string Bytes(const Sector& s, std::size_t from) {
    return {reinterpret_cast<const char*>(s.data()) + from, s.size() - from};
}

// One sequence of 1000 packs on VCD 2.0: ISO track 0-299, pregap 300-449, track 2 450-1524.
const VcdCueList kOneSequence = {
    {0, VCD_CUE_TRACK}, {300, VCD_CUE_PREGAP}, {450, VCD_CUE_TRACK}, {1525, VCD_CUE_END}};
const VcdCueList kOneSequenceEntries = {{0, VCD_CUE_TRACK},   {300, VCD_CUE_PREGAP},
                                        {450, VCD_CUE_TRACK}, {600, VCD_CUE_ENTRY},
                                        {900, VCD_CUE_ENTRY}, {1525, VCD_CUE_END}};
// Two sequences: the second one's pregap 1525-1674, track 3 1675-2074 with an entry.
const VcdCueList kTwoSequences = {
    {0, VCD_CUE_TRACK},     {300, VCD_CUE_PREGAP}, {450, VCD_CUE_TRACK},  {600, VCD_CUE_ENTRY},
    {1525, VCD_CUE_PREGAP}, {1675, VCD_CUE_TRACK}, {2050, VCD_CUE_ENTRY}, {2075, VCD_CUE_END}};

struct ToolResult {
    int status = -1;
    std::string output;
};

ToolResult RunTool(const std::string& command) {
    ToolResult r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class ImageSinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/pellam_sinks_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string ReadAt(const std::string& path, std::int64_t offset, std::size_t n) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(offset);
        std::string s(n, '\0');
        in.read(s.data(), static_cast<std::streamsize>(n));
        return in ? s : std::string();
    }
    // Hands sectors first..last-1 to the sink; the number of sectors it refused.
    static int PutSectors(CVcdImage& sink, std::int32_t first, std::int32_t last) {
        int failures = 0;
        for (std::int32_t lsn = first; lsn < last; ++lsn) {
            Sector s = SectorOf(lsn);
            failures += sink.PutSector(s.data(), lsn);
        }
        return failures;
    }

    CapturedLog cap;
    CVcdLog& log = cap;
    std::string dir_;
};

// ---- arguments ----

TEST_F(ImageSinkTest, ArgumentsAreCheckedPerSink) {
    CVcdBinCue bin(log, nullptr);
    CVcdCdrDao toc(log, nullptr);
    CVcdNero nrg(log, nullptr);
    const std::string p = PathOf("x");
    struct Case {
        CVcdImage* sink;
        const char* key;
        const char* value;
        int result;
    };
    const Case cases[] = {
        {&bin, "BIN", p.c_str(), 0},  {&bin, "Cue", p.c_str(), 0},    {&bin, "bin", "", -2},
        {&bin, "sector", "2048", -2}, {&bin, "sector", "2336", 0},    {&bin, "sector", nullptr, -2},
        {&bin, "toc", p.c_str(), -1}, {&bin, nullptr, p.c_str(), -1}, {&toc, "TOC", p.c_str(), 0},
        {&toc, "toc", "", -2},        {&toc, "Img_Base", "D:\\v", 0}, {&toc, "img", p.c_str(), 0},
        {&toc, "obj", "project", -2}, {&toc, "sector", "2352", 0},    {&toc, "cue", p.c_str(), -1},
        {&nrg, "NRG", p.c_str(), 0},  {&nrg, "nrg", "", -2},          {&nrg, "sector", "2336", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key ? c.key : "(null)") + "=" + (c.value ? c.value : "(null)"));
        EXPECT_EQ(c.sink->SetArg(c.key, c.value), c.result);
    }
    EXPECT_TRUE(bin.sector2336());
    EXPECT_EQ(toc.imgBase(), "d:/v");
    EXPECT_EQ(nrg.path(), p);
}

TEST_F(ImageSinkTest, ImageBaseUsesSlashesAndALowerCaseDrive) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\IMG\\videocd", "d:/IMG/videocd"},
        {"d:/IMG/videocd", "d:/IMG/videocd"},
        {"\\\\server\\Share\\v", "//server/Share/v"},
        {"/tmp/Out/VideoCD", "/tmp/Out/VideoCD"},
        {"Videos/vcd", "Videos/vcd"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CVcdCdrDao::NormaliseBase(in), out) << in;
}

TEST_F(ImageSinkTest, ListWithoutEndPointIsRefused) {
    const VcdCueList noEnd = {{0, VCD_CUE_TRACK}, {300, VCD_CUE_PREGAP}, {450, VCD_CUE_TRACK}};
    const std::string cue = PathOf("a.cue"), toc = PathOf("a.toc");
    CVcdBinCue cueSink(log, cue.c_str()), binSink(log, PathOf("a.bin").c_str());
    EXPECT_EQ(cueSink.SetCueSheet(&binSink, noEnd), -1);
    CVcdCdrDao tocSink(log, toc.c_str()), images(log, nullptr);
    EXPECT_EQ(tocSink.SetCueSheet(&images, noEnd), -1);
    CVcdNero nrg(log, PathOf("a.nrg").c_str());
    EXPECT_EQ(nrg.SetCueSheet(&nrg, noEnd), -1);
    EXPECT_EQ(nrg.SetCueSheet(&nrg, kOneSequence), 0);
    EXPECT_EQ(nrg.SetCueSheet(nullptr, kOneSequence), -1);
}

// ---- BIN/CUE ----

struct SectorSize {
    const char* arg;
    std::size_t size;
    std::size_t from; // first byte of the raw sector that is stored
};
const SectorSize kSizes[] = {{"2352", 2352, 0}, {"2336", 2336, 16}};

TEST_F(ImageSinkTest, BinCueStoresEverySectorAtItsLsn) {
    for (const SectorSize& sz : kSizes) {
        SCOPED_TRACE(sz.arg);
        const std::string cue = PathOf(std::string("v") + sz.arg + ".cue");
        const std::string bin = PathOf(std::string("v") + sz.arg + ".bin");
        {
            CVcdBinCue cueSink(log, cue.c_str()), binSink(log, bin.c_str());
            ASSERT_EQ(cueSink.SetArg("sector", sz.arg), 0);
            ASSERT_EQ(binSink.SetArg("sector", sz.arg), 0);
            ASSERT_EQ(cueSink.SetCueSheet(&binSink, kOneSequenceEntries), 0);
            EXPECT_FALSE(cueSink.isOpen());
            EXPECT_EQ(PutSectors(binSink, 0, 1525), 0);
            ASSERT_EQ(binSink.Close(), 0);
        }
        // Sequential sectors need no seek.
        EXPECT_EQ(cap.Count(VCD_LOG_DEBUG, "had to reposition"), 0);
        const std::string mode = std::string("MODE2/") + sz.arg;
        EXPECT_EQ(ReadFile(cue), "FILE \"" + bin +
                                     "\" BINARY\r\n"
                                     "  TRACK 01 " +
                                     mode +
                                     "\r\n"
                                     "    FLAGS DCP\r\n"
                                     "    INDEX 01 00:00:00\r\n"
                                     "  TRACK 02 " +
                                     mode +
                                     "\r\n"
                                     "    FLAGS DCP\r\n"
                                     "    INDEX 00 00:04:00\r\n"
                                     "    INDEX 01 00:06:00\r\n"
                                     "    INDEX 02 00:08:00\r\n"
                                     "    INDEX 03 00:12:00\r\n");
        const std::string data = ReadFile(bin);
        ASSERT_EQ(data.size(), 1525 * sz.size);
        for (std::int32_t lsn = 0; lsn < 1525; ++lsn)
            ASSERT_EQ(data.compare(lsn * sz.size, sz.size, Bytes(SectorOf(lsn), sz.from)), 0)
                << "sector " << lsn;
    }
}

TEST_F(ImageSinkTest, BinOffsetsBeyondFourGigabytesDoNotWrap) {
    const std::int32_t far = 1'900'000; // x 2336 or x 2352 is past 2^32
    for (const SectorSize& sz : kSizes) {
        SCOPED_TRACE(sz.arg);
        const std::string bin = PathOf(std::string("big") + sz.arg + ".bin");
        {
            CVcdBinCue binSink(log, bin.c_str());
            ASSERT_EQ(binSink.SetArg("sector", sz.arg), 0);
            Sector s = SectorOf(far);
            ASSERT_EQ(binSink.PutSector(s.data(), far), 0);
            EXPECT_EQ(PutSectors(binSink, 0, 2), 0);
            ASSERT_EQ(binSink.Close(), 0);
        }
        const std::int64_t offset = static_cast<std::int64_t>(far) * sz.size;
        EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(bin)), offset + sz.size);
        EXPECT_EQ(ReadAt(bin, offset, sz.size - 0), Bytes(SectorOf(far), sz.from));
        EXPECT_EQ(ReadAt(bin, sz.size, sz.size), Bytes(SectorOf(1), sz.from));
        fs::remove(bin);
    }
}

// cdrdao reads the image as a disc: the tracks, pregaps and indexes it lists (absolute sectors)
// must be those of the layout.
const char* const kTwoSequencesByCdrdao[] = {
    "TOC TYPE: CD_ROM_XA",       "TRACK  1  Mode %s:",        "START  00:00:00(     0)",
    "END    00:04:00(   300)",   "TRACK  2  Mode %s:",        "PREGAP 00:02:00(   150)",
    "START  00:06:00(   450)",   "INDEX  2 00:08:00(   600)", "END    00:20:25(  1525)",
    "TRACK  3  Mode %s:",        "PREGAP 00:02:00(   150)",   "START  00:22:25(  1675)",
    "INDEX  2 00:27:25(  2050)", "END    00:27:50(  2075)"};

// Empty when every line of `expected` (with %s replaced by `mode`) appears in `output` in order.
std::string MissingInOrder(const std::string& output, const std::vector<std::string>& expected,
                           const std::string& mode) {
    std::size_t at = 0;
    for (std::string line : expected) {
        if (std::size_t p = line.find("%s"); p != std::string::npos) line.replace(p, 2, mode);
        std::size_t found = output.find(line, at);
        if (found == std::string::npos) return line;
        at = found + line.size();
    }
    return "";
}

// Only the 2352-byte sheet: both readers size a MODE2/2336 bin file by 2352-byte blocks.
TEST_F(ImageSinkTest, IndependentReadersAcceptTheCueSheet) {
    const bool haveCdrdao = fs::exists("/usr/bin/cdrdao");
    const bool haveCdInfo = fs::exists("/usr/bin/cd-info");
    if (!haveCdrdao && !haveCdInfo) GTEST_SKIP() << "neither cdrdao nor cd-info installed";
    const std::string cue = PathOf("videocd.cue"), bin = PathOf("videocd.bin");
    {
        CVcdBinCue cueSink(log, cue.c_str()), binSink(log, bin.c_str());
        ASSERT_EQ(cueSink.SetCueSheet(&binSink, kOneSequenceEntries), 0);
        ASSERT_EQ(PutSectors(binSink, 0, 1525), 0);
        ASSERT_EQ(binSink.Close(), 0);
    }
    if (haveCdrdao) {
        ToolResult r = RunTool("/usr/bin/cdrdao show-toc '" + cue + "'");
        EXPECT_EQ(r.status, 0) << r.output;
        // cdrdao counts a cue sheet's further indexes from the track start, so only the track
        // bounds are compared here; the TOC test checks its indexes.
        EXPECT_EQ(MissingInOrder(r.output,
                                 {"TRACK  1  Mode %s:", "START  00:00:00(     0)",
                                  "END    00:04:00(   300)",
                                  "TRACK  2  Mode %s:", "PREGAP 00:02:00(   150)",
                                  "START  00:06:00(   450)", "END    00:20:25(  1525)"},
                                 "MODE2_RAW"),
                  "")
            << r.output;
    }
    if (haveCdInfo) {
        ToolResult r =
            RunTool("/usr/bin/cd-info --no-device-info --no-cddb --cue-file '" + cue + "'");
        EXPECT_EQ(r.status, 0) << r.output;
        // libcdio shows disc addresses, with the 150 sectors of lead-in.
        EXPECT_EQ(MissingInOrder(r.output,
                                 {"CD-ROM Track List (1 - 2)", "  1: 00:02:00  000000 XA",
                                  "  2: 00:08:00  000450 XA", "170: 00:22:25  001525 leadout"},
                                 ""),
                  "")
            << r.output;
    }
}

// ---- TOC ----

TEST_F(ImageSinkTest, TocForTwoSequences) {
    for (const SectorSize& sz : kSizes) {
        SCOPED_TRACE(sz.arg);
        const std::string sub = PathOf(std::string("s") + sz.arg);
        fs::create_directories(sub + "/IMG");
        const std::string toc = sub + "/videocd.toc";
        const std::string base = sub + "/IMG/videocd";
        struct Names : VcdImageNameListener {
            void OnImageName(const std::string& name) override { seen.push_back(name); }
            std::vector<std::string> seen;
        } names;
        {
            CVcdCdrDao tocSink(log, toc.c_str()), images(log, nullptr);
            ASSERT_EQ(images.SetArg("img_base", base.c_str()), 0);
            ASSERT_EQ(tocSink.SetArg("img_base", images.imgBase().c_str()), 0);
            ASSERT_EQ(images.SetArg("sector", sz.arg), 0);
            ASSERT_EQ(tocSink.SetArg("sector", sz.arg), 0);
            ASSERT_EQ(images.SetArg("obj", &names), 0);
            ASSERT_EQ(tocSink.SetCueSheet(&images, kTwoSequences), 0);
            EXPECT_EQ(images.points().size(), kTwoSequences.size());
            EXPECT_EQ(PutSectors(images, 0, 2075), 0);
            ASSERT_EQ(images.Close(), 0);
        }
        EXPECT_EQ(cap.Count(VCD_LOG_DEBUG, "had to reposition"), 0);
        const std::string mode = sz.size == 2336 ? "MODE2_FORM_MIX" : "MODE2_RAW";
        EXPECT_EQ(ReadFile(toc), "// CDRDAO TOC\r\n"
                                 "//  generated by QuvoDiscBuilder 6.0.7.10(win32)\r\n"
                                 "\r\n"
                                 "CD_ROM_XA\r\n"
                                 "\r\n// Track 1\r\nTRACK " +
                                     mode +
                                     "\r\n COPY\r\n"
                                     " DATAFILE \"" +
                                     base +
                                     "_01.img\"\r\n"
                                     "\r\n// Track 2\r\nTRACK " +
                                     mode +
                                     "\r\n COPY\r\n"
                                     " DATAFILE \"" +
                                     base +
                                     "_02_pregap.img\"\r\n"
                                     " START\r\n"
                                     " DATAFILE \"" +
                                     base +
                                     "_02.img\"\r\n"
                                     " INDEX 00:02:00\r\n"
                                     "\r\n// Track 3\r\nTRACK " +
                                     mode +
                                     "\r\n COPY\r\n"
                                     " DATAFILE \"" +
                                     base +
                                     "_03_pregap.img\"\r\n"
                                     " START\r\n"
                                     " DATAFILE \"" +
                                     base +
                                     "_03.img\"\r\n"
                                     " INDEX 00:05:00\r\n"
                                     "\r\n// EOF\r\n");
        struct File {
            const char* suffix;
            std::int32_t first, last;
        };
        const File files[] = {{"_01", 0, 300},
                              {"_02_pregap", 300, 450},
                              {"_02", 450, 1525},
                              {"_03_pregap", 1525, 1675},
                              {"_03", 1675, 2075}};
        std::vector<std::string> expected;
        for (const File& f : files) {
            const std::string path = base + f.suffix + ".img";
            expected.push_back(path);
            SCOPED_TRACE(path);
            const std::string data = ReadFile(path);
            ASSERT_EQ(data.size(), (f.last - f.first) * sz.size);
            for (std::int32_t lsn = f.first; lsn < f.last; ++lsn)
                ASSERT_EQ(
                    data.compare((lsn - f.first) * sz.size, sz.size, Bytes(SectorOf(lsn), sz.from)),
                    0)
                    << "sector " << lsn;
        }
        EXPECT_EQ(names.seen, expected);
        if (fs::exists("/usr/bin/cdrdao")) {
            ToolResult r = RunTool("/usr/bin/cdrdao show-toc '" + toc + "'");
            EXPECT_EQ(r.status, 0) << r.output;
            EXPECT_EQ(MissingInOrder(r.output,
                                     std::vector<std::string>(std::begin(kTwoSequencesByCdrdao),
                                                              std::end(kTwoSequencesByCdrdao)),
                                     mode),
                      "")
                << r.output;
        }
    }
}

TEST_F(ImageSinkTest, TocImageFilesAreWarnedOnceAndTruncated) {
    const std::string base = PathOf("videocd");
    std::ofstream(base + "_01.img", std::ios::binary).flush(); // exists but empty: no warning
    std::ofstream(base + "_02.img", std::ios::binary) << std::string(2000 * 2352, 'x');
    {
        CVcdCdrDao tocSink(log, PathOf("videocd.toc").c_str()), images(log, nullptr);
        ASSERT_EQ(images.SetArg("img_base", base.c_str()), 0);
        ASSERT_EQ(tocSink.SetCueSheet(&images, kOneSequence), 0);
        // Before the first sector nothing is open; after the end no file holds the sector.
        EXPECT_EQ(images.fileTrack(), 0);
        EXPECT_EQ(PutSectors(images, 0, 1525), 0);
        EXPECT_EQ(images.fileTrack(), 2);
        EXPECT_FALSE(images.filePregap());
        EXPECT_EQ(PutSectors(images, 1525, 1526), 1);
        ASSERT_EQ(images.Close(), 0);
    }
    const std::string warning = "' exist already, will get overwritten!\n";
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "file '" + base + "_02.img" + warning), 1) << cap.Dump();
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "file '" + base + "_01.img" + warning), 0) << cap.Dump();
    EXPECT_EQ(fs::file_size(base + "_01.img"), 300u * 2352);
    EXPECT_EQ(fs::file_size(base + "_02.img"), 1075u * 2352);

    // Without a layout no sector has a file.
    CVcdCdrDao lost(log, nullptr);
    Sector s = SectorOf(0);
    EXPECT_EQ(lost.PutSector(s.data(), 0), 1);
}

// ---- NRG ----

std::string Be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

TEST_F(ImageSinkTest, NeroStoresTrackDataAndTheFooter) {
    std::string images[2];
    for (int withEntries = 0; withEntries < 2; ++withEntries) {
        SCOPED_TRACE(withEntries);
        cap.Clear();
        const std::string nrg = PathOf("v" + std::to_string(withEntries) + ".nrg");
        {
            CVcdNero sink(log, nrg.c_str());
            EXPECT_TRUE(cap.Has(VCD_LOG_INFO, "opening TAO NRG image for writing; TAO (S)VCD are "
                                              "_NOT_ 100% compliant!\n"))
                << cap.Dump();
            ASSERT_EQ(sink.SetCueSheet(&sink, withEntries ? kOneSequenceEntries : kOneSequence), 0);
            EXPECT_EQ(sink.trackCount(), 2);
            EXPECT_EQ(sink.endLsn(), 1525);
            EXPECT_EQ(PutSectors(sink, 0, 1525), 0);
            ASSERT_EQ(sink.Close(), 0);
        }
        EXPECT_EQ(cap.Count(VCD_LOG_DEBUG, "ignoring "), 150);
        EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "ignoring 300\n"));
        EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "ignoring 449\n"));
        EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "ENDLSN reached! (1524 == 1374)\n")) << cap.Dump();
        images[withEntries] = ReadFile(nrg);
    }
    const std::string& data = images[0];
    const std::string footer =
        "ETNF" + Be32(40) +                                                    //
        Be32(0) + Be32(300 * 2336) + Be32(3) + Be32(0) + Be32(0) +             //
        Be32(300 * 2336) + Be32(1075 * 2336) + Be32(3) + Be32(300) + Be32(0) + //
        "SINF" + Be32(4) + Be32(2) + "END!" + Be32(0) + "NERO" + Be32(3212000);
    ASSERT_EQ(data.size(), 3212000 + footer.size());
    EXPECT_EQ(data.substr(3212000), footer);
    for (std::int32_t stored = 0; stored < 1375; ++stored) {
        std::int32_t lsn = stored < 300 ? stored : stored + 150;
        ASSERT_EQ(data.compare(stored * 2336, 2336, Bytes(SectorOf(lsn), 16)), 0)
            << "stored sector " << stored;
    }
    EXPECT_TRUE(images[0] == images[1]) << "entry points changed the image";
}

TEST_F(ImageSinkTest, NeroDataPositionSkipsPregaps) {
    CVcdNero sink(log, nullptr, VCD_STREAM_READ);
    ASSERT_EQ(sink.SetCueSheet(&sink, kTwoSequences), 0);
    const std::pair<std::int32_t, std::int64_t> cases[] = {
        {0, 0},       {299, 299}, {300, -1},  {449, -1},    {450, 300},   {600, 450},
        {1524, 1374}, {1525, -1}, {1674, -1}, {1675, 1375}, {2074, 1774}, {2075, -1}};
    for (const auto& [lsn, position] : cases)
        EXPECT_EQ(sink.DataPosition(lsn), position) << lsn;
}

// ---- failures ----

TEST_F(ImageSinkTest, FullDeviceIsNeverReportedAsSuccess) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    struct Case {
        const char* name;
        bool failed; // some step returned failure
    };
    std::vector<Case> results;
    {
        CVcdBinCue cueSink(log, PathOf("f.cue").c_str()), binSink(log, "/dev/full");
        bool ok = cueSink.SetCueSheet(&binSink, kOneSequence) == 0;
        ok = PutSectors(binSink, 0, 1525) == 0 && ok;
        ok = binSink.Close() == 0 && ok;
        results.push_back({"bin", !ok});
    }
    {
        // A handful of sectors stays in the buffer: only the close can tell.
        CVcdBinCue binSink(log, "/dev/full");
        bool ok = PutSectors(binSink, 0, 5) == 0;
        ok = binSink.Close() == 0 && ok;
        results.push_back({"bin, buffered", !ok});
    }
    {
        CVcdBinCue cueSink(log, "/dev/full"), binSink(log, PathOf("f.bin").c_str());
        results.push_back({"cue", cueSink.SetCueSheet(&binSink, kOneSequence) != 0});
    }
    {
        CVcdCdrDao tocSink(log, "/dev/full"), images(log, nullptr);
        images.SetArg("img_base", PathOf("f").c_str());
        results.push_back({"toc", tocSink.SetCueSheet(&images, kOneSequence) != 0});
    }
    {
        CVcdNero sink(log, "/dev/full");
        bool ok = sink.SetCueSheet(&sink, kOneSequence) == 0;
        ok = PutSectors(sink, 0, 1525) == 0 && ok;
        ok = sink.Close() == 0 && ok;
        results.push_back({"nrg", !ok});
    }
    for (const Case& c : results)
        EXPECT_TRUE(c.failed) << c.name;
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "No space left on device")) << cap.Dump();
}

} // namespace
