#include "log_capture.h"
#include "vcd_stream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class StreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/pellam_stream_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string Pattern(std::size_t n) {
        std::string s(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            s[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
        return s;
    }

    CapturedLog cap;
    CVcdLog& log = cap;
    std::string dir_;
};

TEST_F(StreamTest, ShortReadAtEndReturnsNothingAndKeepsThePosition) {
    const std::string path = PathOf("a.dat");
    const std::string data = Pattern(2335);
    WriteFile(path, data);
    CVcdStream in(log, path.c_str(), VCD_STREAM_READ);
    EXPECT_EQ(in.GetSize(), 2335);

    std::vector<char> buf(4000);
    ASSERT_EQ(in.Read(buf.data(), 2000), 2000);
    EXPECT_EQ(std::string(buf.data(), 2000), data.substr(0, 2000));
    EXPECT_EQ(in.position(), 2000);

    EXPECT_EQ(in.Seek(0), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "had to reposition Stream from 2000 to 0!\n")) << cap.Dump();
    EXPECT_EQ(in.Read(buf.data(), 2336), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "fread (): EOF encountered\n")) << cap.Dump();
    EXPECT_EQ(in.position(), 0);
    // The failed read left the file where the stream believes it is.
    ASSERT_EQ(in.Read(buf.data(), 2335), 2335);
    EXPECT_EQ(std::string(buf.data(), 2335), data);
    EXPECT_EQ(cap.Count(VCD_LOG_ERROR, ""), 0) << cap.Dump();
}

TEST_F(StreamTest, MissingInputIsReportedAtEveryStep) {
    const std::string path = PathOf("missing.mpg");
    CVcdStream in(log, path.c_str(), VCD_STREAM_READ);
    EXPECT_TRUE(
        cap.Has(VCD_LOG_ERROR, "could not stat() file `" + path + "': No such file or directory\n"))
        << cap.Dump();
    EXPECT_EQ(in.Check(), 0);
    char buf[16];
    EXPECT_EQ(in.Read(buf, sizeof buf), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "could not open input stream <" + path + ">\n"));
    EXPECT_EQ(in.GetSize(), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "Unable to _STAT file <" + path + ">...\n"));
    EXPECT_FALSE(in.isOpen());
}

TEST_F(StreamTest, DirectoryCannotBeReadOrWritten) {
    CVcdStream in(log, dir_.c_str(), VCD_STREAM_READ);
    char buf[16];
    EXPECT_EQ(in.Read(buf, sizeof buf), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "fread (): Is a directory\n")) << cap.Dump();

    CVcdStream out(log, dir_.c_str(), VCD_STREAM_WRITE);
    EXPECT_EQ(out.Write("abc", 3), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "could not open output stream <" + dir_ + ">\n"));
}

TEST_F(StreamTest, ExistingOutputIsWarnedOnceAndTruncated) {
    struct Case {
        std::size_t existing;
        int warnings;
    };
    for (const Case& c : {Case{0, 0}, Case{5000, 1}}) {
        SCOPED_TRACE(c.existing);
        cap.Clear();
        const std::string path = PathOf("out" + std::to_string(c.existing) + ".bin");
        WriteFile(path, Pattern(c.existing));
        CVcdStream out(log, path.c_str(), VCD_STREAM_WRITE);
        EXPECT_EQ(out.Write("abc", 3), 3);
        EXPECT_EQ(out.Write("defg", 4), 4);
        EXPECT_EQ(out.position(), 7);
        EXPECT_EQ(out.GetSize(), 7);
        EXPECT_EQ(out.Close(), 0);
        EXPECT_EQ(
            cap.Count(VCD_LOG_WARN, "file '" + path + "' exist already, will get overwritten!\n"),
            c.warnings)
            << cap.Dump();
        EXPECT_EQ(ReadFile(path), "abcdefg");
    }
}

TEST_F(StreamTest, InvalidModeIsRefused) {
    const std::string path = PathOf("x.bin");
    for (int mode : {0, 3, -1}) {
        SCOPED_TRACE(mode);
        cap.Clear();
        CVcdStream s(log, path.c_str(), mode);
        EXPECT_EQ(s.mode(), VCD_STREAM_INVALID);
        EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "program error: CVcdStream has been wrongly "
                                           "initialized - aborting!\n"));
        EXPECT_EQ(s.Open(), 1);
        EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "could not open output stream <" + path + ">\n"));
        EXPECT_EQ(s.Write("a", 1), 0);
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(StreamTest, PrintfWritesFormattedTextOrFails) {
    const std::string path = PathOf("t.txt");
    CVcdStream out(log, path.c_str(), VCD_STREAM_WRITE);
    EXPECT_EQ(out.Printf("TRACK %2.2d %s\r\n", 2, "MODE2/2352"), 21);
    const std::string huge(5000, 'x');
    EXPECT_EQ(out.Printf("%s", huge.c_str()), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "vsnprintf() returned 5000\n")) << cap.Dump();
    EXPECT_EQ(out.Printf("%s", ""), -1);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(ReadFile(path), "TRACK 02 MODE2/2352\r\n");

    // A stream without a path opens without a file; its writes store nothing.
    CVcdStream none(log, nullptr, VCD_STREAM_WRITE);
    EXPECT_EQ(none.path(), "");
    EXPECT_EQ(none.Open(), 0);
    EXPECT_EQ(none.Write("abc", 3), 0);
    EXPECT_EQ(none.Printf("abc"), -1);
}

TEST_F(StreamTest, FullDeviceFailsTheWriteOrTheClose) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    {
        // Small enough to sit in the buffer: the failure comes with the close.
        CVcdStream out(log, "/dev/full", VCD_STREAM_WRITE);
        EXPECT_EQ(out.Write("abc", 3), 3);
        EXPECT_EQ(out.Close(), 1);
        EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "fclose (): No space left on device\n")) << cap.Dump();
    }
    cap.Clear();
    {
        const std::string big = Pattern(3 * CVcdStream::kBufferSize);
        CVcdStream out(log, "/dev/full", VCD_STREAM_WRITE);
        EXPECT_LT(out.Write(big.data(), static_cast<std::int64_t>(big.size())),
                  static_cast<std::int64_t>(big.size()));
        EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "fwrite (): No space left on device\n")) << cap.Dump();
    }
}

TEST_F(StreamTest, FailedSeekKeepsThePosition) {
    const std::string path = PathOf("s.bin");
    CVcdStream out(log, path.c_str(), VCD_STREAM_WRITE);
    ASSERT_EQ(out.Write("abcd", 4), 4);
    EXPECT_EQ(out.Seek(-5), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "fseek (): Invalid argument\n")) << cap.Dump();
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "unable to reposition Stream to the new location, -5\n"));
    EXPECT_EQ(out.position(), 4);
    EXPECT_EQ(out.Seek(4), 4);
    EXPECT_FALSE(cap.Has(VCD_LOG_DEBUG, "had to reposition"));
}

TEST_F(StreamTest, OffsetsBeyondFourGigabytesDoNotWrap) {
    const std::string path = PathOf("big.bin");
    const std::int64_t far = 5'000'000'000LL;
    {
        CVcdStream out(log, path.c_str(), VCD_STREAM_WRITE);
        ASSERT_EQ(out.Seek(far), far) << cap.Dump();
        ASSERT_EQ(out.Write("WXYZ", 4), 4);
        EXPECT_EQ(out.position(), far + 4);
        EXPECT_EQ(out.GetSize(), far + 4);
        ASSERT_EQ(out.Close(), 0);
    }
    CVcdStream in(log, path.c_str(), VCD_STREAM_READ);
    EXPECT_EQ(in.GetSize(), far + 4);
    ASSERT_EQ(in.Seek(far), far);
    char buf[4];
    ASSERT_EQ(in.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "WXYZ");
}

TEST_F(StreamTest, FileInUseIsRefusedAndKeepsItsContent) {
    const std::string path = PathOf("busy.bin");
    for (int secondMode : {VCD_STREAM_WRITE, VCD_STREAM_READ}) {
        SCOPED_TRACE(secondMode);
        CVcdStream first(log, path.c_str(), VCD_STREAM_WRITE);
        ASSERT_EQ(first.Write("keep", 4), 4);
        {
            CVcdStream second(log, path.c_str(), secondMode);
            EXPECT_EQ(second.Open(), 1);
        }
        EXPECT_EQ(first.Close(), 0);
        EXPECT_EQ(ReadFile(path), "keep");
    }
}

} // namespace
