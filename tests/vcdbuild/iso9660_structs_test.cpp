#include "iso9660_structs.h"
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

std::string Padded(const std::string& s, std::size_t n) {
    return s + std::string(n - s.size(), ' ');
}

TEST(XaSystemUse, FieldsByteByByte) {
    struct {
        std::uint16_t attributes;
        std::uint8_t fileNumber;
        std::uint8_t want[14];
    } cases[] = {
        {kXaAttrDirectory, 0, {0, 0, 0, 0, 0x8D, 0x55, 'X', 'A', 0, 0, 0, 0, 0, 0}},
        {kXaAttrForm1File, 0, {0, 0, 0, 0, 0x0D, 0x55, 'X', 'A', 0, 0, 0, 0, 0, 0}},
        {kXaAttrForm2File, 3, {0, 0, 0, 0, 0x15, 0x55, 'X', 'A', 3, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        std::uint8_t su[16];
        std::memset(su, 0xEE, sizeof su);
        SetXaSystemUse(su, c.attributes, c.fileNumber);
        EXPECT_EQ(0, std::memcmp(su, c.want, 14)) << std::hex << c.attributes;
        EXPECT_EQ(su[14], 0xEE);
    }
}

TEST(Pvd, FieldsAsLaidOut) {
    CapturedLog cap;
    std::vector<std::uint8_t> root(48, 0);
    root[0] = 48;
    SetBoth32(root.data() + 2, 18);
    SetBoth32(root.data() + 10, 2048);
    root[25] = 2;
    std::vector<std::uint8_t> s(kIsoSectorSize, 0xEE);
    // 2023-05-06 12:34:56 UTC
    SetPvd(cap, s.data(), "my_disc", "PUBLISHER", "APP", 1234, root.data(), 20, 21, 10, 1683376496);

    EXPECT_TRUE(cap.lines().empty()) << cap.Dump();
    EXPECT_EQ(s[0], 1);
    EXPECT_EQ(Field(&s[1], 5), "CD001");
    EXPECT_EQ(s[6], 1);
    EXPECT_EQ(s[7], 0);
    EXPECT_EQ(Field(&s[8], 32), Padded("CD-RTOS CD-BRIDGE", 32));
    EXPECT_EQ(Field(&s[40], 32), "my_disc" + std::string(25, ' '));
    EXPECT_EQ(Get32LE(&s[80]), 1234u);
    EXPECT_EQ(Get32BE(&s[84]), 1234u);
    for (std::size_t off : {120u, 124u}) {
        EXPECT_EQ(Get16LE(&s[off]), 1u);
        EXPECT_EQ(Get16BE(&s[off + 2]), 1u);
    }
    EXPECT_EQ(Get16LE(&s[128]), 2048u);
    EXPECT_EQ(Get16BE(&s[130]), 2048u);
    EXPECT_EQ(Get32LE(&s[132]), 10u);
    EXPECT_EQ(Get32BE(&s[136]), 10u);
    EXPECT_EQ(Get32LE(&s[140]), 20u);
    EXPECT_EQ(Get32LE(&s[144]), 0u);
    EXPECT_EQ(Get32BE(&s[148]), 21u);
    EXPECT_EQ(Get32LE(&s[152]), 0u);
    EXPECT_EQ(s[156], 34) << "root record length forced to 34";
    EXPECT_EQ(0, std::memcmp(&s[157], &root[1], 33));
    EXPECT_EQ(Field(&s[190], 128), std::string(128, ' '));
    EXPECT_EQ(Field(&s[318], 128), Padded("PUBLISHER", 128));
    EXPECT_EQ(Field(&s[446], 128), Padded("QUVODISCBUILDER 6.0.7.10(WIN32)", 128));
    EXPECT_EQ(Field(&s[574], 128), Padded("APP", 128));
    EXPECT_EQ(Field(&s[702], 3 * 37), std::string(3 * 37, ' '));
    EXPECT_EQ(Field(&s[813], 17), std::string("2023050600000000") + '\0');
    EXPECT_EQ(Field(&s[830], 17), std::string("2023050600000000") + '\0');
    EXPECT_EQ(Field(&s[847], 17), std::string(16, '0') + '\0');
    EXPECT_EQ(Field(&s[864], 17), std::string(16, '0') + '\0');
    EXPECT_EQ(s[881], 1);
    EXPECT_EQ(Field(&s[1024], 8), "CD-XA001");
    // Everything else is zero.
    auto zero = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            ASSERT_EQ(s[i], 0) << "offset " << i;
    };
    zero(72, 80);
    zero(88, 120);
    zero(882, 1024);
    zero(1032, kIsoSectorSize);
}

TEST(Pvd, TextWarningsGoToTheLog) {
    CapturedLog cap;
    std::vector<std::uint8_t> s(kIsoSectorSize);
    SetPvd(cap, s.data(), "MY DISC", "publisher", "", 1, nullptr, 0, 0, 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "string 'MY DISC' fails d-character constraint (pos = 2)"));
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "string 'publisher' fails a-character constraint (pos = 0)"));
    EXPECT_EQ(Field(&s[40], 7), "MY DISC");
}

TEST(Terminator, TypeSignatureVersionRestZero) {
    std::vector<std::uint8_t> s(kIsoSectorSize, 0xEE);
    SetTerminator(s.data());
    EXPECT_EQ(s[0], 255);
    EXPECT_EQ(Field(&s[1], 5), "CD001");
    EXPECT_EQ(s[6], 1);
    for (std::size_t i = 7; i < kIsoSectorSize; ++i)
        ASSERT_EQ(s[i], 0) << i;
}

TEST(RecordSize, PaddingOfNameAndSystemUse) {
    struct {
        std::size_t name, su, want;
    } cases[] = {{1, 0, 34},  {1, 14, 48}, {2, 14, 50}, {10, 14, 58},
                 {9, 14, 56}, {1, 13, 48}, {2, 13, 50}, {0, 0, 34}};
    for (const auto& c : cases)
        EXPECT_EQ(RecordSize(c.name, c.su), c.want) << c.name << "/" << c.su;
}

class DirRecords : public ::testing::Test {
  protected:
    void SetUp() override { SetXaSystemUse(su, kXaAttrDirectory, 0); }
    CapturedLog cap;
    std::uint8_t su[kXaSystemUseSize];
};

TEST_F(DirRecords, InitNewWritesDotAndDotDot) {
    std::vector<std::uint8_t> dir(4096 + 16, 0xEE);
    ASSERT_EQ(DirInitNew(cap, dir.data(), 4096, 30, 4096, su, sizeof su, 18, 2048), 0);
    const std::uint8_t* r = dir.data();
    EXPECT_EQ(r[0], 48);
    EXPECT_EQ(Get32LE(r + 2), 30u);
    EXPECT_EQ(Get32BE(r + 6), 30u);
    EXPECT_EQ(Get32LE(r + 10), 4096u);
    EXPECT_EQ(Get32BE(r + 14), 4096u);
    EXPECT_EQ(r[18], 78);
    EXPECT_EQ(r[19], 7);
    EXPECT_EQ(r[20], 14);
    EXPECT_EQ(r[25], 2);
    EXPECT_EQ(Get16LE(r + 28), 1u);
    EXPECT_EQ(Get16BE(r + 30), 1u);
    EXPECT_EQ(r[32], 1);
    EXPECT_EQ(r[33], 0);
    EXPECT_EQ(0, std::memcmp(r + 34, su, 14));
    r += 48;
    EXPECT_EQ(r[0], 48);
    EXPECT_EQ(Get32LE(r + 2), 18u);
    EXPECT_EQ(Get32LE(r + 10), 2048u);
    EXPECT_EQ(r[25], 2);
    EXPECT_EQ(r[32], 1);
    EXPECT_EQ(r[33], 1);
    EXPECT_EQ(0, std::memcmp(r + 34, su, 14));
    for (std::size_t i = 96; i < 4096; ++i)
        ASSERT_EQ(dir[i], 0) << i;
    EXPECT_EQ(dir[4096], 0xEE) << "cleared past its size";
}

TEST_F(DirRecords, RecordsNeverCrossASectorAndNeverPassTheDirectory) {
    std::vector<std::uint8_t> dir(4096 + 64, 0xEE);
    ASSERT_EQ(DirInitNew(cap, dir.data(), 4096, 18, 4096, su, sizeof su, 18, 4096), 0);
    std::uint8_t fsu[kXaSystemUseSize];
    SetXaSystemUse(fsu, kXaAttrForm1File, 0);
    // 96 + 33 * 58 = 2010; the 34th record would end at 2068 and moves to 2048.
    char name[] = "FILE00.D;1";
    int added = 0;
    for (; added < 70; ++added) {
        name[4] = static_cast<char>('0' + added / 10);
        name[5] = static_cast<char>('0' + added % 10);
        if (DirAddEntry(cap, dir.data(), dir.size(), name, 100, 5, 0, fsu, sizeof fsu, 0) != 0)
            break;
    }
    EXPECT_EQ(dir[96 + 32 * 58], 58);
    EXPECT_EQ(dir[96 + 33 * 58], 0) << "gap before the sector boundary";
    EXPECT_EQ(dir[2048], 58);
    EXPECT_EQ(Field(&dir[2048 + 33], 10), "FILE33.D;1");
    EXPECT_EQ(0, std::memcmp(&dir[2048 + 44], fsu, 14)) << "XA field after the padded name";
    // The second sector holds 2048 / 58 = 35 records; the next one is refused.
    EXPECT_EQ(added, 33 + 35);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "does not fit")) << cap.Dump();
    for (std::size_t i = 4096; i < dir.size(); ++i)
        ASSERT_EQ(dir[i], 0xEE) << i;
}

TEST_F(DirRecords, BufferSmallerThanTheRecordedSizeIsTheLimit) {
    std::vector<std::uint8_t> dir(2048, 0);
    ASSERT_EQ(DirInitNew(cap, dir.data(), 2048, 18, 2048, su, sizeof su, 18, 2048), 0);
    SetBoth32(dir.data() + 10, 8192); // claims more than the buffer holds
    std::uint8_t name[200];
    std::memset(name, 'A', sizeof name);
    name[199] = 0;
    int n = 0;
    while (DirAddEntry(cap, dir.data(), dir.size(), reinterpret_cast<char*>(name), 1, 1, 0, su,
                       sizeof su, 0) == 0)
        ASSERT_LT(++n, 100);
    EXPECT_EQ(n, static_cast<int>((2048 - 96) / RecordSize(199, 14)));
}

TEST_F(DirRecords, RefusesAndReports) {
    std::vector<std::uint8_t> dir(2048, 0);
    EXPECT_EQ(DirInitNew(cap, dir.data(), 2048, 18, 4096, su, sizeof su, 18, 4096), -1);
    EXPECT_EQ(DirInitNew(cap, dir.data(), 2048, 18, 1000, su, sizeof su, 18, 1000), -1);
    ASSERT_EQ(DirInitNew(cap, dir.data(), 2048, 18, 2048, su, sizeof su, 18, 2048), 0);
    const std::string tooLong(208, 'N'); // 33 + 208 -> 242, + 14 = 256 > 255
    EXPECT_EQ(DirAddEntry(cap, dir.data(), 2048, tooLong.c_str(), 1, 1, 0, su, 14, 0), -1);
    EXPECT_EQ(DirAddEntry(cap, dir.data(), 2048, tooLong.c_str() + 1, 1, 1, 0, su, 14, 0), 0);
    EXPECT_EQ(dir[96], 254);
    EXPECT_EQ(cap.Count(VCD_LOG_ERROR, ""), 3) << cap.Dump();
}

TEST_F(DirRecords, BrokenOwnLengthWarnsAndUsesLittleEndian) {
    std::vector<std::uint8_t> dir(4096, 0);
    ASSERT_EQ(DirInitNew(cap, dir.data(), 4096, 18, 2048, su, sizeof su, 18, 2048), 0);
    Set32BE(dir.data() + 14, 4096);
    EXPECT_EQ(DirAddEntry(cap, dir.data(), dir.size(), "A", 19, 2048, 2, su, 14, 0), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "from_733: broken byte order"));
    EXPECT_EQ(dir[96], 48);
}

TEST(PathTables, EntriesInBothByteOrders) {
    CapturedLog cap;
    std::vector<std::uint8_t> l(kIsoSectorSize, 0xEE), m(kIsoSectorSize, 0xEE);
    PathTableInit(l.data());
    PathTableInit(m.data());
    EXPECT_EQ(PathTableSize(l.data()), 0u);
    EXPECT_EQ(PathTableAddL(cap, l.data(), "", 18, 1), 1);
    EXPECT_EQ(PathTableAddM(cap, m.data(), "", 18, 1), 1);
    EXPECT_EQ(PathTableAddL(cap, l.data(), "MPEGAV", 19, 1), 2);
    EXPECT_EQ(PathTableAddM(cap, m.data(), "MPEGAV", 19, 1), 2);
    EXPECT_EQ(PathTableAddL(cap, l.data(), "VCD", 0x01020304, 0x0102), 3);
    EXPECT_EQ(PathTableAddM(cap, m.data(), "VCD", 0x01020304, 0x0102), 3);
    EXPECT_EQ(PathTableSize(l.data()), 10u + 14u + 12u);
    EXPECT_EQ(PathTableSize(m.data()), 36u);
    const std::uint8_t wantL[] = {1,  0, 18, 0, 0, 0, 1,   0,   0,   0,   6,   0,
                                  19, 0, 0,  0, 1, 0, 'M', 'P', 'E', 'G', 'A', 'V',
                                  3,  0, 4,  3, 2, 1, 2,   1,   'V', 'C', 'D', 0};
    const std::uint8_t wantM[] = {1, 0, 0, 0,  0, 18, 0,   1,   0,   0,   6,   0,
                                  0, 0, 0, 19, 0, 1,  'M', 'P', 'E', 'G', 'A', 'V',
                                  3, 0, 1, 2,  3, 4,  1,   2,   'V', 'C', 'D', 0};
    EXPECT_EQ(0, std::memcmp(l.data(), wantL, sizeof wantL));
    EXPECT_EQ(0, std::memcmp(m.data(), wantM, sizeof wantM));
    EXPECT_EQ(l[36], 0);
}

TEST(PathTables, FullSectorIsRefused) {
    CapturedLog cap;
    std::vector<std::uint8_t> l(kIsoSectorSize + 16, 0xEE);
    PathTableInit(l.data());
    // 8 + 8 = 16 bytes per entry: 128 fit exactly.
    int last = 0;
    for (int i = 0; i < 128; ++i)
        last = PathTableAddL(cap, l.data(), "ABCDEFGH", 20, 1);
    EXPECT_EQ(last, 128);
    EXPECT_EQ(PathTableSize(l.data()), 2048u);
    EXPECT_EQ(PathTableAddL(cap, l.data(), "A", 20, 1), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "path table entry for 'A' does not fit into one sector"));
    for (std::size_t i = kIsoSectorSize; i < l.size(); ++i)
        ASSERT_EQ(l[i], 0xEE);
}

TEST(FormatMsf, BcdMinutesSecondsFrames) {
    struct {
        std::uint32_t sector;
        const char* want;
    } cases[] = {{0, "00:00.00"},    {74, "00:00.74"},   {75, "00:01.00"},    {150, "00:02.00"},
                 {4499, "00:59.74"}, {4500, "01:00.00"}, {449999, "99:59.74"}};
    for (const auto& c : cases)
        EXPECT_EQ(FormatMsf(c.sector), c.want) << c.sector;
}

} // namespace
