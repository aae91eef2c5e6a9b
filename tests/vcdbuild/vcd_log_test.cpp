#include "log_capture.h"
#include "vcd_log.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <cstdio>
#include <string>

namespace {

std::string ReadAll(std::FILE* f) {
    std::string s;
    std::rewind(f);
    int c;
    while ((c = std::fgetc(f)) != EOF) s += static_cast<char>(c);
    return s;
}

struct ConsoleLog {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ~ConsoleLog() {
        std::fclose(out);
        std::fclose(err);
    }
};

TEST(VcdLog, LineEndingsAndTheWipeOfAnOpenProgressLine) {
    CapturedLog cap(2);
    CVcdLog& log = cap;
    log.Info("abc");
    log.Progress("step 1\r");
    EXPECT_TRUE(log.lineOpen);
    log.Progress("step 2\r");
    log.Warn("done\n");
    EXPECT_FALSE(log.lineOpen);
    const std::string blank = std::string(77, ' ') + "\r";
    ASSERT_EQ(cap.lines().size(), 5u) << cap.Dump();
    EXPECT_EQ(cap.lines()[0].text, "abc\n");
    EXPECT_EQ(cap.lines()[0].level, VCD_LOG_INFO);
    EXPECT_EQ(cap.lines()[1].text, "step 1\r");
    EXPECT_EQ(cap.lines()[2].text, "step 2\r"); // a progress line after a progress line: no wipe
    EXPECT_EQ(cap.lines()[3].level, VCD_LOG_RAW);
    EXPECT_EQ(cap.lines()[3].text, blank);
    EXPECT_EQ(cap.lines()[4].text, "done\n");
}

TEST(VcdLog, LongMessagesAreCut) {
    CapturedLog cap(2);
    cap.log().Warn("%s", std::string(3000, 'x').c_str());
    ASSERT_EQ(cap.lines().size(), 1u);
    EXPECT_EQ(cap.lines()[0].text, std::string(1023, 'x') + "\n");
}

TEST(VcdLog, ThresholdAndUnknownLevels) {
    struct Case {
        int threshold;
        const char* shown; // one letter per level 1..7 that comes out
    } cases[] = {{1, "1234 67"}, {2, " 234 67"}, {3, "  34 67"}, {0, " 234 67"}};
    for (const auto& c : cases) {
        CapturedLog cap(c.threshold);
        for (int level = 0; level <= 8; ++level) cap.log().Log(level, "L%d", level);
        std::string got;
        for (int level = 1; level <= 7; ++level)
            got += cap.Has(level, "L" + std::to_string(level)) ? char('0' + level) : ' ';
        EXPECT_EQ(got, c.shown) << "threshold " << c.threshold;
        EXPECT_EQ(cap.Count(0, "L0") + cap.Count(0, "L8") + cap.Count(0, "L5"), 0);
    }
}

TEST(VcdLog, ConsoleStreamsAndPrefixes) {
    ConsoleLog streams;
    CVcdLog log(nullptr, 0, 1, true);
    log.SetConsoleStreams(streams.out, streams.err);
    log.Debug("d");
    log.Info("i");
    log.Warn("w");
    log.Error("e");
    log.Progress("p");
    log.Log(VCD_LOG_RAW, "raw");
    EXPECT_EQ(ReadAll(streams.out), "--DEBUG: d\n   INFO: i\n++ WARN: w\nPROGRES: p\nraw\n");
    EXPECT_EQ(ReadAll(streams.err), "**ERROR: e\n");
}

TEST(VcdLog, ConsoleProgressLines) {
    ConsoleLog streams;
    CVcdLog log(nullptr, 0, 2, true);
    log.SetConsoleStreams(streams.out, streams.err);
    VcdScanProgress scan{"C:\\clips\\item1", 3, 50, 200};
    log.OnScanProgress(&scan);
    VcdWriteProgress write{"img.bin", 75, 300, 2, 3};
    log.OnWriteProgress(&write);
    log.Info("next");
    EXPECT_EQ(ReadAll(streams.out),
              "PROGRES: #scan[item1]: 50/200 (25%)            \r"
              "PROGRES: #write[2/3]: 75/300 (25%)          \r" +
                  std::string(77, ' ') + "\r   INFO: next\n");
}

TEST(VcdLog, WindowProgressBlocks) {
    CapturedLog cap(2, true);
    VcdScanProgress scan{"seq-1", 7, 1, 3};
    cap.log().OnScanProgress(&scan);
    VcdScanProgress empty{"seq-2", 0, 0, 0};
    cap.log().OnScanProgress(&empty);
    VcdWriteProgress write{"VideoCD.bin", 150, 1525, 1, 2};
    cap.log().OnWriteProgress(&write);
    cap.log().OnScanProgress(nullptr);

    auto& w = cap.window();
    ASSERT_EQ(w.scanBlocks.size(), 2u);
    EXPECT_EQ(w.scanBlocks[0].zero, 0);
    EXPECT_EQ(w.scanBlocks[0].operation, VCD_PROGRESS_SCAN);
    EXPECT_STREQ(w.scanBlocks[0].itemId, "seq-1");
    EXPECT_EQ(w.scanBlocks[0].percent, 34); // 33.3 rounded up
    EXPECT_EQ(w.scanBlocks[0].size, 3);
    EXPECT_EQ(w.scanBlocks[0].position, 1);
    EXPECT_EQ(w.scanBlocks[0].packets, 7);
    EXPECT_EQ(w.scanBlocks[1].percent, 0);
    ASSERT_EQ(w.writeBlocks.size(), 1u);
    EXPECT_EQ(w.writeBlocks[0].operation, VCD_PROGRESS_WRITE);
    EXPECT_EQ(w.writeBlocks[0].percent, 10); // 9.84 rounded up
    EXPECT_EQ(w.writeBlocks[0].written, 150);
    EXPECT_EQ(w.writeBlocks[0].total, 1525);
    EXPECT_EQ(w.writeBlocks[0].track, 1);
    EXPECT_EQ(w.writeBlocks[0].tracks, 2);
    EXPECT_TRUE(cap.lines().empty());
    EXPECT_EQ(w.lastMessage, platform::RegisterWindowMessage("TEST-LOG"));
}

TEST(VcdLog, NoProgressWhenSwitchedOff) {
    RecordingWindow window;
    CVcdBuildLog log(&window, platform::RegisterWindowMessage("msg_QuvoDiscBuilder"), 1, false);
    VcdScanProgress scan{"a", 1, 1, 2};
    VcdWriteProgress write{"b", 1, 2, 1, 1};
    log.OnScanProgress(&scan);
    log.OnWriteProgress(&write);
    log.guiMode = true;
    log.OnScanProgress(&scan);
    log.OnWriteProgress(&write);
    EXPECT_TRUE(window.scanBlocks.empty());
    EXPECT_TRUE(window.writeBlocks.empty());
    EXPECT_TRUE(window.lines.empty());
}

TEST(VcdBuildLog, GuiModeProgressAndVersion) {
    ConsoleLog streams;
    CVcdBuildLog log(nullptr, 0, 2, true);
    log.SetConsoleStreams(streams.out, streams.err);
    log.guiMode = true;
    log.programName = "vcdbuild";
    VcdScanProgress scan{"seq", 1, 10, 20};
    VcdWriteProgress write{"x.bin", 5, 9, 1, 2};
    log.OnScanProgress(&scan);
    log.OnWriteProgress(&write);
    log.ShowVersion();
    EXPECT_EQ(ReadAll(streams.out),
              "PROGRES: <progress operation=\"scan\" id=\"seq\" position=\"10\" size=\"20\" />\n"
              "PROGRES: <progress operation=\"write\" position=\"5\" size=\"9\" />\n"
              "<version program=\"vcdbuild\" major=\"6.0\" minor=\"7\" micro=\"10\" "
              "platform=\"win32\" />\n");
}

TEST(VcdBuildLog, VersionBannerOnConsoleAndInWindowMode) {
    ConsoleLog streams;
    {
        CVcdBuildLog log(nullptr, 0, 2, false);
        log.SetConsoleStreams(streams.out, streams.err);
        log.programName = "vcdbuild";
        log.ShowVersion();
    }
    EXPECT_EQ(ReadAll(streams.out).rfind("vcdbuild 6.0.7.10(win32)\n", 0), 0u);

    RecordingWindow window;
    CVcdBuildLog log(&window, 0xC123, 2, false);
    log.programName = "Vandrel";
    log.ShowVersion();
    ASSERT_EQ(window.versionBanners.size(), 1u);
    EXPECT_EQ(window.versionBanners[0].rfind("Vandrel 6.0.7.10(win32)\n", 0), 0u);
}

TEST(VcdBuildLog, LibxmlDiagnosticsBecomeErrorLinesOfTheCurrentLog) {
    const char bad[] = "<videocd><unclosed></videocd>";
    RecordingWindow window;
    {
        CVcdBuildLog log(&window, 0xC001, 2, false);
        EXPECT_EQ(CVcdBuildLog::Current(), &log);
        xmlDocPtr doc = xmlReadMemory(bad, sizeof bad - 1, "bad.xml", nullptr, 0);
        EXPECT_EQ(doc, nullptr);
    }
    EXPECT_EQ(CVcdBuildLog::Current(), nullptr);
    ASSERT_FALSE(window.lines.empty());
    for (const auto& l : window.lines) EXPECT_EQ(l.level, VCD_LOG_ERROR) << l.text;
    bool mentionsTag = false;
    for (const auto& l : window.lines) mentionsTag |= l.text.find("unclosed") != std::string::npos;
    EXPECT_TRUE(mentionsTag);

    // Once the build's log is gone nothing reaches it.
    std::size_t before = window.lines.size();
    std::FILE* devnull = std::fopen("/dev/null", "w");
    xmlSetGenericErrorFunc(devnull, nullptr);
    xmlFreeDoc(xmlReadMemory(bad, sizeof bad - 1, "bad.xml", nullptr, 0));
    xmlSetGenericErrorFunc(nullptr, nullptr);
    std::fclose(devnull);
    EXPECT_EQ(window.lines.size(), before);
}

} // namespace
