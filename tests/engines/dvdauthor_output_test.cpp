// dvdauthor's recorded output read as the authoring thread reads it.
#include "dvd_media_support.h"
#include "engines/dvdauthor/author_dvd.h"
#include "engines/dvdauthor/dvdauthor_output.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using engines::AuthorProgress;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

struct Replay {
    std::vector<AuthorProgress> events;
    bool failed = false;
    std::string error;
};

Replay Feed(const std::string& transcript, std::uint64_t totalBytes) {
    dvdmedia::Transcript t = dvdmedia::ReadTranscript(transcript);
    EXPECT_TRUE(t.ok) << transcript;
    engines::DvdauthorOutput reader(totalBytes);
    Replay r;
    for (const std::string& line : Lines(t.stderrText))
        if (auto p = reader.Feed(line)) r.events.push_back(*p);
    r.failed = reader.Failed();
    r.error = reader.ErrorText();
    return r;
}

void ExpectRising(const std::vector<AuthorProgress>& events) {
    for (std::size_t i = 1; i < events.size(); ++i) {
        const AuthorProgress &a = events[i - 1], &b = events[i];
        EXPECT_TRUE(b.stage > a.stage || (b.stage == a.stage && b.percent > a.percent))
            << "event " << i << ": " << a.stage << "/" << a.percent << " then " << b.stage << "/"
            << b.percent;
    }
}

TEST(DvdauthorOutput, ErrorLinesAreFailures) {
    struct Case {
        const char* transcript;
        const char* error;
    } cases[] = {
        {"dvdauthor-xml-error-missing-vob.txt",
         "2 opening input video file \"/tmp/t/missing.mpg\" -- No such file or directory"},
        {"dvdauthor-xml-error-no-vmgm-video-format.txt", "no video format specified for VMGM"},
        {"dvdauthor-xml-error-malformed-xml.txt", "Error in parsing XML"},
        {"dvdauthor-xml-error-cannot-create-output-dir.txt",
         "cannot create dir /proc/nonexistent/DVD: No such file or directory"},
        {"dvdauthor-xml-error-elementary-stream-input.txt",
         "Partial sector read (1917 bytes at inoffset 0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transcript);
        Replay r = Feed(c.transcript, 1 << 20);
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(r.error, c.error);
        ExpectRising(r.events);
    }
}

TEST(DvdauthorOutput, SmallRunsPassThroughBothStages) {
    // A 150 KB segment: nothing is written before the first whole megabyte, and no VOBU is
    // fixed on a line of its own.
    for (const char* name : {"dvdauthor-xml-ok.txt", "dvdauthor-xml-ntsc-16x9-ac3-ok.txt"}) {
        SCOPED_TRACE(name);
        Replay r = Feed(name, 153600);
        EXPECT_FALSE(r.failed);
        ExpectRising(r.events);
        std::vector<AuthorProgress> expected = {
            {engines::kAuthorBuildingVobs, 0},
            {engines::kAuthorCreatingImage, 0},
            {engines::kAuthorCreatingImage, 90},
            {engines::kAuthorCreatingImage, 95},
        };
        EXPECT_EQ(r.events, expected);
    }
}

TEST(DvdauthorOutput, LargeRunMeasuresVobsAgainstTheInputAndFollowsTheFixing) {
    // 60 links to one 40-second file, 2.4 GB in all; the last VOBU line says "at 2390MB".
    Replay r = Feed("dvdauthor-xml-large-2.4GB-ok.txt", 2400ull << 20);
    EXPECT_FALSE(r.failed);
    ExpectRising(r.events);
    ASSERT_GT(r.events.size(), 150u);
    std::size_t building = 0, lastBuilding = 0;
    for (std::size_t i = 0; i < r.events.size(); ++i) {
        if (r.events[i].stage == engines::kAuthorBuildingVobs) {
            ++building;
            lastBuilding = i;
        }
    }
    EXPECT_GT(building, 90u); // every percent, from 0
    EXPECT_EQ(r.events[lastBuilding].percent, 99);
    const AuthorProgress& last = r.events.back();
    EXPECT_EQ(last.stage, engines::kAuthorCreatingImage);
    EXPECT_EQ(last.percent, 95);
    // The fixing lines' own percent, scaled into the image stage.
    bool sawMiddle = false;
    for (const AuthorProgress& p : r.events)
        sawMiddle |= p.stage == engines::kAuthorCreatingImage && p.percent == 45;
    EXPECT_TRUE(sawMiddle);
}

TEST(DvdauthorOutput, OddLinesMoveNothing) {
    engines::DvdauthorOutput reader(100 << 20);
    for (const char* line :
         {"STAT: VOBU 3 at", "STAT: VOBU 3 at xMB", "STAT: VOBU 3 at 5", "",
          "STAT: fixing VOBU at 8MB (17/76, 210%)", "STAT: fixing VOBU at 8MB (17/76, )",
          "INFO: Video pts = 0.120", "STAT: VOBU 3 at 99999999999999999999999MB, 1 PGCs"})
        EXPECT_FALSE(reader.Feed(line).has_value()) << line;
    EXPECT_FALSE(reader.Failed());
    ASSERT_TRUE(reader.Feed("STAT: VOBU 3 at 50MB, 1 PGCs").has_value());
    EXPECT_EQ(reader.Feed("STAT: VOBU 4 at 75MB, 1 PGCs")->percent, 75);
    EXPECT_FALSE(reader.Feed("STAT: VOBU 5 at 75MB, 1 PGCs").has_value());
    // More than the input is still short of done.
    EXPECT_EQ(reader.Feed("STAT: VOBU 6 at 120MB, 1 PGCs")->percent, 99);
    EXPECT_FALSE(reader.Feed("ERR:").has_value());
    EXPECT_TRUE(reader.Failed());
}

} // namespace
