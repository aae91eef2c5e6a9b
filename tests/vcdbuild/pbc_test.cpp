#include "log_capture.h"
#include "pbc.h"
#include "project_builder.h"
#include "vcd_project.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace projtest;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A project with play items of every kind:
//   sequences seq1 (PIN 2, default entry start1 = 100, entries e1 = 101, e2 = 102) and
//   seq2 (PIN 3, unnamed start = 103, entry e3 = 104);
//   segments big (151 packs, PIN 1000), still (0xE1 video, PIN 1002), motion (PIN 1003).
struct TestProject {
    TestProject(std::int32_t type) : project(CVcdObj::Create(cap, type)) {
        EXPECT_EQ(AddSequence(*project, files.Path({80}), "seq1", "start1"), 0);
        EXPECT_EQ(project->AddEntry("seq1", 1.0, "e1"), 0);
        EXPECT_EQ(project->AddEntry("seq1", 2.0, "e2"), 0);
        EXPECT_EQ(AddSequence(*project, files.Path({80}), "seq2"), 1);
        EXPECT_EQ(project->AddEntry("seq2", 1.0, "e3"), 0);
        EXPECT_EQ(AddSegment(*project, files.Path({151}), "big"), 0);
        EXPECT_EQ(AddSegment(*project, files.Path({1, 1, 0xE1}), "still"), 0);
        EXPECT_EQ(AddSegment(*project, files.Path({1}), "motion"), 0);
        cap.Clear();
    }

    template <class T> T& Add(const char* id, bool rejected = false) {
        auto list = std::make_unique<T>();
        list->id = id;
        list->rejected = rejected;
        T& ref = *list;
        std::unique_ptr<CPbc> base = std::move(list);
        EXPECT_EQ(project->AddPbc(base), 0) << id;
        return ref;
    }

    Bytes Psd(bool extended) {
        Bytes buffer(GetPsdSize(*project, extended), 0);
        WritePsd(*project, buffer.data(), extended);
        return buffer;
    }

    Bytes Lot(bool extended) {
        Bytes buffer(65536, 0);
        WriteLot(*project, buffer.data(), extended);
        return buffer;
    }

    CapturedLog cap;
    StreamFiles files;
    std::unique_ptr<CVcdObj> project;
};

Bytes Slice(const Bytes& data, std::size_t at, std::size_t length) {
    if (at + length > data.size()) return {};
    return Bytes(data.begin() + static_cast<std::ptrdiff_t>(at),
                 data.begin() + static_cast<std::ptrdiff_t>(at + length));
}

unsigned Get16(const Bytes& data, std::size_t at) {
    return (data[at] << 8) | data[at + 1];
}

} // namespace

TEST(PbcItems, PinsAndKinds) {
    TestProject t(VCD_TYPE_VCD20);
    t.Add<CPbcEnd>("list");
    struct Case {
        const char* id;
        int pin;
        int kind;
    };
    const Case cases[] = {
        {"seq1", 2, VCD_ITEM_SEQUENCE},     {"SEQ2", 3, VCD_ITEM_SEQUENCE},
        {"start1", 100, VCD_ITEM_ENTRY},    {"e1", 101, VCD_ITEM_ENTRY},
        {"E2", 102, VCD_ITEM_ENTRY},        {"e3", 104, VCD_ITEM_ENTRY},
        {"big", 1000, VCD_ITEM_SEGMENT},    {"still", 1002, VCD_ITEM_SEGMENT},
        {"motion", 1003, VCD_ITEM_SEGMENT}, {"List", 0, VCD_ITEM_PBC},
        {"nothing", 0, VCD_ITEM_NONE},      {"", 0, VCD_ITEM_NONE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LookupPin(*t.project, c.id), c.pin) << c.id;
        EXPECT_EQ(ItemKind(*t.project, c.id), c.kind) << c.id;
    }
    EXPECT_EQ(t.project->pbcList.Position("LIST"), 1);
    EXPECT_EQ(t.project->pbcList.Position("seq1"), 0);
    EXPECT_EQ(t.project->pbcList.FindItem(""), nullptr);
    EXPECT_EQ(t.project->pbcList.FindItem("list")->Compare("LIST"), 0);
    EXPECT_NE(t.project->pbcList.FindItem("list")->Compare("lis"), 0);
}

TEST(PbcItems, InUseAndCounts) {
    CapturedLog cap;
    auto vcd11 = CVcdObj::Create(cap, VCD_TYPE_VCD11);
    EXPECT_FALSE(IsPbcInUse(*vcd11));
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0);
    // The project refuses lists on this type; a list that got there anyway is not used.
    vcd11->pbcList.Append(std::make_unique<CPbcEnd>());
    AssignOffsets(*vcd11);
    cap.Clear();
    EXPECT_FALSE(IsPbcInUse(*vcd11));
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "PBC list not empty but VCD type not capable of PBC!\n"));
    EXPECT_EQ(PbcItemCount(*vcd11), 0);
    EXPECT_EQ(GetPsdSize(*vcd11, false), 0u);

    TestProject t(VCD_TYPE_HQVCD);
    EXPECT_EQ(PbcItemCount(*t.project), 0);
    t.Add<CPbcEnd>("a");
    t.Add<CPbcEnd>("b");
    AssignOffsets(*t.project);
    EXPECT_TRUE(IsPbcInUse(*t.project));
    EXPECT_EQ(PbcItemCount(*t.project), 2);
    EXPECT_EQ(GetPsdSize(*t.project, false), 16u);
    EXPECT_EQ(GetPsdSize(*t.project, true), 0u);
}

TEST(PbcOffsets, SizesRoundedAndPlaced) {
    for (std::int32_t type : {VCD_TYPE_VCD20, VCD_TYPE_SVCD}) {
        SCOPED_TRACE(type);
        TestProject t(type);
        const std::size_t counts[] = {2, 3, 100};
        const char* ids[] = {"p2", "p3", "p100"};
        for (int i = 0; i < 3; ++i)
            t.Add<CPbcPlay>(ids[i]).itemIds.assign(counts[i], "seq1");
        AssignOffsets(*t.project);
        const std::uint32_t sizes[] = {18, 20, 214};
        const std::uint32_t offsets[] = {0, 24, 48};
        for (int i = 0; i < 3; ++i) {
            const CPbc& list = *t.project->pbcList.At(i);
            EXPECT_EQ(list.GetSize(*t.project, false), sizes[i]);
            EXPECT_EQ(list.lid, i + 1);
            EXPECT_EQ(list.offset, offsets[i]);
        }
        EXPECT_EQ(t.project->pbcList.psdSize, 264u);
        const bool ext = type == VCD_TYPE_VCD20;
        EXPECT_EQ(t.project->pbcList.extPsdSize, ext ? 264u : 0u);
        EXPECT_EQ(t.project->pbcList.At(2)->offsetExt, ext ? 48u : 0u);
        EXPECT_TRUE(t.cap.Has(VCD_LOG_DEBUG, ext ? "pbc: psd size 264 (extended psd 264)\n"
                                                 : "pbc: psd size 264 (extended psd 0)\n"));
    }
}

TEST(PbcOffsets, RecordsNeverCrossASector) {
    TestProject t(VCD_TYPE_VCD20);
    // Nine records of 216 bytes end at 1944, one of 96 at 2040; an 8-byte end list still fits
    // exactly, the next record does not and starts the second sector.
    for (int i = 0; i < 9; ++i)
        t.Add<CPbcPlay>(("p" + std::to_string(i)).c_str()).itemIds.assign(100, "");
    t.Add<CPbcPlay>("fill").itemIds.assign(41, "");
    t.Add<CPbcEnd>("end");
    t.Add<CPbcPlay>("next").itemIds.assign(2, "");
    AssignOffsets(*t.project);
    const CPbcList& lists = t.project->pbcList;
    EXPECT_EQ(lists.FindItem("p8")->offset, 1728u);
    EXPECT_EQ(lists.FindItem("fill")->offset, 1944u);
    EXPECT_EQ(lists.FindItem("end")->offset, 2040u);
    EXPECT_EQ(lists.FindItem("next")->offset, 2048u);
    EXPECT_EQ(lists.psdSize, 2072u);

    const Bytes lot = t.Lot(false);
    EXPECT_EQ(Get16(lot, 2 * 11), 255u); // end: 2040 / 8
    EXPECT_EQ(Get16(lot, 2 * 12), 256u); // next: 2048 / 8
    const Bytes psd = t.Psd(false);
    ASSERT_EQ(psd.size(), 2072u);
    EXPECT_EQ(psd[2040], 0x1F);
    EXPECT_EQ(psd[2048], 0x10);
    EXPECT_EQ(Get16(psd, 2050), 12u);
}

TEST(PbcWaitTime, Coding) {
    TestProject t(VCD_TYPE_VCD20);
    const std::pair<std::int32_t, int> cases[] = {
        {-1, 255}, {-7, 255}, {0, 0},   {1, 1},      {60, 60},
        {61, 60},  {69, 60},  {70, 61}, {1999, 253}, {2000, 254},
    };
    for (auto [seconds, code] : cases)
        EXPECT_EQ(CodeWaitTime(*t.project, seconds), code) << seconds;
    EXPECT_EQ(t.cap.Count(VCD_LOG_WARN, ""), 0);
    EXPECT_EQ(CodeWaitTime(*t.project, 2001), 254);
    EXPECT_TRUE(t.cap.Has(VCD_LOG_WARN, "wait time of 2001s clipped to 2000s\n"));
}

TEST(PbcRecords, PlayList) {
    TestProject t(VCD_TYPE_VCD20);
    CPbcPlay& play = t.Add<CPbcPlay>("play", true);
    play.itemIds = {"seq2", "e1", "", "nothing", "still"};
    play.prevId = "menu";
    play.returnId = "ghost";
    play.playingTime = 2.5;
    play.waitTime = 70;
    play.autoPauseWaitTime = -1;
    t.Add<CPbcSelect>("menu").selectIds = {"play"};
    AssignOffsets(*t.project);
    EXPECT_EQ(t.project->pbcList.FindItem("menu")->offset, 24u);

    const Bytes expected = {0x10, 0x05, 0x80, 0x01, 0x00, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x25,
                            0x3D, 0xFF, 0x00, 0x03, 0x00, 0x65, 0x00, 0x00, 0x00, 0x00, 0x03, 0xEA};
    for (bool ext : {false, true}) {
        SCOPED_TRACE(ext);
        t.cap.Clear();
        const Bytes psd = t.Psd(ext);
        EXPECT_EQ(Slice(psd, 0, 24), expected);
        EXPECT_EQ(t.cap.Count(VCD_LOG_ERROR, "PSD: referenced play item 'nothing' not found\n"), 1);
        EXPECT_EQ(t.cap.Count(VCD_LOG_ERROR, "PSD: referenced PSD 'ghost' not found\n"), 1);
        EXPECT_EQ(t.cap.Count(VCD_LOG_ERROR, ""), 2) << t.cap.Dump();
    }
    // The rejected list is written but left out of the LOT.
    const Bytes lot = t.Lot(false);
    EXPECT_EQ(Slice(lot, 0, 6), (Bytes{0x00, 0x00, 0xFF, 0xFF, 0x00, 0x03}));
    for (std::size_t i = 6; i < lot.size(); ++i)
        ASSERT_EQ(lot[i], 0xFF) << i;
}

TEST(PbcRecords, SelectionListOnSvcd) {
    TestProject t(VCD_TYPE_SVCD);
    t.Add<CPbcPlay>("play").itemIds = {"seq1", "seq2", "e1", "big", "still"};
    CPbcSelect& menu = t.Add<CPbcSelect>("menu");
    menu.nextId = "end";
    menu.returnId = "play";
    menu.defaultId = "play";
    menu.timeoutId = "end";
    menu.waitTime = 5;
    menu.loopCount = 3;
    menu.jumpDelayed = true;
    menu.itemId = "still";
    menu.bsn = 2;
    menu.selectIds = {"play", "end", "ghost"};
    menu.prevArea = {true, 10, 20, 30, 40};
    menu.nextArea = {true, 50, 0, 50, 10};
    menu.returnArea = {true, 1, 9, 2, 9};
    menu.defaultArea = {false, 1, 2, 3, 4};
    menu.selectAreas = {{true, 1, 2, 3, 4}, {}};
    t.Add<CPbcEnd>("end");
    AssignOffsets(*t.project);
    EXPECT_EQ(menu.GetSize(*t.project, false), 54u);
    EXPECT_EQ(menu.offset, 24u);
    EXPECT_EQ(t.project->pbcList.FindItem("end")->offset, 80u);

    const Bytes expected = {0x18, 0x01, 0x03, 0x02, 0x00, 0x02, 0xFF, 0xFF, 0x00, 0x0A, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x0A, 0x05, 0x83, 0x03, 0xEA, 0x00, 0x00, 0x00, 0x0A,
                            0xFF, 0xFF,
                            // areas prev, next (x1 >= x2), return (y1 >= y2), default (absent)
                            0x0A, 0x14, 0x1E, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            // one per selection; the third has none
                            1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes psd = t.Psd(false);
    EXPECT_EQ(Slice(psd, 24, 54), expected);
    EXPECT_TRUE(t.cap.Has(VCD_LOG_ERROR, "selection 'menu': area x1 >= x2 (50 >= 50)\n"));
    EXPECT_TRUE(t.cap.Has(VCD_LOG_ERROR, "selection 'menu': area y1 >= y2 (9 >= 9)\n"));
    EXPECT_TRUE(t.cap.Has(VCD_LOG_ERROR, "PSD: referenced PSD 'ghost' not found\n"));
    EXPECT_EQ(t.cap.Count(VCD_LOG_ERROR, ""), 3) << t.cap.Dump();
    EXPECT_EQ(t.cap.Count(VCD_LOG_WARN, ""), 0) << t.cap.Dump();
    EXPECT_EQ(Slice(psd, 80, 8), (Bytes{0x1F, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PbcRecords, SelectionListSizesOnVcd20) {
    TestProject t(VCD_TYPE_VCD20);
    CPbcSelect& menu = t.Add<CPbcSelect>("menu");
    menu.selectIds = {"menu", "after", "menu"};
    menu.prevArea = {true, 1, 2, 3, 4};
    t.Add<CPbcEnd>("after");
    AssignOffsets(*t.project);
    EXPECT_EQ(menu.GetSize(*t.project, false), 26u);
    EXPECT_EQ(menu.GetSize(*t.project, true), 54u);
    const CPbc& after = *t.project->pbcList.FindItem("after");
    EXPECT_EQ(after.offset, 32u);
    EXPECT_EQ(after.offsetExt, 56u);

    const Bytes psd = t.Psd(false);
    const Bytes psdx = t.Psd(true);
    ASSERT_EQ(psd.size(), 40u);
    ASSERT_EQ(psdx.size(), 64u);
    EXPECT_EQ(psd[0], 0x18);
    EXPECT_EQ(psdx[0], 0x1A);
    EXPECT_EQ(psd[1], 0x00);
    EXPECT_EQ(psdx[1], 0x00);
    // Targets point into their own file.
    EXPECT_EQ(Slice(psd, 20, 6), (Bytes{0x00, 0x00, 0x00, 0x04, 0x00, 0x00}));
    EXPECT_EQ(Slice(psdx, 20, 6), (Bytes{0x00, 0x00, 0x00, 0x07, 0x00, 0x00}));
    EXPECT_EQ(Slice(psd, 26, 6), Bytes(6, 0)); // padding, no areas
    EXPECT_EQ(Slice(psdx, 26, 4), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(psd[32], 0x1F);
    EXPECT_EQ(psdx[56], 0x1F);
    EXPECT_EQ(Get16(t.Lot(false), 4), 4u);
    EXPECT_EQ(Get16(t.Lot(true), 4), 7u);
}

TEST(PbcRecords, SelectionChecks) {
    using Setup = std::function<void(CPbcSelect&)>;
    struct Message {
        int level;
        std::string text;
    };
    struct Case {
        const char* name;
        Setup setup;
        std::vector<Message> messages; // all warnings and errors, in any order
        int byte = -1;                 // offset of a byte to check, and its value
        int value = 0;
    };
    const std::string sel = "selection 's': ";
    const Case cases[] = {
        {"clean", [](CPbcSelect&) {}, {}},
        {"bsn 0 nos 100",
         [](CPbcSelect& s) {
             s.bsn = 0;
             s.selectIds.assign(100, "t");
         },
         {{VCD_LOG_ERROR, sel + "BSN (0) not in range [1..99]"},
          {VCD_LOG_ERROR, sel + "too many selections (100 > 99)"}},
         2,
         100},
        {"bsn 2 nos 99",
         [](CPbcSelect& s) {
             s.bsn = 2;
             s.selectIds.assign(99, "t");
         },
         {{VCD_LOG_ERROR, sel + "(BSN (2) + NOS (99)) > 100"}}},
        {"loop 200 delayed",
         [](CPbcSelect& s) {
             s.loopCount = 200;
             s.jumpDelayed = true;
         },
         {{VCD_LOG_WARN, "loop count 200 > 127"}},
         17,
         0xFF},
        {"multi default with target",
         [](CPbcSelect& s) {
             s.defaultKind = PBC_DEFAULT_MULTI;
             s.defaultId = "t";
             s.itemId = "seq2";
             s.selectIds.assign(2, "t");
         },
         {{VCD_LOG_WARN, "ignoring default target 't' for multi default selection 's'"}},
         13,
         0xFE},
        {"multi default w/o num",
         [](CPbcSelect& s) {
             s.defaultKind = PBC_DEFAULT_MULTI_NO_NUMERIC;
             s.defaultId = "t";
             s.itemId = "e3";
             s.selectIds.assign(2, "t");
         },
         {{VCD_LOG_WARN, "ignoring default target 't' for multi default (w/o num) selection 's'"}},
         13,
         0xFD},
        {"no way out",
         [](CPbcSelect& s) {
             s.selectIds.clear();
             s.loopCount = 1;
         },
         {{VCD_LOG_WARN, "PSD: selection 's': neither timeout nor select target available, but "
                         "neither loop count is infinite nor timeout wait time"}}},
        {"timeout never used: infinite wait",
         [](CPbcSelect& s) {
             s.timeoutId = "t";
             s.waitTime = -1;
             s.loopCount = 2;
         },
         {{VCD_LOG_WARN, "PSD: selection 's': timeout target 't' is never used due to loop "
                         "count or timeout wait time given"}},
         16,
         0xFF},
        {"timeout never used: infinite loop",
         [](CPbcSelect& s) { s.timeoutId = "t"; },
         {{VCD_LOG_WARN, "PSD: selection 's': timeout target 't' is never used due to loop "
                         "count or timeout wait time given"}}},
        {"timeout used",
         [](CPbcSelect& s) {
             s.timeoutId = "t";
             s.loopCount = 1;
         },
         {}},
        {"unknown play item",
         [](CPbcSelect& s) { s.itemId = "zz"; },
         {{VCD_LOG_ERROR, "PSD: referenced play item 'zz' not found"}},
         19,
         0},
        {"multi default basics",
         [](CPbcSelect& s) {
             s.defaultKind = PBC_DEFAULT_MULTI;
             s.jumpDelayed = true;
             s.bsn = 2;
         },
         {{VCD_LOG_WARN, sel + "jump timing shall be immediate"},
          {VCD_LOG_ERROR, sel + "(BSN != 1) for multi default selection"},
          {VCD_LOG_ERROR, sel + "play nothing play item not allowed for multidefault list"}}},
        {"multi default on a segment",
         [](CPbcSelect& s) {
             s.defaultKind = PBC_DEFAULT_MULTI;
             s.itemId = "still";
         },
         {{VCD_LOG_ERROR, sel + "play item 'still' is requried to be sequence or entry point "
                                "item for multi default selecton"}}},
        {"multi default entry count",
         [](CPbcSelect& s) {
             s.defaultKind = PBC_DEFAULT_MULTI;
             s.itemId = "e1";
             s.selectIds.assign(2, "t");
         },
         {{VCD_LOG_ERROR, sel + "number of entrypoints (3 for sequence 'seq1') != number of "
                                "selections (2)"}}},
        {"multi default entry count matches",
         [](CPbcSelect& s) {
             s.defaultKind = PBC_DEFAULT_MULTI;
             s.itemId = "seq1";
             s.selectIds.assign(3, "t");
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestProject t(VCD_TYPE_SVCD);
        t.Add<CPbcPlay>("t");
        CPbcSelect& s = t.Add<CPbcSelect>("s");
        s.selectIds = {"t"};
        c.setup(s);
        AssignOffsets(*t.project);
        t.cap.Clear();
        const Bytes psd = t.Psd(false);
        const Bytes record = Slice(psd, s.offset, s.GetSize(*t.project, false));
        ASSERT_FALSE(record.empty());
        for (const Message& m : c.messages)
            EXPECT_EQ(t.cap.Count(m.level, m.text + "\n"), 1) << m.text << "\n" << t.cap.Dump();
        EXPECT_EQ(t.cap.Count(VCD_LOG_WARN, "") + t.cap.Count(VCD_LOG_ERROR, ""),
                  static_cast<int>(c.messages.size()))
            << t.cap.Dump();
        if (c.byte >= 0) {
            EXPECT_EQ(record[c.byte], c.value);
        }
    }
}

TEST(PbcRecords, OversizedListsStayInsideTheirRecords) {
    TestProject t(VCD_TYPE_SVCD);
    CPbcSelect& s = t.Add<CPbcSelect>("s");
    s.selectIds.assign(300, "p");
    s.selectAreas.assign(300, {true, 1, 1, 2, 2});
    CPbcPlay& p = t.Add<CPbcPlay>("p");
    p.itemIds.assign(300, "seq1");
    // The count bytes cut both lists at 255, so each record keeps to its count byte.
    EXPECT_EQ(s.GetSize(*t.project, false), 36u + 6 * 255);
    EXPECT_EQ(p.GetSize(*t.project, false), 14u + 2 * 255);
    AssignOffsets(*t.project);
    EXPECT_EQ(p.offset, 2048u);

    Bytes record(s.GetSize(*t.project, false), 0xEE);
    s.Write(*t.project, record.data(), false);
    EXPECT_EQ(record[2], 255);
    EXPECT_EQ(Slice(record, record.size() - 4, 4), (Bytes{1, 1, 2, 2}));
    EXPECT_TRUE(t.cap.Has(VCD_LOG_ERROR, "selection 's': too many selections (300 > 99)\n"));
    Bytes play(p.GetSize(*t.project, false), 0xEE);
    p.Write(*t.project, play.data(), false);
    EXPECT_EQ(play[1], 255);
    EXPECT_EQ(Get16(play, play.size() - 2), 2u);
}

TEST(PbcRecords, EndList) {
    struct Case {
        const char* name;
        std::int32_t type;
        std::int32_t nextDisc;
        const char* image;
        Bytes record;
        std::vector<std::pair<int, std::string>> messages;
    };
    const std::string pre = "PSD: endlist 'end': ";
    const Case cases[] = {
        {"svcd still", VCD_TYPE_SVCD, 2, "still", {0x1F, 2, 0x03, 0xEA, 0, 0, 0, 0}, {}},
        {"svcd no picture", VCD_TYPE_SVCD, 3, "", {0x1F, 3, 0, 0, 0, 0, 0, 0}, {}},
        {"svcd motion",
         VCD_TYPE_HQVCD,
         2,
         "motion",
         {0x1F, 2, 0x03, 0xEB, 0, 0, 0, 0},
         {{VCD_LOG_WARN, pre + "referenced play item 'motion' should be a still picture"}}},
        {"svcd sequence, next volume 0",
         VCD_TYPE_SVCD,
         0,
         "seq1",
         {0x1F, 0, 0, 2, 0, 0, 0, 0},
         {{VCD_LOG_WARN, pre + "change disc picture given, but next volume is 0"},
          {VCD_LOG_WARN, pre + "referenced play item 'seq1' is not a segment play item"}}},
        {"svcd missing",
         VCD_TYPE_SVCD,
         1,
         "zz",
         {0x1F, 1, 0, 0, 0, 0, 0, 0},
         {{VCD_LOG_ERROR, "PSD: referenced play item 'zz' not found"},
          {VCD_LOG_WARN, pre + "referenced play item 'zz' is not a segment play item"}}},
        {"vcd 2.0",
         VCD_TYPE_VCD20,
         2,
         "still",
         {0x1F, 0, 0, 0, 0, 0, 0, 0},
         {{VCD_LOG_WARN, "extended end list attributes ignored for non-SVCD"}}},
        {"vcd 2.0 plain", VCD_TYPE_VCD20, 0, "", {0x1F, 0, 0, 0, 0, 0, 0, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestProject t(c.type);
        CPbcEnd& end = t.Add<CPbcEnd>("end");
        end.nextDisc = c.nextDisc;
        end.imageId = c.image;
        AssignOffsets(*t.project);
        t.cap.Clear();
        EXPECT_EQ(t.Psd(false), c.record);
        for (const auto& [level, text] : c.messages)
            EXPECT_EQ(t.cap.Count(level, text + "\n"), 1) << text << "\n" << t.cap.Dump();
        EXPECT_EQ(t.cap.Count(VCD_LOG_WARN, "") + t.cap.Count(VCD_LOG_ERROR, ""),
                  static_cast<int>(c.messages.size()))
            << t.cap.Dump();
    }
}

TEST(PbcReachability, RootsReferencesAndMarks) {
    TestProject t(VCD_TYPE_SVCD);
    CPbcPlay& a = t.Add<CPbcPlay>("a");
    a.itemIds = {"seq1", "e3"}; // an entry point marks nothing
    a.nextId = "b";
    CPbcSelect& b = t.Add<CPbcSelect>("b", true); // rejected but reached from a
    b.prevId = "a";                               // a cycle
    b.itemId = "still";
    b.selectIds = {"c"};
    t.Add<CPbcEnd>("c", true);
    t.Add<CPbcPlay>("lonely", true).itemIds = {"seq2", "motion"};
    t.Add<CPbcPlay>("root");
    CPbcSelect& m = t.Add<CPbcSelect>("m");
    m.defaultKind = PBC_DEFAULT_MULTI;
    m.defaultId = "hidden"; // not followed for multi-default
    m.timeoutId = "t";
    t.Add<CPbcPlay>("hidden", true);
    t.Add<CPbcEnd>("t", true);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        t.cap.Clear();
        CheckReachability(*t.project);
        const std::vector<std::string> expected = {
            "PSD item 'lonely' is unreachable\n",        "PSD item 'hidden' is unreachable\n",
            "sequence 'seq2' is not reachable by PBC\n", "segment item 'big' is unreachable\n",
            "segment item 'motion' is unreachable\n",
        };
        std::vector<std::string> warnings;
        for (const LoggedLine& l : t.cap.lines())
            if (l.level == VCD_LOG_WARN) warnings.push_back(l.text);
        EXPECT_EQ(warnings, expected);
        EXPECT_TRUE(t.project->sequences.At(0)->reachable);
        EXPECT_FALSE(t.project->sequences.At(1)->reachable);
        EXPECT_TRUE(t.project->segments.At(1)->reachable);
        EXPECT_TRUE(t.project->pbcList.FindItem("c")->visited);
    }
}

TEST(PbcLot, EveryListIdFitsTheTable) {
    CapturedLog cap;
    auto project = CVcdObj::Create(cap, VCD_TYPE_SVCD);
    // More lists than the LOT has entries, put there behind the project's back.
    for (int i = 0; i < 32768; ++i)
        project->pbcList.Append(std::make_unique<CPbcEnd>());
    AssignOffsets(*project);
    Bytes lot(65536, 0);
    WriteLot(*project, lot.data(), false);
    EXPECT_EQ(Get16(lot, 0), 0u);
    EXPECT_EQ(Get16(lot, 2), 0u);
    EXPECT_EQ(Get16(lot, 65534), 32766u); // lid 32767 at 8 * 32766
}
