#include "sector_check.h"
#include "sector_encoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(rng());
    return v;
}

std::uint32_t StoredEdc(const Sector& s, std::size_t at) {
    return s[at] | (s[at + 1] << 8) | (s[at + 2] << 16) | (std::uint32_t(s[at + 3]) << 24);
}

TEST(Edc, MatchesBitwiseReferenceOnAllLengthsAndCheckValue) {
    const std::uint8_t check[] = "123456789";
    EXPECT_EQ(ReferenceEdc(check, 9), 0x6EC2EDC4u); // the catalogued CD-ROM EDC check value
    EXPECT_EQ(ComputeEdc(check, 0, 8), 0x6EC2EDC4u);
    auto data = RandomBytes(2400, 7);
    // Lengths around the 16- and 64-byte steps of the folding loop.
    for (std::size_t len : {1u, 2u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u, 79u, 80u, 127u,
                            128u, 129u, 2056u, 2332u, 2400u}) {
        for (std::size_t first : {0u, 1u, 3u}) {
            if (first + len > data.size()) continue;
            EXPECT_EQ(ComputeEdc(data.data(), first, first + len - 1),
                      ReferenceEdc(data.data() + first, len))
                << "len " << len << " first " << first;
        }
    }
    // Feeding in pieces gives the same register as one pass.
    std::uint32_t split = EdcUpdate(EdcUpdate(0, data.data(), 1000), data.data() + 1000, 1400);
    EXPECT_EQ(split, ReferenceEdc(data.data(), 2400));
}

TEST(Edc, EmptyAndZeroRangesGiveZero) {
    std::vector<std::uint8_t> zeros(4096, 0);
    EXPECT_EQ(ComputeEdc(zeros.data(), 16, 2071), 0u);
    EXPECT_EQ(ComputeEdc(zeros.data(), 10, 9), 0u);
    std::uint8_t one = 0x5A;
    EXPECT_EQ(ComputeEdc(&one, 0, 0), ReferenceEdc(&one, 1));
    EXPECT_EQ(ComputeEdc(&one, 1, 0), 0u);
}

TEST(Bcd, ConversionsOfValuesAndSectorCounts) {
    struct Case {
        unsigned value;
        std::uint8_t bcd;
    } bcd[] = {{0, 0x00}, {9, 0x09}, {10, 0x10}, {59, 0x59}, {74, 0x74}, {99, 0x99}};
    for (auto c : bcd)
        EXPECT_EQ(ToBcd(c.value), c.bcd) << c.value;

    struct Msf {
        std::uint32_t lba;
        std::uint8_t m, s, f;
    } msf[] = {{0, 0, 0, 0},
               {150, 0x00, 0x02, 0x00},
               {300, 0x00, 0x04, 0x00},
               {4649, 0x01, 0x01, 0x74},
               {4500, 0x01, 0x00, 0x00},
               {449999, 0x99, 0x59, 0x74}};
    for (auto c : msf) {
        std::uint8_t out[3];
        LbaToMsf(c.lba, out);
        EXPECT_EQ(out[0], c.m) << c.lba;
        EXPECT_EQ(out[1], c.s) << c.lba;
        EXPECT_EQ(out[2], c.f) << c.lba;
    }
}

TEST(Mode2Sector, Form2CarriesPayloadAndEdcButNoEcc) {
    auto payload = RandomBytes(kForm2DataSize, 11);
    Sector s;
    s.fill(0xEE);
    MakeMode2Sector(s.data(), payload.data(), 0, 1, 1, 0x62, 0x0F);
    const std::uint8_t sync[12] = {0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_EQ(std::memcmp(s.data(), sync, 12), 0);
    const std::uint8_t header[4] = {0x00, 0x02, 0x00, 0x02};
    EXPECT_EQ(std::memcmp(s.data() + 12, header, 4), 0);
    const std::uint8_t sub[8] = {1, 1, 0x62, 0x0F, 1, 1, 0x62, 0x0F};
    EXPECT_EQ(std::memcmp(s.data() + 16, sub, 8), 0);
    EXPECT_EQ(std::memcmp(s.data() + 24, payload.data(), kForm2DataSize), 0);
    EXPECT_EQ(StoredEdc(s, 2348), ReferenceEdc(s.data() + 16, 2332));
}

TEST(Mode2Sector, Form1ParityIsComputedWithTheHeaderZero) {
    for (std::uint32_t lsn : {0u, 18u, 4499u, 449000u}) {
        auto payload = RandomBytes(kForm1DataSize, lsn + 3);
        Sector s;
        MakeMode2Sector(s.data(), payload.data(), lsn, 0, 0, SM_DATA | SM_EOR, 0);
        std::uint8_t msf[3];
        LbaToMsf(lsn + 150, msf);
        EXPECT_EQ(std::memcmp(s.data() + 12, msf, 3), 0);
        EXPECT_EQ(s[15], 2);
        EXPECT_EQ(std::memcmp(s.data() + 24, payload.data(), kForm1DataSize), 0);
        EXPECT_EQ(StoredEdc(s, 2072), ReferenceEdc(s.data() + 16, 2056));
        EXPECT_EQ(CountBadCodeWords(s, true), 0) << "lsn " << lsn;
        // With the real (non-zero) header the code words do not close: the header was zero.
        EXPECT_GT(CountBadCodeWords(s, false), 0) << "lsn " << lsn;
    }
}

TEST(Mode2Sector, SyndromeCheckCatchesACorruptedByte) {
    auto payload = RandomBytes(kForm1DataSize, 99);
    Sector s;
    MakeMode2Sector(s.data(), payload.data(), 1000, 0, 0, SM_DATA, 0);
    ASSERT_EQ(CountBadCodeWords(s, true), 0);
    for (std::size_t at : {24u, 1000u, 2071u, 2080u, 2250u, 2351u}) {
        Sector bad = s;
        bad[at] ^= 0x01;
        EXPECT_GT(CountBadCodeWords(bad, true), 0) << "byte " << at;
    }
}

TEST(Mode2Sector, AllZeroForm1SectorHasZeroParity) {
    std::vector<std::uint8_t> zeros(kForm1DataSize, 0);
    Sector s;
    MakeMode2Sector(s.data(), zeros.data(), 0, 0, 0, 0, 0);
    for (std::size_t i = 2072; i < kRawSectorSize; ++i)
        ASSERT_EQ(s[i], 0) << i;
}

TEST(Mode2Sector, RawPayloadIsKeptAsIs) {
    auto payload = RandomBytes(kMode2SectorSize, 5);
    Sector s;
    s.fill(0xAA);
    MakeRawMode2Sector(s.data(), payload.data(), 4499);
    const std::uint8_t header[4] = {0x01, 0x01, 0x74, 0x02};
    EXPECT_EQ(std::memcmp(s.data() + 12, header, 4), 0);
    EXPECT_EQ(s[0], 0x00);
    EXPECT_EQ(s[11], 0x00);
    EXPECT_EQ(std::memcmp(s.data() + 16, payload.data(), kMode2SectorSize), 0);
}

} // namespace
