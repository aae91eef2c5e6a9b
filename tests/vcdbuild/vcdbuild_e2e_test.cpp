// End-to-end tests of the vcdbuild command: whole projects are built into images and read back
// by independent readers (cd-info, bchunk, cdrdao, MPlayer, ffprobe and the sector checker);
// bad input and cancels go through the command as a user would meet them.
#include "e2e_support.h"
#include "image_files.h"
#include "sector_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

namespace {

using namespace e2e;
using imgtest::TempDir;

constexpr std::uint32_t kPregap = 150;

std::string Fixture(const char* name) {
    return std::string(PELLAM_FIXTURES) + "/" + name;
}

std::uint32_t PacksOf(const std::string& path) {
    return static_cast<std::uint32_t>((std::filesystem::file_size(path) + 2323) / 2324);
}

std::uint32_t Sectors(std::uint64_t bytes) {
    return static_cast<std::uint32_t>((bytes + 2047) / 2048);
}

std::string Bcd(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02u", v);
    return b;
}

unsigned FromBcd(std::uint8_t b) {
    return (b >> 4) * 10u + (b & 15u);
}

// ---- what the layout must give for a project ----

struct Expected {
    bool svcd = false; // SVCD and HQVCD
    bool pbc = false;
    std::uint32_t front = 30, rear = 45;
    std::uint32_t isoSize = 0, total = 0;
    std::vector<std::uint32_t> segmentStart, seqPregap, seqStart, seqPacks;
    std::map<std::string, CdFile> files;
    std::set<std::string> dirs;
    std::string InfoFile() const { return svcd ? "SVCD/INFO.SVD" : "VCD/INFO.VCD"; }
    std::string EntriesFile() const { return svcd ? "SVCD/ENTRIES.SVD" : "VCD/ENTRIES.VCD"; }
};

// The sector plan of `x`; the sizes of the files whose contents the layout does not fix (PSD,
// SEARCH.DAT, SCANDATA.DAT) are taken from what the image reports.
Expected Plan(const ProjectXml& x, const CdInfo& got) {
    Expected e;
    const bool vcd20 = x.cls == "vcd" && x.version == "2.0";
    e.svcd = x.cls != "vcd";
    e.pbc = !x.pbc.empty();
    if (e.svcd) e.front = e.rear = 0;
    auto reported = [&](const std::string& path) {
        auto it = got.files.find(path);
        return it == got.files.end() ? std::uint64_t{0} : it->second.size;
    };
    const std::string sys = e.svcd ? "SVCD/" : "VCD/";
    const std::string ext = e.svcd ? ".SVD" : ".VCD";
    auto file = [&](const std::string& path, std::uint32_t lsn, std::uint64_t size, bool form2) {
        e.files[path] = CdFile{lsn, size, form2, -1};
    };
    file(sys + "INFO" + ext, 150, 2048, false);
    file(sys + "ENTRIES" + ext, 151, 2048, false);
    std::uint32_t next = 152;
    if (e.pbc) {
        const std::uint64_t psd = reported(sys + "PSD" + ext);
        file(sys + "LOT" + ext, 152, 65536, false);
        file(sys + "PSD" + ext, 184, psd, false);
        next = 184 + Sectors(psd);
    }
    if (e.svcd) {
        file("SVCD/TRACKS.SVD", next, 2048, false);
        const std::uint64_t search = reported("SVCD/SEARCH.DAT");
        file("SVCD/SEARCH.DAT", next + 1, search, false);
        next += 1 + Sectors(search);
    }
    std::uint32_t cur = (next + 74) / 75 * 75; // the head ends on a multiple of 75 sectors
    unsigned item = 1;
    for (const auto& s : x.segments) {
        const std::uint32_t packs = PacksOf(s.src), units = (packs + 149) / 150;
        char name[32];
        std::snprintf(name, sizeof name, "SEGMENT/ITEM%04u.%s", item, e.svcd ? "MPG" : "DAT");
        file(name, cur, std::uint64_t{packs} * 2048, true);
        e.segmentStart.push_back(cur);
        cur += units * 150;
        item += units;
    }
    if (e.svcd) {
        const std::uint64_t scan = reported("EXT/SCANDATA.DAT");
        file("EXT/SCANDATA.DAT", cur, scan, false);
        cur += Sectors(scan);
    }
    if (vcd20 && e.pbc) {
        const std::uint64_t psdx = reported("EXT/PSD_X.VCD");
        file("EXT/LOT_X.VCD", cur, 65536, false);
        file("EXT/PSD_X.VCD", cur + 32, psdx, false);
        cur += 32 + Sectors(psdx);
    }
    for (const auto& f : x.files) {
        std::string path = f.folder.empty() ? f.name : f.folder + "/" + f.name;
        std::transform(path.begin(), path.end(), path.begin(), ::toupper);
        const auto bytes = std::filesystem::file_size(f.src);
        const std::uint32_t n = f.mixed ? static_cast<std::uint32_t>(bytes / 2336) : Sectors(bytes);
        file(path, cur, f.mixed ? std::uint64_t{n} * 2048 : bytes, f.mixed);
        if (!f.folder.empty()) e.dirs.insert(path.substr(0, path.find('/')));
        cur += n;
    }
    e.isoSize = std::max<std::uint32_t>(300, cur);
    std::uint32_t rel = 0;
    for (std::size_t i = 0; i < x.sequences.size(); ++i) {
        const std::uint32_t packs = PacksOf(x.sequences[i].src);
        char name[32];
        std::snprintf(name, sizeof name, e.svcd ? "MPEG2/AVSEQ%02zu.MPG" : "MPEGAV/AVSEQ%02zu.DAT",
                      i + 1);
        e.seqPregap.push_back(e.isoSize + rel);
        rel += kPregap;
        e.seqStart.push_back(e.isoSize + rel);
        e.seqPacks.push_back(packs);
        file(name, e.isoSize + rel, std::uint64_t{e.front + packs + e.rear} * 2048, true);
        rel += e.front + packs + e.rear;
    }
    e.total = e.isoSize + rel;
    for (const char* d : {"EXT", e.svcd ? "MPEG2" : "MPEGAV", e.svcd ? "SVCD" : "VCD"})
        e.dirs.insert(d);
    if (e.svcd || !x.segments.empty()) e.dirs.insert("SEGMENT");
    return e;
}

// ---- projects ----

struct DiscCase {
    const char* name;
    std::function<ProjectXml(const TempDir&)> make;
};
void PrintTo(const DiscCase& c, std::ostream* os) {
    *os << c.name;
}

// The Form 2 blocks of a raw ("mixed") custom file: subheader twice, data, EDC.
Bytes RawBlocks(int count) {
    Bytes out;
    for (int b = 0; b < count; ++b) {
        Sector s{};
        const std::uint8_t sub[4] = {1, 0, static_cast<std::uint8_t>(b + 1 == count ? 0xA0 : 0x20),
                                     0};
        std::copy(sub, sub + 4, s.begin() + 16);
        std::copy(sub, sub + 4, s.begin() + 20);
        for (int i = 0; i < 2324; ++i)
            s[24 + i] = static_cast<std::uint8_t>(i * 7 + b);
        const std::uint32_t edc = ReferenceEdc(s.data() + 16, 2332);
        for (int i = 0; i < 4; ++i)
            s[2348 + i] = static_cast<std::uint8_t>(edc >> (8 * i));
        out.insert(out.end(), s.begin() + 16, s.end());
    }
    return out;
}

ProjectXml Vcd11(const TempDir&) {
    ProjectXml x;
    x.version = "1.1";
    x.sequences = {{Fixture("vcd_ntsc.mpg"), "seq-ntsc", "", {}, {}},
                   {Fixture("vcd_film.mpg"), "seq-film", "", {}, {}}};
    return x;
}

const char kPbc[] = R"(<playlist id="lid-play"><next ref="lid-select"/><wait>2</wait>
<play-item ref="seg-motion"/><play-item ref="seq-ntsc"/></playlist>
<selection id="lid-select"><bsn>1</bsn><prev ref="lid-play" x1="0" y1="0" x2="100" y2="50"/>
<return ref="lid-end"/><default ref="lid-play2"/><timeout ref="lid-end"/><wait>5</wait>
<loop jump-timing="delayed">2</loop><play-item ref="seg-still"/>
<select ref="lid-play" x1="0" y1="0" x2="127" y2="127"/>
<select ref="lid-play2" x1="128" y1="0" x2="255" y2="127"/>
<select ref="lid-end" x1="0" y1="128" x2="255" y2="255"/></selection>
<playlist id="lid-play2"><return ref="lid-select"/><play-item ref="entry-ntsc-1"/>
<play-item ref="seq-pal"/></playlist>
<endlist id="lid-end"/>
)";

ProjectXml Vcd20(const TempDir& dir) {
    ProjectXml x;
    WriteAll(dir.File("still.mpg"),
             imgtest::MakePacks({{imgtest::PackKind::Still, 0}, {imgtest::PackKind::Audio, 0}}));
    Bytes text(3000);
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<std::uint8_t>('a' + i % 26);
    WriteAll(dir.File("readme.txt"), text);
    WriteAll(dir.File("mixed.dat"), RawBlocks(2));
    x.files = {{"DATA", "README.TXT", dir.File("readme.txt"), false},
               {"DATA", "MIXED.DAT", dir.File("mixed.dat"), true}};
    x.segments = {{Fixture("two_video.mpg"), "seg-motion", {}},
                  {dir.File("still.mpg"), "seg-still", {}}};
    x.sequences = {{Fixture("vcd_ntsc.mpg"),
                    "seq-ntsc",
                    "entry-ntsc-0",
                    {{"entry-ntsc-1", 0.4}, {"entry-ntsc-2", 0.8}},
                    {0.6}},
                   {Fixture("vcd_pal.mpg"), "seq-pal", "entry-pal-0", {}, {0.3, 0.9}}};
    x.pbc = kPbc;
    return x;
}

ProjectXml Svcd(bool updateScanOffsets) {
    ProjectXml x;
    x.cls = "svcd";
    x.version = "1.0";
    if (updateScanOffsets) x.options = {{"update scan offsets", "true"}};
    x.sequences = {{Fixture("svcd_ntsc.mpg"), "seq-ntsc", "", {{"entry-ntsc-1", 0.5}}, {}},
                   {Fixture("svcd_pal.mpg"), "seq-pal", "", {}, {}}};
    return x;
}

ProjectXml Hqvcd(const TempDir&) {
    ProjectXml x;
    x.cls = "hqvcd";
    x.version = "1.0";
    x.sequences = {{Fixture("svcd_pal.mpg"), "seq-pal", "", {}, {}}};
    return x;
}

// ---- one built image with the facts the checks need ----

class Built {
  public:
    Built(const ProjectXml& x, const TempDir& dir) : x_(x), dir_(dir) {}

    // Builds BIN/CUE with 2352-byte sectors into out/ and reads it with cd-info.
    void Build() {
        std::filesystem::create_directories(Out());
        const std::string text = xml();
        WriteAll(dir_.File("project.xml"), Bytes(text.begin(), text.end()));
        run = RunVcdbuild({"-x", dir_.File("project.xml"), "-c", Cue(), "-b", Bin()});
        bin = ReadAll(Bin());
        report = Shell("cd-info --no-device-info --no-cddb --cue-file " + Quote(Cue()) +
                       " --iso9660 -l");
        info = ParseCdInfo(report.out);
        plan = Plan(x_, info);
    }
    std::string xml() const { return x_.Render(); }
    std::string Out() const { return dir_.File("out"); }
    std::string Cue() const { return Out() + "/v.cue"; }
    std::string Bin() const { return Out() + "/v.bin"; }

    const ProjectXml& x_;
    const TempDir& dir_;
    RunResult run;
    Bytes bin;
    ShellResult report;
    CdInfo info;
    Expected plan;
};

// The readers' results on a source file, taken once for all projects that use it.
const std::string& SourceFfprobeFrames(const std::string& path) {
    static std::map<std::string, std::string> done;
    auto it = done.find(path);
    return it != done.end() ? it->second : done[path] = FfprobeFrames(path);
}

const std::vector<std::string>& SourceMplayerFrames(const std::string& path) {
    static std::map<std::string, std::vector<std::string>> done;
    static TempDir scratch;
    auto it = done.find(path);
    return it != done.end() ? it->second : done[path] = MplayerFrames(path, scratch.path());
}

// One image per project, built on first use and shared by the checks of that project.
struct Image {
    explicit Image(const DiscCase& c) : x(c.make(dir)), built(x, dir) { built.Build(); }
    TempDir dir;
    ProjectXml x;
    Built built;
};

class Disc : public ::testing::TestWithParam<DiscCase> {
  protected:
    void SetUp() override {
        if (std::string(PELLAM_VCDBUILD).empty()) GTEST_SKIP() << "no vcdbuild command";
        static std::map<std::string, std::unique_ptr<Image>> images;
        auto& image = images[GetParam().name];
        if (!image) image = std::make_unique<Image>(GetParam());
        img = image.get();
        ASSERT_EQ(built().run.exitCode, 0) << built().run.out << built().run.err;
    }
    const Built& built() const { return img->built; }
    const Expected& plan() const { return img->built.plan; }
    const Bytes& bin() const { return img->built.bin; }
    const ProjectXml& x() const { return img->x; }

    Image* img = nullptr;
    TempDir dir; // scratch files of one test
};

TEST_P(Disc, WritesOnlyTheNamedFilesAndValidSectors) {
    EXPECT_EQ(ListTree(built().Out()), (std::vector<std::string>{"v.bin", "v.cue"}));
    EXPECT_NE(built().run.out.find("finished ok, image created with " +
                                   std::to_string(plan().total) + " sectors"),
              std::string::npos)
        << built().run.out;
    EXPECT_EQ(built().run.err, "");
    const ImageCheck c = CheckRawImage(built().Bin());
    EXPECT_TRUE(c.ok()) << c.firstProblem;
    EXPECT_EQ(c.sectors, plan().total);
    EXPECT_EQ(c.badSync + c.badHeader + c.badEdc + c.badEcc + c.badSubheader, 0u);
    EXPECT_EQ(c.form1 + c.form2, c.sectors);
}

TEST_P(Disc, CdInfoListsTheTracksVolumeAndEveryFile) {
    if (!Have("cd-info")) GTEST_SKIP() << "cd-info not installed";
    const CdInfo& got = built().info;
    ASSERT_EQ(built().report.status, 0) << built().report.out;
    ASSERT_EQ(got.tracks.size(), 1 + x().sequences.size()) << built().report.out;
    EXPECT_EQ(got.tracks[0].lsn, 0u);
    for (std::size_t i = 0; i < got.tracks.size(); ++i) {
        EXPECT_EQ(got.tracks[i].number, static_cast<int>(i + 1));
        EXPECT_EQ(got.tracks[i].type, "XA") << "track " << i + 1;
        if (i > 0) {
            EXPECT_EQ(got.tracks[i].lsn, plan().seqStart[i - 1]) << "track " << i + 1;
        }
    }
    EXPECT_EQ(got.leadout, plan().total);
    EXPECT_EQ(got.isoBlocks, plan().isoSize);
    std::string label = got.label;
    label.erase(label.find_last_not_of(' ') + 1);
    EXPECT_EQ(label, x().volumeId);
    EXPECT_EQ(got.volume, x().volumeId);
    EXPECT_EQ(got.application, x().applicationId);
    EXPECT_EQ(got.preparer, "QUVODISCBUILDER 6.0.7.10(WIN32)");
    EXPECT_EQ(got.system, "CD-RTOS CD-BRIDGE");
    // cd-info names the disc by the id of its INFO file; it knows no HQVCD id.
    const std::string infoId(reinterpret_cast<const char*>(&bin()[150u * 2352 + 24]), 8);
    EXPECT_EQ(infoId, x().cls == "vcd" ? "VIDEO_CD" : x().cls == "svcd" ? "SUPERVCD" : "HQ-VCD  ");
    if (x().cls != "hqvcd") {
        EXPECT_EQ(got.xaKind,
                  plan().svcd ? "Super Video CD (SVCD) or Chaoji Video CD (CVD)" : "Video CD")
            << built().report.out;
    }
    EXPECT_EQ(got.files, plan().files) << "cd-info:\n"
                                       << Describe(got.files) << "layout:\n"
                                       << Describe(plan().files);
    EXPECT_EQ(got.dirs, plan().dirs);
    // Each sequence file carries its track's number in the file number of its record.
    for (std::size_t i = 0; i < x().sequences.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name,
                      plan().svcd ? "MPEG2/AVSEQ%02zu.MPG" : "MPEGAV/AVSEQ%02zu.DAT", i + 1);
        auto it = got.files.find(name);
        ASSERT_NE(it, got.files.end()) << name;
        EXPECT_EQ(it->second.fileNumber, plan().svcd ? 0 : static_cast<int>(i + 1)) << name;
    }
}

// The LSN of every INDEX line of the cue sheet, by track.
std::map<int, std::vector<std::uint32_t>> CueIndexes(const std::string& cue,
                                                     std::string* fileLine) {
    std::map<int, std::vector<std::uint32_t>> out;
    std::istringstream in(cue);
    int track = 0;
    for (std::string l; std::getline(in, l);) {
        unsigned n, m, sec, f;
        if (std::sscanf(l.c_str(), "  TRACK %u MODE2/2352", &n) == 1) track = static_cast<int>(n);
        if (std::sscanf(l.c_str(), "    INDEX %u %u:%u:%u", &n, &m, &sec, &f) == 4)
            out[track].push_back((m * 60 + sec) * 75 + f);
        if (l.rfind("FILE ", 0) == 0 && fileLine) *fileLine = l;
    }
    return out;
}

// The cue sheet gives each track its pregap, start and entry points; bchunk splits it.
TEST_P(Disc, CueSheetAndBchunkSplit) {
    const std::string cue = imgtest::ReadText(built().Cue());
    std::string fileLine;
    const auto indexes = CueIndexes(cue, &fileLine);
    EXPECT_EQ(fileLine, "FILE \"" + built().Bin() + "\" BINARY\r");
    ASSERT_EQ(indexes.size(), 1 + x().sequences.size()) << cue;
    EXPECT_EQ(indexes.at(1), std::vector<std::uint32_t>{0});
    const std::uint8_t* entries = &bin()[151u * 2352 + 24];
    std::size_t k = 0;
    for (std::size_t i = 0; i < x().sequences.size(); ++i) {
        std::vector<std::uint32_t> want = {plan().seqPregap[i], plan().seqStart[i]};
        ++k; // ENTRIES holds the track start first, then the entry points
        for (std::size_t e = 0; e < x().sequences[i].entries.size(); ++e, ++k) {
            const std::uint8_t* r = entries + 12 + 4 * k;
            want.push_back((FromBcd(r[1]) * 60 + FromBcd(r[2])) * 75 + FromBcd(r[3]) - 150);
        }
        EXPECT_EQ(indexes.at(static_cast<int>(i + 2)), want) << cue;
    }

    if (!Have("bchunk")) GTEST_SKIP() << "bchunk not installed";
    const std::string split = dir.File("split");
    std::filesystem::create_directories(split);
    ShellResult r = Shell("cd " + Quote(split) + " && bchunk " + Quote(built().Bin()) + " " +
                          Quote(built().Cue()) + " t");
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<std::string> names;
    for (std::size_t i = 0; i <= x().sequences.size(); ++i)
        names.push_back("t" + Bcd(static_cast<unsigned>(i + 1)) + ".iso");
    EXPECT_EQ(ListTree(split), names);
    // bchunk writes each MODE2/2352 track as 2048-byte blocks from the track's last INDEX line
    // up to the next track's first one.
    EXPECT_EQ(std::filesystem::file_size(split + "/t01.iso"), std::uint64_t{plan().isoSize} * 2048);
    for (std::size_t i = 0; i < x().sequences.size(); ++i) {
        const std::uint32_t end =
            i + 1 < x().sequences.size() ? plan().seqPregap[i + 1] : plan().total;
        EXPECT_EQ(std::filesystem::file_size(split + "/" + names[i + 1]),
                  std::uint64_t{end - indexes.at(static_cast<int>(i + 2)).back()} * 2048)
            << names[i + 1];
    }
    // The first track is a plain ISO 9660 image.
    const Bytes iso = ReadAll(split + "/t01.iso");
    ASSERT_GT(iso.size(), 16u * 2048 + 6);
    EXPECT_EQ(std::string(iso.begin() + 16 * 2048 + 1, iso.begin() + 16 * 2048 + 6), "CD001");
}

// Every MPEG track read back by MPlayer from the cue sheet, and by extracting the Form 2 data,
// holds the source stream unchanged and decodes to the same pictures.
TEST_P(Disc, TracksHoldTheSourceStreams) {
    const bool mplayer = Have("mplayer"), ffprobe = Have("ffprobe");
    for (std::size_t i = 0; i < x().sequences.size(); ++i) {
        SCOPED_TRACE("track " + std::to_string(i + 2));
        const Bytes source = PadToPacks(ReadAll(x().sequences[i].src));
        const std::uint32_t packs = plan().seqPacks[i];
        const Bytes track = Form2Payload(bin(), plan().seqStart[i] + plan().front, packs);
        const bool rewritten = std::find(x().options.begin(), x().options.end(),
                                         std::make_pair(std::string("update scan offsets"),
                                                        std::string("true"))) != x().options.end();
        if (!rewritten) {
            EXPECT_TRUE(track == source) << "payload differs from the source";
        }
        // Margins and pregap carry zero data.
        const Bytes before = Form2Payload(bin(), plan().seqPregap[i], kPregap + plan().front);
        const Bytes after =
            Form2Payload(bin(), plan().seqStart[i] + plan().front + packs, plan().rear);
        EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](auto b) { return b == 0; }));
        EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](auto b) { return b == 0; }));

        const std::string extracted = dir.File("track" + std::to_string(i + 2) + ".mpg");
        WriteAll(extracted, track);
        if (mplayer) {
            const std::string dump = dir.File("dump.mpg");
            Shell("mplayer -really-quiet -noconfig all -dumpstream -dumpfile " + Quote(dump) + " " +
                  Quote("cue://" + built().Cue() + ":" + std::to_string(i + 2)) + " </dev/null");
            Bytes expect(std::size_t{kPregap + plan().front} * 2324, 0);
            expect.insert(expect.end(), track.begin(), track.end());
            expect.resize(expect.size() + std::size_t{plan().rear} * 2324, 0);
            EXPECT_TRUE(ReadAll(dump) == expect) << "MPlayer's cue:// read of the track differs";
            const auto& want = SourceMplayerFrames(x().sequences[i].src);
            EXPECT_GT(want.size(), 10u);
            EXPECT_EQ(MplayerFrames(extracted, dir.path()), want);
        }
        if (ffprobe) {
            const std::string& want = SourceFfprobeFrames(x().sequences[i].src);
            EXPECT_NE(want.find("video,"), std::string::npos) << want;
            EXPECT_EQ(FfprobeFrames(extracted), want);
        }
    }
}

// Subheaders of the segment sectors by what each pack carries.
TEST_P(Disc, SegmentsHoldTheSourceStreams) {
    if (x().segments.empty()) GTEST_SKIP() << "no segments in this project";
    for (std::size_t s = 0; s < x().segments.size(); ++s) {
        SCOPED_TRACE(x().segments[s].id);
        const Bytes source = PadToPacks(ReadAll(x().segments[s].src));
        const std::uint32_t packs = PacksOf(x().segments[s].src);
        const std::uint32_t first = plan().segmentStart[s];
        EXPECT_TRUE(Form2Payload(bin(), first, packs) == source);
        const auto facts = ReadPacks(source);
        for (std::uint32_t p = 0; p < packs; ++p) {
            const std::uint8_t* sub = &bin()[std::size_t{first + p} * 2352 + 16];
            const PackFacts& f = facts[p];
            int submode = 0x60, channel = 0, coding = 0x1f;
            if (f.video[0] || f.video[1] || f.video[2]) {
                submode = 0x62;
                channel = f.video[1] ? 2 : f.video[2] ? 3 : 1;
                coding = f.video[1] ? 0x1f : f.video[2] ? 0x3f : 0x0f;
                if ((f.video[1] || f.video[2]) && f.sequenceEnd) submode |= 0x01;
            } else if (f.audio[0] || f.audio[1] || f.audio[2]) {
                submode = 0x64, channel = 1, coding = 0x7f;
            }
            if (p + 1 == packs) submode |= 0x80;
            EXPECT_EQ(sub[0], 1) << "pack " << p;
            EXPECT_EQ(sub[1], channel) << "pack " << p;
            EXPECT_EQ(sub[2], submode) << "pack " << p;
            EXPECT_EQ(sub[3], coding) << "pack " << p;
        }
        // The rest of the 150-sector unit is empty Form 2.
        for (std::uint32_t p = packs; p < (packs + 149) / 150 * 150; ++p)
            ASSERT_EQ(bin()[std::size_t{first + p} * 2352 + 18], 0x20) << "sector " << first + p;
        if (Have("ffprobe")) {
            const std::string extracted = dir.File("segment.mpg");
            WriteAll(extracted, Form2Payload(bin(), first, packs));
            EXPECT_EQ(FfprobeFrames(extracted), SourceFfprobeFrames(x().segments[s].src));
        }
    }
}

// ENTRIES lists each track start and then each entry point, at the access point nearest the
// requested time; auto pauses set the trigger bit on the first pack at or after their time.
TEST_P(Disc, EntriesAndPausesPointIntoTheTracks) {
    const std::uint8_t* entries = &bin()[151u * 2352 + 24];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entries), 8), "ENTRYVCD");
    std::size_t expectCount = 0;
    for (const auto& s : x().sequences)
        expectCount += 1 + s.entries.size();
    ASSERT_EQ(std::size_t{entries[10]} << 8 | entries[11], expectCount);
    std::size_t k = 0;
    for (std::size_t i = 0; i < x().sequences.size(); ++i) {
        SCOPED_TRACE(x().sequences[i].src);
        auto entryLsn = [&](std::size_t n) {
            const std::uint8_t* e = entries + 12 + 4 * n;
            EXPECT_EQ(FromBcd(e[0]), i + 2) << "entry " << n;
            return (FromBcd(e[1]) * 60 + FromBcd(e[2])) * 75 + FromBcd(e[3]) - 150;
        };
        EXPECT_EQ(entryLsn(k++), plan().seqStart[i]);
        const auto facts = ReadPacks(ReadAll(x().sequences[i].src));
        double minPts = 1e9;
        for (const auto& f : facts)
            if (f.lastPts) minPts = std::min(minPts, *f.lastPts);
        for (const auto& entry : x().sequences[i].entries) {
            std::uint32_t best = 0;
            double bestDist = 1e9;
            for (std::uint32_t p = 0; p < facts.size(); ++p) {
                if (!facts[p].accessPoint) continue;
                const double d = std::fabs(*facts[p].videoPts - minPts - entry.time);
                if (d < bestDist) bestDist = d, best = p;
            }
            EXPECT_EQ(entryLsn(k++), plan().seqStart[i] + plan().front + best) << entry.id;
        }
        // Trigger bits.
        std::vector<std::uint32_t> want;
        std::size_t next = 0;
        auto pauses = x().sequences[i].pauses;
        std::sort(pauses.begin(), pauses.end());
        for (std::uint32_t p = 0; p < facts.size() && next < pauses.size(); ++p) {
            if (!facts[p].lastPts) continue;
            bool hit = false;
            while (next < pauses.size() && pauses[next] <= *facts[p].lastPts - minPts)
                ++next, hit = true;
            if (hit) want.push_back(p);
        }
        EXPECT_EQ(want.size(), pauses.size());
        std::vector<std::uint32_t> got;
        for (std::uint32_t p = 0; p < facts.size(); ++p)
            if (bin()[std::size_t{plan().seqStart[i] + plan().front + p} * 2352 + 18] & 0x10)
                got.push_back(p);
        EXPECT_EQ(got, want);
    }
}

// The list ID table points at the records of the play, selection and end lists in document
// order, and each list's links point at the records of their targets.
TEST_P(Disc, LotAndPsdLinkTheLists) {
    if (x().pbc.empty()) GTEST_SKIP() << "no playback control in this project";
    auto file = [&](const char* path, std::size_t bytes) {
        auto it = built().info.files.find(path);
        Bytes out;
        if (it == built().info.files.end()) return out;
        for (std::uint32_t s = 0; s < Sectors(bytes); ++s) {
            const std::uint8_t* d = &bin()[std::size_t{it->second.lsn + s} * 2352 + 24];
            out.insert(out.end(), d, d + 2048);
        }
        return out;
    };
    for (bool extended : {false, true}) {
        SCOPED_TRACE(extended ? "LOT_X/PSD_X" : "LOT/PSD");
        const Bytes lot = file(extended ? "EXT/LOT_X.VCD" : "VCD/LOT.VCD", 65536);
        const Bytes psd = file(extended ? "EXT/PSD_X.VCD" : "VCD/PSD.VCD", 8192);
        ASSERT_EQ(lot.size(), 65536u);
        ASSERT_FALSE(psd.empty());
        auto be16 = [](const Bytes& b, std::size_t at) { return unsigned{b[at]} << 8 | b[at + 1]; };
        EXPECT_EQ(be16(lot, 0), 0u);
        std::vector<unsigned> offset(5);
        for (int lid = 1; lid <= 4; ++lid)
            offset[lid] = be16(lot, 2 * lid);
        EXPECT_EQ(be16(lot, 10), 0xFFFFu) << "only four lists";
        const std::uint8_t selType = extended ? 0x1A : 0x18;
        const std::uint8_t types[5] = {0, 0x10, selType, 0x10, 0x1F};
        for (int lid = 1; lid <= 4; ++lid) {
            ASSERT_LT(offset[lid] * 8u, psd.size()) << "lid " << lid;
            EXPECT_EQ(psd[offset[lid] * 8u], types[lid]) << "lid " << lid;
        }
        const std::size_t play = offset[1] * 8u, sel = offset[2] * 8u, play2 = offset[3] * 8u;
        EXPECT_EQ(be16(psd, play + 2), 1u) << "list id of the first play list";
        EXPECT_EQ(psd[play + 1], 2u) << "items in the first play list";
        EXPECT_EQ(psd[play + 12], 2u) << "wait time";
        EXPECT_EQ(be16(psd, play + 14), 1000u) << "first segment";
        EXPECT_EQ(be16(psd, play + 16), 2u) << "first sequence (track 2)";
        EXPECT_EQ(psd[sel + 2], 3u) << "selections";
        EXPECT_EQ(be16(psd, sel + 4), 2u) << "list id of the selection";
        EXPECT_EQ(psd[sel + 16], 5u) << "selection wait";
        EXPECT_EQ(psd[sel + 17], 0x82u) << "loop count 2, delayed jump";
        EXPECT_EQ(be16(psd, sel + 18), 1001u) << "second segment";
        EXPECT_EQ(be16(psd, play2 + 14), 101u) << "second entry point";
        EXPECT_EQ(be16(psd, play2 + 16), 3u) << "second sequence (track 3)";
        EXPECT_EQ(be16(psd, play + 6), offset[2]) << "play list next -> selection";
        EXPECT_EQ(be16(psd, sel + 6), offset[1]) << "selection prev -> play list";
        EXPECT_EQ(be16(psd, sel + 10), offset[4]) << "selection return -> end list";
        EXPECT_EQ(be16(psd, sel + 12), offset[3]) << "selection default -> second play list";
        EXPECT_EQ(be16(psd, sel + 14), offset[4]) << "selection timeout -> end list";
        for (int t = 0; t < 3; ++t)
            EXPECT_EQ(be16(psd, sel + 20 + 2 * t), offset[t == 0   ? 1
                                                          : t == 1 ? 3
                                                                   : 4])
                << "selection target " << t;
        EXPECT_EQ(be16(psd, play2 + 8), offset[2]) << "second play list return -> selection";
    }
}

// SVCD scan information: with "update scan offsets" every record names the neighbouring
// access points of its pack; everything else in the stream stays as in the source.
TEST_P(Disc, ScanOffsetsPointAtAccessPoints) {
    if (!plan().svcd) GTEST_SKIP() << "no SVCD scan information";
    const bool update = !x().options.empty();
    for (std::size_t i = 0; i < x().sequences.size(); ++i) {
        SCOPED_TRACE(x().sequences[i].src);
        const Bytes source = PadToPacks(ReadAll(x().sequences[i].src));
        const Bytes track = Form2Payload(bin(), plan().seqStart[i], plan().seqPacks[i]);
        ASSERT_EQ(track.size(), source.size());
        const auto facts = ReadPacks(source);
        std::vector<std::uint32_t> aps;
        for (std::uint32_t p = 0; p < facts.size(); ++p)
            if (facts[p].accessPoint) aps.push_back(p);
        ASSERT_GT(aps.size(), 1u);
        Bytes masked = track, maskedSource = source;
        std::size_t records = 0;
        for (std::uint32_t p = 0; p < facts.size(); ++p) {
            for (std::size_t at : facts[p].scanRecords) {
                ++records;
                const std::uint8_t* r = &track[std::size_t{p} * 2324 + at];
                if (!update) continue;
                std::uint32_t prev = 0xFFFFFF, next = 0xFFFFFF, back = p, fwd = p;
                for (std::uint32_t a : aps) {
                    if (a < p) {
                        prev = a;
                        if (back == p) back = a;
                    }
                    if (a > p) {
                        if (next == 0xFFFFFF) next = a;
                        fwd = a;
                    }
                }
                const std::uint32_t want[4] = {prev, next, back, fwd};
                for (int k = 0; k < 4; ++k) {
                    const std::uint8_t* f = r + 2 + 3 * k;
                    std::uint32_t got;
                    if (f[0] == 0xFF && f[1] == 0xFF && f[2] == 0xFF) {
                        got = 0xFFFFFF;
                    } else {
                        EXPECT_TRUE((f[1] & 0x80) && (f[2] & 0x80)) << "pack " << p;
                        got =
                            (FromBcd(f[0]) * 60 + FromBcd(f[1] & 0x7F)) * 75 + FromBcd(f[2] & 0x7F);
                    }
                    EXPECT_EQ(got, want[k]) << "pack " << p << " field " << k;
                    if (got != 0xFFFFFF && got != p && got < facts.size()) {
                        EXPECT_TRUE(facts[got].accessPoint) << "pack " << p << " -> " << got;
                    }
                }
                std::fill_n(masked.begin() + static_cast<std::ptrdiff_t>(p * 2324 + at + 2), 12, 0);
                std::fill_n(maskedSource.begin() + static_cast<std::ptrdiff_t>(p * 2324 + at + 2),
                            12, 0);
            }
        }
        EXPECT_GT(records, 10u);
        EXPECT_TRUE(masked == maskedSource) << "bytes outside the scan records changed";
        if (update) {
            EXPECT_FALSE(track == source) << "no scan record was rewritten";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Projects, Disc,
    ::testing::Values(DiscCase{"Vcd11TwoSequences", Vcd11}, DiscCase{"Vcd20WithPbc", Vcd20},
                      DiscCase{"Svcd", [](const TempDir&) { return Svcd(false); }},
                      DiscCase{"SvcdUpdateScanOffsets", [](const TempDir&) { return Svcd(true); }},
                      DiscCase{"Hqvcd", Hqvcd}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

// ---- the image types of one project ----

class ImageTypes : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::string(PELLAM_VCDBUILD).empty()) GTEST_SKIP() << "no vcdbuild command";
        x.sequences = {{Fixture("vcd_ntsc.mpg"), "seq-ntsc", "", {{"entry-1", 0.6}}, {}},
                       {Fixture("vcd_film.mpg"), "seq-film", "", {}, {}}};
        const std::string text = x.Render();
        WriteAll(dir.File("project.xml"), Bytes(text.begin(), text.end()));
        std::filesystem::create_directories(dir.File("ref"));
        ASSERT_EQ(Build({"-c", dir.File("ref/v.cue"), "-b", dir.File("ref/v.bin")}).exitCode, 0);
        ref = ReadAll(dir.File("ref/v.bin"));
        ASSERT_EQ(ref.size() % 2352, 0u);
        total = static_cast<std::uint32_t>(ref.size() / 2352);
        const ImageCheck check = CheckRawImage(dir.File("ref/v.bin"));
        ASSERT_TRUE(check.ok()) << check.firstProblem;
        // Track ranges of the reference image from its cue sheet: [pregap, start) and
        // [start, next pregap).
        const auto idx = CueIndexes(imgtest::ReadText(dir.File("ref/v.cue")), nullptr);
        for (const auto& [track, lsns] : idx) {
            pregap.push_back(track == 1 ? 0 : lsns.at(0));
            start.push_back(track == 1 ? 0 : lsns.at(1));
        }
        ASSERT_EQ(start.size(), 3u);
        ASSERT_EQ(idx.at(2).size(), 3u);
        entry = idx.at(2).at(2);
        refInfo = ParseCdInfo(Shell("cd-info --no-device-info --no-cddb --cue-file " +
                                    Quote(dir.File("ref/v.cue")) + " --iso9660 -l")
                                  .out);
    }
    RunResult Build(std::vector<std::string> args) {
        args.insert(args.begin(), {"-x", dir.File("project.xml")});
        RunResult r = RunVcdbuild(args);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        return r;
    }
    std::uint32_t End(std::size_t track) const {
        return track + 1 < start.size() ? pregap[track + 1] : total;
    }
    // Bytes of the reference sectors [first, end), whole or from byte 16 on.
    Bytes RefSectors(std::uint32_t first, std::uint32_t end, bool from16) const {
        Bytes out;
        for (std::uint32_t s = first; s < end; ++s) {
            auto at = ref.begin() + static_cast<std::ptrdiff_t>(std::size_t{s} * 2352);
            out.insert(out.end(), at + (from16 ? 16 : 0), at + 2352);
        }
        return out;
    }

    TempDir dir;
    ProjectXml x;
    Bytes ref;
    std::uint32_t total = 0;
    std::vector<std::uint32_t> pregap, start;
    std::uint32_t entry = 0; // the entry point of track 2
    CdInfo refInfo;
};

TEST_F(ImageTypes, Bin2336HoldsEverySectorFromItsSubheaderOn) {
    std::filesystem::create_directories(dir.File("s"));
    Build({"-s", "-c", dir.File("s/v.cue"), "-b", dir.File("s/v.bin")});
    EXPECT_EQ(ListTree(dir.File("s")), (std::vector<std::string>{"v.bin", "v.cue"}));
    const Bytes bin = ReadAll(dir.File("s/v.bin"));
    EXPECT_EQ(bin.size(), std::size_t{total} * 2336);
    EXPECT_TRUE(bin == RefSectors(0, total, true));
    // The same cue sheet apart from the sector size and the file name.
    std::string want = imgtest::ReadText(dir.File("ref/v.cue"));
    for (std::size_t at; (at = want.find("MODE2/2352")) != std::string::npos;)
        want.replace(at, 10, "MODE2/2336");
    want.replace(want.find(dir.File("ref/v.bin")), dir.File("ref/v.bin").size(),
                 dir.File("s/v.bin"));
    EXPECT_EQ(imgtest::ReadText(dir.File("s/v.cue")), want);
}

// A sector number as cdrdao shows it: "mm:ss:ff(     n)".
std::string CdrdaoTime(std::uint32_t lsn) {
    char b[32];
    std::snprintf(b, sizeof b, "%02u:%02u:%02u(%6u)", lsn / 4500, lsn / 75 % 60, lsn % 75, lsn);
    return b;
}

TEST_F(ImageTypes, TocImagesAreTheTracksAndPregaps) {
    for (bool s2336 : {false, true}) {
        SCOPED_TRACE(s2336 ? "2336" : "2352");
        const std::string out = dir.File(s2336 ? "toc2336" : "toc");
        std::filesystem::create_directories(out);
        std::vector<std::string> args = {"-i", "tocimg", "-c", out + "/v.toc", "-b", out + "/img"};
        if (s2336) args.push_back("-s");
        Build(args);
        EXPECT_EQ(ListTree(out),
                  (std::vector<std::string>{"img_01.img", "img_02.img", "img_02_pregap.img",
                                            "img_03.img", "img_03_pregap.img", "v.toc"}));
        EXPECT_TRUE(ReadAll(out + "/img_01.img") == RefSectors(0, pregap[1], s2336));
        for (std::size_t t = 1; t < start.size(); ++t) {
            const std::string n = out + "/img_" + Bcd(static_cast<unsigned>(t + 1));
            EXPECT_TRUE(ReadAll(n + "_pregap.img") == RefSectors(pregap[t], start[t], s2336)) << n;
            EXPECT_TRUE(ReadAll(n + ".img") == RefSectors(start[t], End(t), s2336)) << n;
        }
        const std::string toc = imgtest::ReadText(out + "/v.toc");
        EXPECT_NE(toc.find(s2336 ? "TRACK MODE2_FORM_MIX" : "TRACK MODE2_RAW"), std::string::npos)
            << toc;
        if (Have("cdrdao")) {
            ShellResult r = Shell("cdrdao show-toc " + Quote(out + "/v.toc"));
            EXPECT_EQ(r.status, 0) << r.out;
            int tracks = 0;
            for (std::size_t at = 0; (at = r.out.find("\nTRACK ", at)) != std::string::npos; ++at)
                ++tracks;
            EXPECT_EQ(tracks, 3) << r.out;
            // Track starts and the entry point of track 2 at the sectors of the cue sheet.
            for (std::size_t t = 0; t < 3; ++t)
                EXPECT_NE(r.out.find("START  " + CdrdaoTime(start[t])), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("INDEX  2 " + CdrdaoTime(entry)), std::string::npos) << r.out;
        }
        if (!s2336 && Have("cd-info")) {
            const CdInfo info = ParseCdInfo(Shell("cd-info --no-device-info --no-cddb --toc-file " +
                                                  Quote(out + "/v.toc") + " --iso9660 -l")
                                                .out);
            ASSERT_EQ(info.tracks.size(), 3u);
            for (std::size_t t = 0; t < 3; ++t)
                EXPECT_EQ(info.tracks[t].lsn, start[t]);
            EXPECT_FALSE(info.files.empty());
            EXPECT_EQ(info.files, refInfo.files) << Describe(info.files);
        }
    }
}

std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b.at(at)} << 24 | std::uint32_t{b.at(at + 1)} << 16 |
           std::uint32_t{b.at(at + 2)} << 8 | b.at(at + 3);
}

TEST_F(ImageTypes, NrgStoresTheTracksWithoutPregapsAndAFooter) {
    std::filesystem::create_directories(dir.File("n"));
    RunResult r = Build({"-i", "nrg", "-b", dir.File("n/v.nrg")});
    EXPECT_NE(r.out.find("opening TAO NRG image for writing; TAO (S)VCD are _NOT_ 100% compliant!"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(ListTree(dir.File("n")), std::vector<std::string>{"v.nrg"});
    const Bytes nrg = ReadAll(dir.File("n/v.nrg"));
    ASSERT_GT(nrg.size(), 8u);
    ASSERT_EQ(std::string(nrg.end() - 8, nrg.end() - 4), "NERO");
    const std::uint32_t footer = Be32(nrg, nrg.size() - 4);
    Bytes data;
    for (std::size_t t = 0; t < start.size(); ++t) {
        const Bytes part = RefSectors(start[t], End(t), true);
        data.insert(data.end(), part.begin(), part.end());
    }
    ASSERT_EQ(footer, data.size());
    EXPECT_TRUE(Bytes(nrg.begin(), nrg.begin() + footer) == data);
    ASSERT_EQ(std::string(nrg.begin() + footer, nrg.begin() + footer + 4), "ETNF");
    ASSERT_EQ(Be32(nrg, footer + 4), 60u);
    std::uint32_t offset = 0;
    for (std::size_t t = 0; t < 3; ++t) {
        const std::size_t rec = footer + 8 + 20 * t;
        const std::uint32_t length = (End(t) - start[t]) * 2336;
        EXPECT_EQ(Be32(nrg, rec), offset) << "track " << t + 1;
        EXPECT_EQ(Be32(nrg, rec + 4), length) << "track " << t + 1;
        EXPECT_EQ(Be32(nrg, rec + 8), 3u);
        EXPECT_EQ(Be32(nrg, rec + 12), offset / 2336);
        EXPECT_EQ(Be32(nrg, rec + 16), 0u);
        offset += length;
    }
    const std::size_t sinf = footer + 68;
    EXPECT_EQ(std::string(nrg.begin() + sinf, nrg.begin() + sinf + 4), "SINF");
    EXPECT_EQ(Be32(nrg, sinf + 4), 4u);
    EXPECT_EQ(Be32(nrg, sinf + 8), 3u);
    EXPECT_EQ(std::string(nrg.begin() + sinf + 12, nrg.begin() + sinf + 16), "END!");
    EXPECT_EQ(Be32(nrg, sinf + 16), 0u);
    EXPECT_EQ(nrg.size(), sinf + 28);
    if (Have("cd-info")) {
        const CdInfo info = ParseCdInfo(Shell("cd-info --no-device-info --no-cddb --nrg-file " +
                                              Quote(dir.File("n/v.nrg")) + " --iso9660 -l")
                                            .out);
        ASSERT_EQ(info.tracks.size(), 3u);
        for (std::size_t t = 0; t < 3; ++t)
            EXPECT_EQ(info.tracks[t].lsn, start[t]);
        EXPECT_EQ(info.leadout, total);
        EXPECT_FALSE(info.files.empty());
        EXPECT_EQ(info.files, refInfo.files) << Describe(info.files);
    }
}

// ---- bad input through the command ----

const char kDoctype[] = "<!DOCTYPE videocd PUBLIC \"-//Orvanta//DTD VideoCD//EN\" "
                        "\"http://pellam.org/xml/videocd/1.0/videocd.dtd\">\n";

std::string OneSequence(const std::string& src) {
    ProjectXml x;
    x.sequences = {{src, "seq", "", {}, {}}};
    return x.Render();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct BadCase {
    // Output paths: "v.cue" and "v.bin" in the output folder, or one of the special setups.
    enum Output { Plain, FullDevice, CueFolderMissing, XmlMissing };
    BadCase(const char* n, std::function<std::string()> x, std::vector<std::string> e,
            std::vector<std::string> o = {}, Output s = Plain, std::vector<std::string> a = {})
        : name(n), xml(std::move(x)), errors(std::move(e)), output(std::move(o)), setup(s),
          allowed(std::move(a)) {}
    const char* name;
    std::function<std::string()> xml; // the project document
    std::vector<std::string> errors;  // texts on standard error; %X is the project path
    std::vector<std::string> output;  // texts on standard output
    Output setup;
    std::vector<std::string> allowed; // files the output folder may hold afterwards
};
void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kParseFailed = "**ERROR: parsing file `%X' failed\n";
const std::string kBuildFailed = "**ERROR: building videocd failed\n";

class BadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInput, FailsWithTheBuildersMessage) {
    if (std::string(PELLAM_VCDBUILD).empty()) GTEST_SKIP() << "no vcdbuild command";
    const BadCase& c = GetParam();
    TempDir dir;
    const std::string out = dir.File("out");
    std::filesystem::create_directories(out);
    std::string xmlPath = dir.File("project.xml");
    const std::string text = c.xml();
    WriteAll(xmlPath, Bytes(text.begin(), text.end()));
    std::string cue = out + "/v.cue", bin = out + "/v.bin";
    if (c.setup == BadCase::FullDevice) std::filesystem::create_symlink("/dev/full", bin);
    if (c.setup == BadCase::CueFolderMissing) cue = out + "/missing/v.cue";
    if (c.setup == BadCase::XmlMissing) xmlPath = dir.File("missing.xml");
    const RunResult r = RunVcdbuild({"-x", xmlPath, "-c", cue, "-b", bin}, out);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    for (std::string e : c.errors) {
        e = Replace(e, "%X", xmlPath);
        EXPECT_NE(r.err.find(e), std::string::npos) << e << "\nstderr:\n" << r.err;
    }
    for (const std::string& o : c.output)
        EXPECT_NE(r.out.find(o), std::string::npos) << o << "\nstdout:\n" << r.out;
    EXPECT_EQ(r.out.find("finished ok"), std::string::npos);
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
    for (const std::string& f : ListTree(out))
        EXPECT_NE(std::find(c.allowed.begin(), c.allowed.end(), f), c.allowed.end())
            << "unexpected file " << f;
    // The project folder holds nothing but the project and the output folder.
    EXPECT_EQ(ListTree(dir.path()).size(), 2 + ListTree(out).size());
}

INSTANTIATE_TEST_SUITE_P(
    Command, BadInput,
    ::testing::Values(
        BadCase{"NotWellFormed",
                [] { return std::string("<?xml version=\"1.0\"?>\n") + kDoctype + "<videocd"; },
                {kParseFailed}},
        BadCase{"InvalidAgainstTheDtd",
                [] {
                    return Replace(OneSequence(Fixture("vcd_ntsc.mpg")), "<info>",
                                   "<info><volume-count>1</volume-count><bogus/>");
                },
                {kParseFailed}},
        BadCase{"NoDoctype",
                [] { return Replace(OneSequence(Fixture("vcd_ntsc.mpg")), kDoctype, ""); },
                {kParseFailed}},
        BadCase{"RootNotVideocd",
                [] {
                    return std::string("<?xml version=\"1.0\"?>\n"
                                       "<!DOCTYPE option PUBLIC \"-//Orvanta//DTD VideoCD//EN\" "
                                       "\"http://pellam.org/xml/videocd/1.0/videocd.dtd\" [\n"
                                       "<!ATTLIST option xmlns CDATA #FIXED "
                                       "\"http://pellam.org/xml/videocd/1.0\">]>\n"
                                       "<option name=\"relaxed aps\" value=\"true\"/>\n");
                },
                {"**ERROR: root element not videocd...\n"}},
        BadCase{"WrongNamespace",
                [] {
                    std::string x = Replace(OneSequence(Fixture("vcd_ntsc.mpg")), "videocd.dtd\">",
                                            "videocd.dtd\" [\n<!ATTLIST videocd xmlns CDATA "
                                            "#FIXED \"http://example.org/other\">]>");
                    return Replace(x, "xmlns=\"http://pellam.org/xml/videocd/1.0\"",
                                   "xmlns=\"http://example.org/other\"");
                },
                {"**ERROR: Namespace not found in document\n"}},
        BadCase{"UnknownVersion",
                [] {
                    return Replace(OneSequence(Fixture("vcd_ntsc.mpg")), "version=\"2.0\"",
                                   "version=\"3.0\"");
                },
                {"**ERROR: parsing tree failed\n"}},
        BadCase{"UnknownClass",
                [] {
                    return Replace(OneSequence(Fixture("vcd_ntsc.mpg")), "class=\"vcd\"",
                                   "class=\"dvd\"");
                },
                {"**ERROR: parsing tree failed\n"}},
        BadCase{"MissingXml",
                [] { return OneSequence(Fixture("vcd_ntsc.mpg")); },
                {"**ERROR: error while parsing file `%X': No such file or directory\n"},
                {},
                BadCase::XmlMissing},
        BadCase{"MissingMpeg",
                [] { return OneSequence("/nonexistent/movie.mpg"); },
                {"`/nonexistent/movie.mpg': No such file or directory", kBuildFailed}},
        BadCase{"NotAProgramStream",
                [] { return OneSequence(Fixture("not_mpeg.bin")); },
                {"**ERROR: input mpeg stream has been deemed invalid -- aborting\n", kBuildFailed}},
        BadCase{"ElementaryVideo",
                [] { return OneSequence(Fixture("elementary.m1v")); },
                {"**ERROR: input mpeg stream has been deemed invalid -- aborting\n", kBuildFailed},
                {"...this looks like a elementary video stream but a multiplexed program stream "
                 "was required."}},
        BadCase{"FullDevice",
                [] { return OneSequence(Fixture("vcd_ntsc.mpg")); },
                {"**ERROR: fwrite (): No space left on device\n", kBuildFailed},
                {"finished with ERRORS\n"},
                BadCase::FullDevice,
                {"v.bin", "v.cue"}},
        BadCase{"CueFolderMissing",
                [] { return OneSequence(Fixture("vcd_ntsc.mpg")); },
                {"could not open output stream <", "/missing/v.cue>", kBuildFailed},
                {"finished with ERRORS\n"},
                BadCase::CueFolderMissing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Usage, BadArgumentsGiveExitCode2AndWriteNothing) {
    if (std::string(PELLAM_VCDBUILD).empty()) GTEST_SKIP() << "no vcdbuild command";
    TempDir dir;
    const std::string xml = dir.File("project.xml");
    const std::string text = OneSequence(Fixture("vcd_ntsc.mpg"));
    WriteAll(xml, Bytes(text.begin(), text.end()));
    const std::vector<std::vector<std::string>> cases = {{},
                                                         {"-x"},
                                                         {"-x", xml, "-i", "iso"},
                                                         {"-x", xml, "-z"},
                                                         {"-x", xml, "stray"},
                                                         {"-x", xml, "-c"}};
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        const RunResult r = RunVcdbuild(args, dir.path());
        EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
        EXPECT_NE(r.err.find("Try 'vcdbuild -h' for more information."), std::string::npos)
            << r.err;
        EXPECT_EQ(ListTree(dir.path()), std::vector<std::string>{"project.xml"});
    }
}

// ---- cancel through SIGINT ----

class Cancel : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::string(PELLAM_VCDBUILD).empty()) GTEST_SKIP() << "no vcdbuild command";
        // Enough tracks that the build is still running well after the first progress line.
        for (int i = 0; i < 30; ++i)
            x.sequences.push_back(
                {Fixture(i % 2 ? "vcd_film.mpg" : "vcd_ntsc.mpg"), "seq-" + Bcd(i), "", {}, {}});
        const std::string text = x.Render();
        WriteAll(dir.File("project.xml"), Bytes(text.begin(), text.end()));
        std::filesystem::create_directories(dir.File("out"));
    }
    RunResult Interrupt(const std::string& marker) {
        bool seen = false;
        RunResult r =
            RunVcdbuildAndInterrupt({"-x", dir.File("project.xml"), "-c", dir.File("out/v.cue"),
                                     "-b", dir.File("out/v.bin"), "-p"},
                                    marker, &seen);
        EXPECT_TRUE(seen) << r.out;
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        EXPECT_NE(r.err.find("**ERROR: building videocd failed\n"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("finished ok"), std::string::npos);
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
        return r;
    }
    TempDir dir;
    ProjectXml x;
};

TEST_F(Cancel, DuringTheWriteKeepsTheSectorsWritten) {
    const RunResult r = Interrupt("#write[2/");
    EXPECT_NE(r.out.find("   INFO: finished with ERRORS, due to user's request to cancel.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(ListTree(dir.File("out")), (std::vector<std::string>{"v.bin", "v.cue"}));
    // The whole image, for comparison.
    std::filesystem::create_directories(dir.File("full"));
    const RunResult full = RunVcdbuild({"-x", dir.File("project.xml"), "-c", dir.File("full/v.cue"),
                                        "-b", dir.File("full/v.bin")});
    ASSERT_EQ(full.exitCode, 0) << full.out << full.err;
    const Bytes whole = ReadAll(dir.File("full/v.bin"));
    const Bytes part = ReadAll(dir.File("out/v.bin"));
    EXPECT_EQ(imgtest::ReadText(dir.File("out/v.cue")),
              Replace(imgtest::ReadText(dir.File("full/v.cue")), dir.File("full/v.bin"),
                      dir.File("out/v.bin")));
    // Track 1 was complete and the writer stopped early in track 2.
    ASSERT_EQ(part.size() % 2352, 0u);
    EXPECT_GE(part.size(), std::size_t{300} * 2352);
    EXPECT_LT(part.size(), whole.size() / 4);
    const ImageCheck c = CheckRawImage(dir.File("out/v.bin"));
    EXPECT_TRUE(c.ok()) << c.firstProblem;
    // The same sectors as the complete image, apart from the volume descriptor's dates.
    for (std::size_t s = 0; s < part.size() / 2352; ++s) {
        if (s == 16) continue;
        ASSERT_TRUE(std::equal(part.begin() + s * 2352, part.begin() + (s + 1) * 2352,
                               whole.begin() + s * 2352))
            << "sector " << s;
    }
}

TEST_F(Cancel, DuringTheScanStopsBeforeAnyOutput) {
    const RunResult r = Interrupt("#scan[");
    // The scan of the first sequence was cut short: no other sequence was scanned.
    EXPECT_EQ(r.out.find("scanning sequence #1,"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("added sequence #00"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("#write["), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("finished with ERRORS"), std::string::npos) << r.out;
    EXPECT_TRUE(ListTree(dir.File("out")).empty());
}
