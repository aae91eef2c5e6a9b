#include "dvd_fake_tools_support.h"
#include "engines/dvd/dvd_disc_types.h"
#include "engines/dvd/dvd_engine.h"
#include "engines/dvd/dvd_mediainfo.h"
#include "engines/dvd/dvd_tool_output.h"

#include <gtest/gtest.h>

using namespace engines;
using dvdtools::TranscriptLines;

namespace {

using State = DvdMediaInfo::State;

TEST(DvdMediaInfoTest, ReadsTheRecordedDiscs) {
    struct Case {
        const char* transcript;
        int status;
        State state;
        int profile;
        const char* discStatus;
        std::uint64_t readCapacity;
        std::int32_t typeCode;
        bool erasable;
    };
    const Case cases[] = {
        {"dvd+rw-mediainfo-dvd+r-blank-public.txt", 0, State::kMedium, 0x1B, "blank", 0, 9, false},
        {"dvd+rw-mediainfo-dvd+r-appendable-public.txt", 0, State::kMedium, 0x1B, "appendable", 192,
         9, false},
        {"dvd+rw-mediainfo-dvd+r-complete-public.txt", 0, State::kMedium, 0x1B, "complete", 0, 9,
         false},
        {"dvd+rw-mediainfo-dvd+rw-with-data-public.txt", 0, State::kMedium, 0x1A, "complete",
         2295104, 8, true},
        {"dvd+rw-mediainfo-dvd-r-blank-public.txt", 0, State::kMedium, 0x11, "blank", 0, 5, false},
        {"dvd+rw-mediainfo-dvd-r-appendable-public.txt", 0, State::kMedium, 0x11, "appendable", 16,
         5, false},
        {"dvd+rw-mediainfo-dvd-rw-sequential-blank-public.txt", 0, State::kMedium, 0x14, "blank", 0,
         7, true},
        {"dvd+rw-mediainfo-dvd-rw-sequential-appendable-public.txt", 0, State::kMedium, 0x14,
         "appendable", 4294770689ull, 7, true},
        {"dvd+rw-mediainfo-no-media-public.txt", 251, State::kNoMedium, -1, "", 0, 0, false},
        {"dvd+rw-mediainfo-no-device-node.txt", 130, State::kFailed, -1, "", 0, 0, false},
        {"dvd+rw-mediainfo-error-block-device-not-mmc.txt", 150, State::kFailed, -1, "", 0, 0,
         false},
        {"dvd+rw-mediainfo-usage.txt", 150, State::kFailed, -1, "", 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transcript);
        std::vector<std::string> lines = TranscriptLines(c.transcript);
        ASSERT_FALSE(lines.empty());
        DvdMediaInfo info = ParseMediaInfo(lines, c.status);
        EXPECT_EQ(info.state, c.state);
        EXPECT_EQ(info.profile, c.profile);
        EXPECT_EQ(info.discStatus, c.discStatus);
        EXPECT_EQ(info.readCapacity, c.readCapacity);
        DvdProfileFacts facts = FactsOfProfile(info.profile);
        EXPECT_EQ(facts.typeCode, c.typeCode);
        EXPECT_EQ(IsWritableDvdType(facts.typeCode), c.state == State::kMedium);
        EXPECT_EQ(facts.erasable, c.erasable);
        if (c.state == State::kFailed) {
            EXPECT_EQ(info.errorText, lines.front());
        }
    }
}

TEST(DvdMediaInfoTest, OtherMediaAndDamagedOutput) {
    // A CD in the drive, and a run that printed no profile although it exited 0.
    EXPECT_EQ(ParseMediaInfo({"INQUIRY:                [ACER    ][DVD-RW AXD001   ][LD11]",
                              ":-( non-DVD media mounted, exiting..."},
                             252)
                  .state,
              State::kNotDvd);
    DvdMediaInfo cut = ParseMediaInfo({"INQUIRY:  [ACER    ][DVD-RW AXD001   ][LD11]",
                                       " Mounted Media:         1B", " Mounted Media: h, DVD+R"},
                                      0);
    EXPECT_EQ(cut.state, State::kFailed);
    EXPECT_EQ(cut.profile, -1);
    EXPECT_FALSE(cut.errorText.empty());
    DvdMediaInfo speeds =
        ParseMediaInfo(TranscriptLines("dvd+rw-mediainfo-dvd+rw-with-data-public.txt"), 0);
    EXPECT_EQ(speeds.writeSpeeds, (std::vector<std::int32_t>{8467, 7056, 5645, 4234, 2822, 1411}));
    EXPECT_EQ(speeds.mediaId, "RICOHJPN/W11");
}

TEST(DvdDiscTypesTest, TheWritableCodesAreTheRecordableDvds) {
    struct Case {
        int profile;
        std::int32_t code;
        bool overwritable;
    };
    const Case cases[] = {{-1, 0, false},   {0x08, 1, false},  {0x09, 2, false},  {0x0A, 3, false},
                          {0x10, 4, false}, {0x11, 5, false},  {0x12, 6, true},   {0x13, 7, false},
                          {0x14, 7, false}, {0x15, 5, false},  {0x1A, 8, true},   {0x1B, 9, false},
                          {0x2A, 8, true},  {0x2B, 13, false}, {0x41, 11, false}, {0x51, 14, false},
                          {0x77, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        EXPECT_EQ(FactsOfProfile(c.profile).typeCode, c.code);
        EXPECT_EQ(FactsOfProfile(c.profile).overwritable, c.overwritable);
    }
}

TEST(DvdToolOutputTest, GrowisofsCounters) {
    struct Case {
        std::string line;
        bool ok;
        std::uint64_t done, total;
    };
    const std::vector<Case> cases = {
        {"    3964928/1095487488 ( 0.4%) @0.9x, remaining 22:56 RBU 100.0% UBU   2.9%", true,
         3964928, 1095487488},
        {"          0/4449134592 ( 0.0%) @0x, remaining ??:?? RBU 100.0% UBU   0.0%", true, 0,
         4449134592},
        {"4980736/4700372992 ( 0.1%) @1.1x, remaining 251:23 RBU 100.0% UBU -12.5%", true, 4980736,
         4700372992},
        {"216236032/216250368 (100.0%) @0.0x, remaining 0:00 RBU 0.1% UBU 100.0%", true, 216236032,
         216250368},
        {" 1074823168/1095487488 (98.1%) @4.0x, remaining 0:03 RBU  61.6% UBU 100", true,
         1074823168, 1095487488},
        {"builtin_dd: 1224256*2KB out @ average 258.7x1352KBps", false, 0, 0},
        {"5/0 ( 0.0%)", false, 0, 0},
        {"12/10 (120.0%)", false, 0, 0},
        {"12/", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::uint64_t done = 7, total = 7;
        EXPECT_EQ(ParseGrowisofsProgress(c.line, done, total), c.ok);
        if (c.ok) {
            EXPECT_EQ(done, c.done);
            EXPECT_EQ(total, c.total);
        }
    }
}

TEST(DvdToolOutputTest, PercentagesOfTheFormatterAndTheBlanker) {
    std::uint32_t h = 0;
    EXPECT_TRUE(ParsePercentDone("  0.41% done, estimate finish Fri Dec 11 13:43:12 2026", h));
    EXPECT_EQ(h, 41u);
    EXPECT_TRUE(ParsePercentDone(" 99.65% done, estimate finish Fri Dec 11 13:43:19 2026", h));
    EXPECT_EQ(h, 9965u);
    EXPECT_FALSE(ParsePercentDone("Total extents scheduled to be written = 21222", h));
    EXPECT_FALSE(ParsePercentDone("250.00% done", h));

    // Without -gui the percentage is rewritten in place with backspaces, then a spinner.
    std::uint32_t t = 0;
    EXPECT_TRUE(ParseFormatProgress("* blanking 0.0%\b\b\b\b1.2%\b\b\b\b12.5%\b\b\b\b\b|", t));
    EXPECT_EQ(t, 125u);
    EXPECT_TRUE(ParseFormatProgress("* blanking 9.4%:-( unable to TEST UNIT READY: Input/output "
                                    "error",
                                    t));
    EXPECT_EQ(t, 94u);
    EXPECT_FALSE(ParseFormatProgress("* 4.7GB DVD-RW media in Sequential mode detected.", t));
    EXPECT_FALSE(ParseFormatProgress("%%", t));
}

TEST(DvdToolOutputTest, ClosingAndErrorLines) {
    for (const char* line :
         {"/dev/sr0: flushing cache", "/dev/sr0: closing track", "/dev/sr0: closing session",
          "/dev/cdrw: updating RMA", "/dev/sr0: writing lead-out"})
        EXPECT_TRUE(IsClosingLine(line)) << line;
    for (const char* line : {"/dev/sr0: reloading tray",
                             "/dev/sr0: \"Current Write Speed\" is "
                             "8.2x1352KBps.",
                             "builtin_dd: 192*2KB out @ average 0.0x1352KBps"})
        EXPECT_FALSE(IsClosingLine(line)) << line;
    EXPECT_TRUE(IsErrorLine(":-( write failed: Input/output error"));
    EXPECT_TRUE(IsErrorLine(":-[ WRITE@LBA=10h failed with SK=5h/ASC=21h/ACQ=02h]: Invalid "
                            "argument"));
    EXPECT_TRUE(IsErrorLine("FATAL: /tmp/t/out.img already carries isofs!"));
    EXPECT_TRUE(IsErrorLine("-:-( unable to BLANK: Input/output error"));
    EXPECT_FALSE(IsErrorLine("WARNING: /tmp/t/out.img already carries isofs!"));
}

} // namespace
