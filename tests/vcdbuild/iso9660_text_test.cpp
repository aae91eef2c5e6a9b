#include "iso9660_text.h"
#include "log_capture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Field(const std::uint8_t* p, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

TEST(IsoCharClasses, BoundariesOfEachClass) {
    const std::string d = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    const std::string a =
        std::string(" !\"%&'()*+,-./0123456789:;<=>?") + "ABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    for (int c = 0; c < 256; ++c) {
        const auto u = static_cast<unsigned char>(c);
        const bool lower = c >= 'a' && c <= 'z';
        EXPECT_EQ(IsDChar(u), c != 0 && d.find(char(c)) != std::string::npos) << c;
        EXPECT_EQ(IsLevel2Char(u), IsDChar(u) || lower) << c;
        EXPECT_EQ(IsAChar(u), c != 0 && a.find(char(c)) != std::string::npos) << c;
        EXPECT_EQ(Is7BitChar(u), c < 0x80) << c;
    }
}

struct PaddedCase {
    const char* text;
    std::size_t width;
    IsoCharCheck check;
    const char* field;   // expected field content
    const char* warning; // expected warning, or null for none
};

TEST(CopyPadded, ChecksTruncatesAndPads) {
    const PaddedCase cases[] = {
        {"my_disc", 32, IsoCharCheck::DCharacters, "my_disc                         ", nullptr},
        {"MY DISC", 8, IsoCharCheck::DCharacters, "MY DISC ",
         "string 'MY DISC' fails d-character constraint (pos = 2)"},
        {"ABC#$", 5, IsoCharCheck::ACharacters, "ABC#$",
         "string 'ABC#$' fails a-character constraint (pos = 3)"},
        {"abc", 3, IsoCharCheck::ACharacters, "abc",
         "string 'abc' fails a-character constraint (pos = 0)"},
        {"A\xe9Z", 4, IsoCharCheck::SevenBit, "A\xe9Z ",
         "string 'A\xe9Z' fails 7bit constraint (pos = 1)"},
        {"ABCDEFGH", 4, IsoCharCheck::DCharacters, "ABCD",
         "string 'ABCDEFGH' is getting truncated to 4 characters"},
        {"", 4, IsoCharCheck::ACharacters, "    ", nullptr},
        {nullptr, 3, IsoCharCheck::ACharacters, "   ", nullptr},
    };
    for (const auto& c : cases) {
        CapturedLog cap;
        std::vector<std::uint8_t> buf(c.width + 2, 0xEE);
        CopyPadded(cap, buf.data() + 1, c.text, c.width, c.check);
        EXPECT_EQ(Field(buf.data() + 1, c.width), c.field) << (c.text ? c.text : "(null)");
        EXPECT_EQ(buf[0], 0xEE);
        EXPECT_EQ(buf[c.width + 1], 0xEE) << "wrote past the field";
        if (c.warning) {
            EXPECT_EQ(cap.Count(VCD_LOG_WARN, c.warning), 1) << cap.Dump();
            EXPECT_EQ(cap.lines().size(), 1u) << cap.Dump();
        } else {
            EXPECT_TRUE(cap.lines().empty()) << cap.Dump();
        }
    }
}

TEST(CopyPadded, BadCharacterAndTruncationBothReported) {
    CapturedLog cap;
    std::uint8_t buf[4];
    CopyPadded(cap, buf, "a-b-c-d", 4, IsoCharCheck::DCharacters);
    EXPECT_EQ(Field(buf, 4), "a-b-");
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "string 'a-b-c-d' fails d-character constraint (pos = 1)"));
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "string 'a-b-c-d' is getting truncated to 4 characters"));
    EXPECT_EQ(cap.lines().size(), 2u) << "only the first offending position is reported";
}

TEST(IsoNumbers, BothByteOrders) {
    std::uint8_t b[8];
    SetBoth32(b, 0x12345678);
    const std::uint8_t want32[] = {0x78, 0x56, 0x34, 0x12, 0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(0, std::memcmp(b, want32, 8));
    SetBoth16(b, 0x0800);
    const std::uint8_t want16[] = {0x00, 0x08, 0x08, 0x00};
    EXPECT_EQ(0, std::memcmp(b, want16, 4));
    Set32BE(b, 0xA1B2C3D4);
    EXPECT_EQ(Get32BE(b), 0xA1B2C3D4u);
    EXPECT_EQ(Get32LE(b), 0xD4C3B2A1u);
    EXPECT_EQ(Get16BE(b), 0xA1B2u);
    EXPECT_EQ(Get16LE(b), 0xB2A1u);
}

TEST(IsoNumbers, BrokenByteOrderWarnsAndUsesLittleEndian) {
    CapturedLog cap;
    std::uint8_t b[8];
    SetBoth32(b, 4096);
    EXPECT_EQ(GetBoth32(cap, b), 4096u);
    EXPECT_TRUE(cap.lines().empty());
    Set32BE(b + 4, 2048);
    EXPECT_EQ(GetBoth32(cap, b), 4096u);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "from_733: broken byte order"), 1);
}

TEST(IsoDates, VolumeDateIsTheDayAtMidnightUtc) {
    std::uint8_t d[17];
    std::memset(d, 0xEE, sizeof d);
    // 2024-02-29 23:59:59 UTC
    SetVolumeDate(d, 1709251199);
    EXPECT_EQ(Field(d, 16), "2024022900000000");
    EXPECT_EQ(d[16], 0);
    SetVolumeDateUnset(d);
    EXPECT_EQ(Field(d, 16), "0000000000000000");
    EXPECT_EQ(d[16], 0);
}

TEST(IsoDates, RecordDate) {
    struct {
        std::int64_t time;
        std::uint8_t want[7];
    } cases[] = {
        {0, {78, 7, 14, 0, 0, 0, 0}},
        {kIsoDefaultTime, {78, 7, 14, 0, 0, 0, 0}},
        {1, {70, 1, 1, 0, 0, 1, 0}},
        {1709251199, {124, 2, 29, 23, 59, 59, 0}},
    };
    for (const auto& c : cases) {
        std::uint8_t d[8];
        d[7] = 0xEE;
        SetRecordDate(d, c.time);
        EXPECT_EQ(0, std::memcmp(d, c.want, 7)) << c.time;
        EXPECT_EQ(d[7], 0xEE);
    }
}

} // namespace
