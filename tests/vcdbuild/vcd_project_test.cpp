#include "log_capture.h"
#include "project_builder.h"
#include "vcd_project.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace projtest;

namespace {

std::unique_ptr<CVcdObj> NewProject(CapturedLog& cap, std::int32_t type) {
    auto project = CVcdObj::Create(cap, type);
    cap.Clear();
    return project;
}

// The lines logged at `level`, texts only.
std::vector<std::string> Lines(const CapturedLog& cap, int level) {
    std::vector<std::string> out;
    for (const LoggedLine& l : cap.lines())
        if (l.level == level) out.push_back(l.text);
    return out;
}

std::unique_ptr<CVcdStream> ReadStream(CVcdLog& log, const std::string& path) {
    return std::make_unique<CVcdStream>(log, path.c_str(), VCD_STREAM_READ);
}

} // namespace

TEST(VcdProjectCreate, TypesAndDefaults) {
    struct Case {
        std::int32_t type;
        bool valid;
        std::uint32_t front, rear;
        bool experimental;
    };
    const Case cases[] = {
        {0, false, 0, 0, false}, {6, false, 0, 0, false},  {-1, false, 0, 0, false},
        {1, true, 30, 45, true}, {2, true, 30, 45, false}, {3, true, 30, 45, false},
        {4, true, 0, 0, false},  {5, true, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        CapturedLog cap;
        auto project = CVcdObj::Create(cap, c.type);
        EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "initializing image builder 6.0.7.10 [win32]\n"));
        EXPECT_EQ(cap.Has(VCD_LOG_ERROR, "VCD type not supported"), !c.valid);
        EXPECT_EQ(cap.Has(VCD_LOG_WARN, "VCD 1.0 support is experimental -- user feedback needed!"),
                  c.experimental);
        ASSERT_EQ(project != nullptr, c.valid);
        if (!project) continue;
        EXPECT_EQ(project->type, c.type);
        EXPECT_EQ(project->trackPregap, 150u);
        EXPECT_EQ(project->trackFrontMargin, c.front);
        EXPECT_EQ(project->trackRearMargin, c.rear);
        EXPECT_EQ(project->volumeCount, 1u);
        EXPECT_EQ(project->volumeNumber, 1u);
        EXPECT_EQ(project->restriction, 0u);
        EXPECT_FALSE(project->relaxedAps || project->updateScanOffsets || project->leadoutPause);
        EXPECT_TRUE(project->volumeLabel.empty());
    }
}

TEST(VcdProjectCreate, Capabilities) {
    // Bit t set: the cap holds for type t (types 0..6).
    const unsigned expected[8] = {
        0b0111110, // valid
        0b1001111, // MPEG-1: everything but SVCD and HQVCD, invalid types too
        0b0110000, // MPEG-2
        0b0111000, // PBC
        0b0001000, // extended PBC: VCD 2.0 only
        0b1001111, // margins
        0b0110000, // SVCD files
        0b0111000, // PAL accepted
    };
    for (int cap = 0; cap < 8; ++cap)
        for (int type = 0; type <= 6; ++type)
            EXPECT_EQ(VcdTypeHasCap(type, cap), ((expected[cap] >> type) & 1) != 0)
                << "cap " << cap << " type " << type;
    EXPECT_FALSE(VcdTypeHasCap(VCD_TYPE_VCD20, 8));
}

TEST(VcdProjectParams, NumbersAndFlags) {
    using Field = std::function<std::uint32_t(const CVcdObj&)>;
    const Field pregap = [](const CVcdObj& p) { return p.trackPregap; };
    const Field front = [](const CVcdObj& p) { return p.trackFrontMargin; };
    const Field rear = [](const CVcdObj& p) { return p.trackRearMargin; };
    const Field count = [](const CVcdObj& p) { return p.volumeCount; };
    const Field number = [](const CVcdObj& p) { return p.volumeNumber; };
    const Field restriction = [](const CVcdObj& p) { return p.restriction; };
    const Field mpegav = [](const CVcdObj& p) { return std::uint32_t(p.vcd30MpegAvFolder); };
    const Field tracksvd = [](const CVcdObj& p) { return std::uint32_t(p.vcd30TrackSvd); };
    const Field scan = [](const CVcdObj& p) { return std::uint32_t(p.updateScanOffsets); };
    const Field relaxed = [](const CVcdObj& p) { return std::uint32_t(p.relaxedAps); };
    const Field lid2 = [](const CVcdObj& p) { return std::uint32_t(p.nextVolumeLid2); };

    const std::string clampPregap = "pregap out of range, clamping to allowed range\n";
    const std::string below150 =
        "track pre gap set below 150 sectors; created (s)vcd may be non-working\n";
    struct Case {
        const char* name;
        std::int32_t type;
        int key;
        std::uint32_t value;
        Field field;
        std::uint32_t stored;
        std::vector<std::string> warnings;
        std::vector<std::string> infos; // info and debug lines
    };
    const Case cases[] = {
        {"pregap 0",
         3,
         VCD_PARAM_TRACK_PREGAP,
         0,
         pregap,
         1,
         {clampPregap, below150},
         {"changed pregap to 1\n"}},
        {"pregap 400",
         3,
         VCD_PARAM_TRACK_PREGAP,
         400,
         pregap,
         300,
         {clampPregap},
         {"changed pregap to 300\n"}},
        {"pregap 100",
         3,
         VCD_PARAM_TRACK_PREGAP,
         100,
         pregap,
         100,
         {below150},
         {"changed pregap to 100\n"}},
        {"pregap unchanged", 3, VCD_PARAM_TRACK_PREGAP, 150, pregap, 150, {}, {}},
        {"volume count 0",
         3,
         VCD_PARAM_VOLUME_COUNT,
         0,
         count,
         1,
         {"volume count out of range, clamping to range\n"},
         {"changed volume count to 1\n"}},
        {"volume count 70000",
         3,
         VCD_PARAM_VOLUME_COUNT,
         70000,
         count,
         65535,
         {"volume count out of range, clamping to range\n"},
         {"changed volume count to 65535\n"}},
        {"volume count negative",
         3,
         VCD_PARAM_VOLUME_COUNT,
         static_cast<std::uint32_t>(-3),
         count,
         65535,
         {"volume count out of range, clamping to range\n"},
         {"changed volume count to 65535\n"}},
        {"volume count 7",
         3,
         VCD_PARAM_VOLUME_COUNT,
         7,
         count,
         7,
         {},
         {"changed volume count to 7\n"}},
        {"volume number 0",
         3,
         VCD_PARAM_VOLUME_NUMBER,
         0,
         number,
         1,
         {"volume number out of range, clamping to range\n"},
         {"changed volume number to 1\n"}},
        {"volume number unchanged", 3, VCD_PARAM_VOLUME_NUMBER, 1, number, 1, {}, {}},
        {"restriction 5",
         3,
         VCD_PARAM_RESTRICTION,
         5,
         restriction,
         3,
         {"restriction out of range, clamping to range\n"},
         {"changed restriction number to 3\n"}},
        {"front margin 10 vcd",
         3,
         VCD_PARAM_TRACK_FRONT_MARGIN,
         10,
         front,
         10,
         {"front margin set smaller than recommended (10 < 15 sectors) for disc type used\n"},
         {"changed front margin to 10\n"}},
        {"front margin 10 svcd",
         4,
         VCD_PARAM_TRACK_FRONT_MARGIN,
         10,
         front,
         10,
         {},
         {"changed front margin to 10\n"}},
        {"front margin 200",
         4,
         VCD_PARAM_TRACK_FRONT_MARGIN,
         200,
         front,
         150,
         {"front margin out of range, clamping to allowed range\n"},
         {"changed front margin to 150\n"}},
        {"front margin unchanged", 3, VCD_PARAM_TRACK_FRONT_MARGIN, 30, front, 30, {}, {}},
        {"rear margin 3 vcd 1.1",
         2,
         VCD_PARAM_TRACK_REAR_MARGIN,
         3,
         rear,
         3,
         {"rear margin set smaller than recommended (3 < 15 sectors) for disc type used\n"},
         {"changed rear margin to 3\n"}},
        {"rear margin 151 vcd",
         3,
         VCD_PARAM_TRACK_REAR_MARGIN,
         151,
         rear,
         150,
         {"rear margin out of range, clamping to allowed range\n"},
         {"changed rear margin to 150\n"}},
        {"mpegav on vcd 2.0", 3, VCD_PARAM_VCD30_MPEGAV_FOLDER, 1, mpegav, 0, {}, {}},
        {"mpegav on svcd",
         4,
         VCD_PARAM_VCD30_MPEGAV_FOLDER,
         1,
         mpegav,
         1,
         {"!! enabling deprecated VCD3.0 MPEGAV folder -- SVCD will not be IEC62107 compliant "
          "!!\n"},
         {}},
        {"tracksvd on hqvcd", 5, VCD_PARAM_VCD30_TRACK_SVD, 1, tracksvd, 0, {}, {}},
        {"scan offsets on vcd", 3, VCD_PARAM_UPDATE_SCAN_OFFSETS, 1, scan, 0, {}, {}},
        {"scan offsets on hqvcd",
         5,
         VCD_PARAM_UPDATE_SCAN_OFFSETS,
         1,
         scan,
         1,
         {},
         {"changing 'update scan offsets' to 1\n"}},
        {"relaxed aps",
         2,
         VCD_PARAM_RELAXED_APS,
         1,
         relaxed,
         1,
         {},
         {"changing 'relaxed aps' to 1\n"}},
        {"relaxed aps unchanged", 2, VCD_PARAM_RELAXED_APS, 0, relaxed, 0, {}, {}},
        {"next volume lid 2",
         3,
         VCD_PARAM_NEXT_VOLUME_LID2,
         1,
         lid2,
         1,
         {},
         {"changing 'next volume use lid 2' to 1\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog cap;
        auto project = NewProject(cap, c.type);
        ASSERT_TRUE(project);
        EXPECT_EQ(project->SetParam(c.key, c.value), 0);
        EXPECT_EQ(c.field(*project), c.stored);
        EXPECT_EQ(Lines(cap, VCD_LOG_WARN), c.warnings);
        std::vector<std::string> infos = Lines(cap, VCD_LOG_INFO);
        for (const std::string& d : Lines(cap, VCD_LOG_DEBUG))
            infos.push_back(d);
        EXPECT_EQ(infos, c.infos);
        EXPECT_EQ(cap.lines().size(), c.warnings.size() + c.infos.size()) << cap.Dump();
    }
}

TEST(VcdProjectParams, TextsAndUnknownKeys) {
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_VCD20);
    const std::string forty(40, 'L');
    EXPECT_EQ(project->SetParam(VCD_PARAM_VOLUME_LABEL, forty.c_str()), 0);
    EXPECT_EQ(project->volumeLabel, std::string(32, 'L'));
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "Volume label too long, will be truncated (max=32)\n"));
    EXPECT_TRUE(cap.Has(VCD_LOG_INFO, "changed volume label to '" + std::string(32, 'L') + "'"));

    EXPECT_EQ(project->SetParam(VCD_PARAM_ALBUM_ID, std::string(17, 'a').c_str()), 0);
    EXPECT_EQ(project->albumId, std::string(16, 'a'));
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "Album ID too long, will be truncated (max=16)\n"));
    EXPECT_EQ(project->SetParam(VCD_PARAM_PUBLISHER_ID, std::string(129, 'p').c_str()), 0);
    EXPECT_EQ(project->publisherId.size(), 128u);
    EXPECT_EQ(project->SetParam(VCD_PARAM_APPLICATION_ID, std::string(128, 'x').c_str()), 0);
    EXPECT_EQ(project->applicationId.size(), 128u);
    EXPECT_FALSE(cap.Has(VCD_LOG_WARN, "Application ID"));

    // Texts always apply, even unchanged.
    cap.Clear();
    EXPECT_EQ(project->SetParam(VCD_PARAM_ALBUM_ID, std::string(16, 'a').c_str()), 0);
    EXPECT_EQ(Lines(cap, VCD_LOG_INFO),
              std::vector<std::string>{"changed album id to 'aaaaaaaaaaaaaaaa'\n"});

    cap.Clear();
    EXPECT_EQ(project->SetParam(10, 1u), -1);
    EXPECT_EQ(project->SetParam(20, 1u), -1);
    EXPECT_EQ(project->SetParam(VCD_PARAM_VOLUME_LABEL, 1u), -1);
    EXPECT_EQ(project->SetParam(VCD_PARAM_VOLUME_COUNT, "2"), -1);
    EXPECT_EQ(project->volumeCount, 1u);
    EXPECT_EQ(project->volumeLabel, std::string(32, 'L'));
}

TEST(VcdProjectSequences, PlacementFollowsPregapAndMargins) {
    StreamFiles files;
    const std::string& thousand = files.Path({1000});
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_VCD20);
    EXPECT_EQ(AddSequence(*project, thousand, "s1"), 0) << cap.Dump();
    EXPECT_EQ(AddSequence(*project, thousand, "s2"), 1) << cap.Dump();
    ASSERT_EQ(project->sequences.Size(), 2u);
    EXPECT_EQ(project->sequences.At(0)->relStart, 150u);
    EXPECT_EQ(project->sequences.At(1)->relStart, 1375u);
    EXPECT_EQ(project->sequenceSectors, 2450u);
    EXPECT_EQ(project->sequences.At(1)->info().packets, 1000u);
    EXPECT_TRUE(cap.Has(VCD_LOG_INFO, "added sequence #01...\n"));
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0) << cap.Dump(VCD_LOG_WARN);

    // SVCD: no margins; a pregap set before the sequence is used for it.
    CapturedLog cap2;
    auto svcd = NewProject(cap2, VCD_TYPE_SVCD);
    svcd->SetParam(VCD_PARAM_TRACK_PREGAP, 200u);
    EXPECT_EQ(AddSequence(*svcd, thousand, nullptr), 0);
    EXPECT_EQ(svcd->sequences.At(0)->relStart, 200u);
    EXPECT_EQ(svcd->sequenceSectors, 1200u);
}

TEST(VcdProjectSequences, Warnings) {
    const std::string shortText = "mpeg stream shorter than 75 sectors";
    const std::string norm =
        "VCD 1.x should contain only NTSC/FILM video (may work with PAL nevertheless)";
    const std::string mpeg1 = "this VCD type should not contain MPEG1 streams";
    const std::string mpeg2 = "this VCD type should not contain MPEG2 streams";
    const std::string motion = "sequence items should contain a motion video stream!";
    struct Case {
        const char* name;
        std::int32_t type;
        std::string path; // a fixture, or empty for `spec`
        StreamSpec spec;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"ntsc vcd 1.1", 2, Fixture("vcd_ntsc.mpg"), {}, {}},
        {"film vcd 1.1", 2, Fixture("vcd_film.mpg"), {}, {}},
        {"pal vcd 1.1", 2, Fixture("vcd_pal.mpg"), {}, {norm}},
        {"pal vcd 2.0", 3, Fixture("vcd_pal.mpg"), {}, {}},
        {"svcd on vcd 2.0", 3, Fixture("svcd_ntsc.mpg"), {}, {shortText, mpeg2}},
        {"svcd on svcd", 4, Fixture("svcd_ntsc.mpg"), {}, {shortText}},
        {"vcd on hqvcd", 5, Fixture("vcd_ntsc.mpg"), {}, {mpeg1}},
        {"short", 3, "", {74}, {shortText}},
        {"75 packs", 3, "", {75}, {}},
        {"no video", 3, "", {100, 1, 0}, {motion}},
        {"no video vcd 1.1", 2, "", {100, 1, 0}, {norm, motion}},
        {"still stream only", 3, "", {100, 1, 0xE1}, {motion}},
    };
    StreamFiles files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog cap;
        auto project = NewProject(cap, c.type);
        const std::string path = c.path.empty() ? files.Path(c.spec) : c.path;
        ASSERT_EQ(AddSequence(*project, path, "seq"), 0) << cap.Dump();
        // Only the project's own warnings; the scanner has its own about the stream.
        const std::string ours[] = {shortText, norm, mpeg1, mpeg2, motion};
        std::vector<std::string> warnings;
        for (const std::string& w : Lines(cap, VCD_LOG_WARN))
            for (const std::string& o : ours)
                if (w == o + "\n") warnings.push_back(o);
        EXPECT_EQ(warnings, c.warnings) << cap.Dump();
    }
}

TEST(VcdProjectSequences, IdsAreCheckedBeforeTheScan) {
    StreamFiles files;
    const std::string& path = files.Path({10});
    struct Case {
        const char* id;
        const char* defaultEntry;
        const char* error;
    };
    const Case cases[] = {
        {"SEQ", nullptr, "item id (SEQ) exist already\n"},
        {"seg", nullptr, "item id (seg) exist already\n"},
        {"new", "ENTRY", "default entry id (ENTRY) exist already\n"},
        {"new", "list", "default entry id (list) exist already\n"},
        {"new", "new", "default entry id == item id (new)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        CapturedLog cap;
        auto project = NewProject(cap, VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*project, path, "seq", "entry"), 0);
        ASSERT_EQ(AddSegment(*project, path, "seg"), 0);
        std::unique_ptr<CPbc> list = std::make_unique<CPbcEnd>();
        list->id = "list";
        ASSERT_EQ(project->AddPbc(list), 0);
        cap.Clear();

        auto source = std::make_unique<CVcdMpegSource>(cap, path.c_str());
        EXPECT_EQ(project->AddSequence(source, c.id, c.defaultEntry), -1);
        EXPECT_EQ(Lines(cap, VCD_LOG_ERROR), std::vector<std::string>{c.error});
        // Refused before scanning, and the caller keeps the source.
        ASSERT_TRUE(source);
        EXPECT_FALSE(source->scanned());
        EXPECT_EQ(project->sequences.Size(), 1u);
        EXPECT_EQ(project->sequenceSectors, 150u + 30 + 10 + 45);
    }

    // Equality of the two ids is exact: differing case passes.
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_VCD20);
    EXPECT_EQ(AddSequence(*project, path, "a", "A"), 0) << cap.Dump();
}

TEST(VcdProjectSequences, ScanFailureAndCancel) {
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_VCD20);
    auto bad = std::make_unique<CVcdMpegSource>(cap, Fixture("not_mpeg.bin").c_str());
    EXPECT_EQ(project->AddSequence(bad, "bad", nullptr), -1);
    EXPECT_TRUE(bad);

    int cancel = 1;
    cap.log().cancelFlag = &cancel;
    auto source = std::make_unique<CVcdMpegSource>(cap, Fixture("vcd_ntsc.mpg").c_str());
    EXPECT_EQ(project->AddSequence(source, "s", nullptr), -2);
    EXPECT_TRUE(source);
    EXPECT_TRUE(project->sequences.Empty());
    EXPECT_EQ(project->sequenceSectors, 0u);

    CapturedLog cap2;
    auto project2 = NewProject(cap2, VCD_TYPE_VCD20);
    int cancel2 = 1;
    cap2.log().cancelFlag = &cancel2;
    auto seg = std::make_unique<CVcdMpegSource>(cap2, Fixture("vcd_ntsc.mpg").c_str());
    EXPECT_EQ(project2->AddSegment(seg, "g"), -2);
    EXPECT_TRUE(seg);
}

TEST(VcdProjectSegments, UnitsAndRefusals) {
    StreamFiles files;
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_SVCD);
    EXPECT_EQ(AddSegment(*project, files.Path({150}), "a"), 0) << cap.Dump();
    EXPECT_EQ(AddSegment(*project, files.Path({151}), "b"), 0) << cap.Dump();
    EXPECT_EQ(AddSegment(*project, files.Path({1}), "c"), 0) << cap.Dump();
    ASSERT_EQ(project->segments.Size(), 3u);
    EXPECT_EQ(project->segments.At(0)->segmentCount, 1u);
    EXPECT_EQ(project->segments.At(1)->segmentCount, 2u);
    EXPECT_EQ(project->segments.At(2)->segmentCount, 1u);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "SPI length is 151 sector(s), allocated 2 segment(s)\n"));
    EXPECT_TRUE(cap.Has(VCD_LOG_INFO, "added segment #02...\n"));
    EXPECT_EQ(project->segments.At(1)->id, "b");

    struct Case {
        const char* name;
        std::int32_t type;
        const char* id;
        std::string path;
        int rc;
        const char* error;
    };
    const Case cases[] = {
        {"vcd 1.1 before the id", 2, nullptr, files.Path({1}), -1,
         "segment play items not supported for this vcd type\n"},
        {"no id", 4, nullptr, files.Path({1}), -1, "no id given for segment play item\n"},
        {"empty id", 4, "", files.Path({1}), -1, "no id given for segment play item\n"},
        {"taken", 4, "B", files.Path({1}), -1, "item id (B) exists already\n"},
        {"empty stream", 4, "e", Fixture("empty.mpg"), -1, "mpeg is empty?\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog capc;
        auto p = NewProject(capc, c.type);
        if (c.type == VCD_TYPE_SVCD) {
            ASSERT_EQ(AddSegment(*p, files.Path({1}), "b"), 0);
        }
        capc.Clear();
        auto source = std::make_unique<CVcdMpegSource>(capc, c.path.c_str());
        EXPECT_EQ(p->AddSegment(source, c.id), c.rc);
        EXPECT_TRUE(capc.Has(VCD_LOG_ERROR, c.error)) << capc.Dump();
        EXPECT_EQ(capc.Count(VCD_LOG_ERROR, ""), 1) << capc.Dump();
        EXPECT_TRUE(source);
        EXPECT_EQ(p->segments.Size(), c.type == VCD_TYPE_SVCD ? 1u : 0u);
    }
}

TEST(VcdProjectEntries, LimitOrderAndLookups) {
    StreamFiles files;
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_VCD20);
    ASSERT_EQ(AddSequence(*project, files.Path({10}), "first"), 0);
    ASSERT_EQ(AddSequence(*project, files.Path({10}), nullptr), 1);

    // A null id means the sequence added last.
    EXPECT_EQ(project->AddEntry(nullptr, 5.0, "x"), 0);
    EXPECT_EQ(project->AddEntry(nullptr, 2.0, "y"), 0);
    EXPECT_EQ(project->AddEntry(nullptr, 5.0, "z"), 0);
    const CMpegSequence& last = *project->sequences.At(1);
    ASSERT_EQ(last.entries.Size(), 3u);
    EXPECT_EQ(last.entries.At(0)->id, "y");
    EXPECT_EQ(last.entries.At(1)->id, "x");
    EXPECT_EQ(last.entries.At(2)->id, "z");
    EXPECT_EQ(last.entries.At(0)->time, 2.0);
    EXPECT_TRUE(project->sequences.At(0)->entries.Empty());

    cap.Clear();
    EXPECT_EQ(project->AddEntry("FIRST", 1.0, "X"), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "item id (X) exists already\n"));
    EXPECT_EQ(project->AddEntry("first", 1.0, "first"), -1);
    EXPECT_EQ(project->AddEntry("nope", 1.0, nullptr), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "sequence id `nope' not found\n"));

    for (int i = 0; i < 99; ++i)
        ASSERT_EQ(project->AddEntry("first", 0.1 * (99 - i), nullptr), 0) << i;
    cap.Clear();
    EXPECT_EQ(project->AddEntry("first", 1.0, nullptr), -1);
    EXPECT_EQ(Lines(cap, VCD_LOG_ERROR),
              std::vector<std::string>{"only 99 entries per sequence allowed!\n"});
    const CVcdList<CVcdEntry>& entries = project->sequences.At(0)->entries;
    EXPECT_EQ(entries.Size(), 99u);
    for (std::size_t i = 1; i < entries.Size(); ++i)
        EXPECT_LE(entries.At(i - 1)->time, entries.At(i)->time);

    CapturedLog empty;
    auto none = NewProject(empty, VCD_TYPE_VCD20);
    EXPECT_EQ(none->AddEntry(nullptr, 1.0, nullptr), -1);
    EXPECT_TRUE(empty.Has(VCD_LOG_ERROR, "sequence id `(null)' not found"));
}

TEST(VcdProjectEntries, Pauses) {
    StreamFiles files;
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_SVCD);
    ASSERT_EQ(AddSequence(*project, files.Path({10}), "seq"), 0);
    ASSERT_EQ(AddSegment(*project, files.Path({10}), "seg"), 0);
    cap.Clear();

    EXPECT_EQ(project->AddSequencePause("SEQ", 2.5, nullptr), 0);
    EXPECT_EQ(project->AddSequencePause(nullptr, 1.0, "p"), 0);
    EXPECT_EQ(project->AddSegmentPause(nullptr, 0.5, nullptr), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "added autopause point at 2.500000\n"));
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "pause id ignored...\n"), 1);
    const auto& pauses = project->sequences.At(0)->pauses;
    ASSERT_EQ(pauses.Size(), 2u);
    EXPECT_EQ(pauses.At(0)->time, 1.0);
    EXPECT_EQ(pauses.At(1)->time, 2.5);
    EXPECT_EQ(project->segments.At(0)->pauses.Size(), 1u);

    EXPECT_EQ(project->AddSequencePause("x", 1.0, nullptr), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "sequence id 'x' not found\n"));
    EXPECT_EQ(project->AddSegmentPause("seq", 1.0, nullptr), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "segment id 'seq' not found\n"));
}

TEST(VcdProjectPbc, AddRules) {
    StreamFiles files;
    CapturedLog cap;
    auto vcd11 = NewProject(cap, VCD_TYPE_VCD11);
    std::unique_ptr<CPbc> list = std::make_unique<CPbcPlay>();
    list->id = "p";
    EXPECT_EQ(vcd11->AddPbc(list), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "PBC not supported for current VCD type\n"));
    ASSERT_TRUE(list);

    auto project = NewProject(cap, VCD_TYPE_VCD20);
    ASSERT_EQ(AddSequence(*project, files.Path({10}), "seq", "start"), 0);
    EXPECT_EQ(project->AddPbc(list), 0);
    EXPECT_FALSE(list);
    ASSERT_EQ(project->pbcList.Size(), 1u);
    EXPECT_EQ(project->pbcList.At(0)->id, "p");

    for (const char* id : {"P", "Start", "seq"}) {
        std::unique_ptr<CPbc> dup = std::make_unique<CPbcEnd>();
        dup->id = id;
        cap.Clear();
        EXPECT_EQ(project->AddPbc(dup), -1) << id;
        EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, std::string("pbc id (") + id + ") exists already\n"));
        EXPECT_TRUE(dup);
    }
    // Lists without an id are taken as they come.
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<CPbc> anonymous = std::make_unique<CPbcEnd>();
        EXPECT_EQ(project->AddPbc(anonymous), 0);
    }
    EXPECT_EQ(project->pbcList.Size(), 3u);
    EXPECT_TRUE(project->IdTaken("p"));
    EXPECT_FALSE(project->IdTaken(""));
    EXPECT_FALSE(project->IdTaken(nullptr));
}

TEST(VcdProjectPbc, ListIdsAreBoundedByTheLot) {
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_VCD20);
    for (int i = 0; i < 32767; ++i) {
        std::unique_ptr<CPbc> list = std::make_unique<CPbcEnd>();
        ASSERT_EQ(project->AddPbc(list), 0) << i;
    }
    std::unique_ptr<CPbc> list = std::make_unique<CPbcEnd>();
    EXPECT_EQ(project->AddPbc(list), -1);
    EXPECT_TRUE(list);
    EXPECT_EQ(cap.Count(VCD_LOG_ERROR, ""), 1);
}

TEST(VcdProjectFiles, SizesAndPaths) {
    struct Case {
        const char* name;
        std::size_t size;
        bool raw;
        const char* path;
        int rc;
        std::uint32_t sectors;
        const char* error; // the whole error line, or null
    };
    const Case cases[] = {
        {"raw 2 sectors", 4672, true, "DATA/RAW.BIN", 0, 2, nullptr},
        {"raw 4673", 4673, true, "DATA/RAW.BIN", 1, 0,
         "raw mode2 file must have size multiple of 2336 \n"},
        {"raw empty", 0, true, "DATA/RAW.BIN", 1, 0, "raw mode2 file must not be empty\n"},
        {"plain 2049", 2049, false, "DATA/A.TXT", 0, 2, nullptr},
        {"plain 2048", 2048, false, "DATA/A.TXT", 0, 1, nullptr},
        {"plain empty", 0, false, "DATA/A.TXT", 0, 0, nullptr},
        {"bad path", 10, false, "DATA/.A", 1, 0,
         "pathname 'DATA/.A' is not a valid iso pathname\n"},
        {"raw bad size before path", 5, true, "DATA/.A", 1, 0,
         "raw mode2 file must have size multiple of 2336 \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mpegtest::TempFile file(mpegtest::Bytes(c.size, 0x5A), "custom.bin");
        CapturedLog cap;
        auto project = NewProject(cap, VCD_TYPE_VCD20);
        auto stream = ReadStream(cap, file.path());
        EXPECT_EQ(project->AddFile(c.path, stream, c.raw), c.rc);
        if (c.error) {
            const std::vector<std::string> errors = Lines(cap, VCD_LOG_ERROR);
            ASSERT_FALSE(errors.empty());
            EXPECT_EQ(errors.back(), c.error);
        } else {
            EXPECT_EQ(cap.Count(VCD_LOG_ERROR, ""), 0) << cap.Dump();
        }
        if (c.rc != 0) {
            ASSERT_TRUE(stream);
            EXPECT_FALSE(stream->isOpen());
            EXPECT_TRUE(project->customFiles.Empty());
            continue;
        }
        EXPECT_FALSE(stream);
        ASSERT_EQ(project->customFiles.Size(), 1u);
        const CCustomFile& f = *project->customFiles.At(0);
        EXPECT_EQ(f.path, c.path);
        EXPECT_EQ(f.size, static_cast<std::int64_t>(c.size));
        EXPECT_EQ(f.sectors, c.sectors);
        EXPECT_EQ(f.raw, c.raw);
        ASSERT_TRUE(f.stream);
        EXPECT_FALSE(f.stream->isOpen()); // closed until it is written
    }

    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_VCD20);
    auto missing = ReadStream(cap, "/nonexistent/pellam/file.bin");
    EXPECT_EQ(project->AddFile("DATA/A.TXT", missing, false), -1);
    EXPECT_TRUE(missing);
}

TEST(VcdProjectFiles, Directories) {
    CapturedLog cap;
    auto project = NewProject(cap, VCD_TYPE_VCD20);
    EXPECT_EQ(project->AddDirectory("Extras/more"), 0);
    EXPECT_EQ(project->AddDirectory("DATA"), 0);
    EXPECT_EQ(project->AddDirectory("SEGMENT/toolong123"), 1);
    EXPECT_TRUE(
        cap.Has(VCD_LOG_ERROR, "pathname 'SEGMENT/toolong123' is not a valid iso pathname\n"));
    EXPECT_EQ(project->AddDirectory(""), 1);
    ASSERT_EQ(project->customDirs.Size(), 2u);
    EXPECT_EQ(*project->customDirs.At(0), "DATA");
    EXPECT_EQ(*project->customDirs.At(1), "Extras/more");
}
