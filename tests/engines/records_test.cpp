// The records as their bytes: what the burner presets and fills, where the other side reads it.
#include "engines/cd/cd_engine.h"
#include "engines/mjpgtools/mplex.h"
#include "engines/mpgtx/mpgtx.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace engines;

namespace {

template <typename T, typename Record> T At(const Record& r, std::size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&r) + offset, sizeof value);
    return value;
}

template <typename Record> unsigned char Byte(const Record& r, std::size_t offset) {
    return reinterpret_cast<const unsigned char*>(&r)[offset];
}

TEST(CdRecords, MediumInfoPreset) {
    CdMediumInfo info = PresetCdMediumInfo();
    EXPECT_EQ(std::memcmp(&info, "BS_NDEF\0", 8), 0);
    EXPECT_EQ(At<std::int32_t>(info, 28), -1);
    for (std::size_t off : {32u, 40u, 48u})
        EXPECT_EQ(At<double>(info, off), -1.0) << off;
    for (std::size_t off : {56u, 60u, 64u})
        EXPECT_EQ(At<std::int32_t>(info, off), -1) << off;
    EXPECT_EQ(At<std::int16_t>(info, 68), -1);
}

TEST(CdRecords, BurnOptionsPreset) {
    CdBurnOptions o = PresetCdBurnOptions();
    EXPECT_EQ(std::memcmp(&o, "BS_NDEF\0", 8), 0);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&o) + 134, "BS_NDEF\0", 8), 0);
    for (std::size_t off : {128u, 400u, 408u})
        EXPECT_EQ(At<std::int32_t>(o, off), -1) << off;
    for (std::size_t off : {132u, 133u, 394u, 395u, 396u, 397u, 404u, 405u})
        EXPECT_EQ(Byte(o, off), 0xFF) << off;
    for (std::size_t off : {398u, 399u, 406u, 407u})
        EXPECT_EQ(Byte(o, off), 0) << off;
}

TEST(CdRecords, FileRecordsForScanAndBurn) {
    struct Case {
        CdFileRecord record;
        const char* path;
        std::uint8_t flag;
        std::int32_t value;
    };
    const Case cases[] = {{MakeCdScanRecord("/v/a.mpg"), "/v/a.mpg", 1, 0},
                          {MakeCdBurnRecord("/j/VideoCD.cue"), "/j/VideoCD.cue", 0, 2}};
    for (const Case& c : cases) {
        EXPECT_STREQ(c.record.sourcePath, c.path);
        EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&c.record) + 260, "\\\0", 2), 0);
        EXPECT_EQ(Byte(c.record, 520), c.flag);
        EXPECT_EQ(At<std::int32_t>(c.record, 524), c.value);
    }
    // A path longer than the field is cut, still terminated.
    CdFileRecord r = MakeCdScanRecord(std::string(400, 'p'));
    EXPECT_EQ(std::strlen(r.sourcePath), 259u);
}

TEST(MplexRecord, FillWritesTheValuesAndLeavesTheUnsetBytes) {
    MplexParam p;
    std::memset(&p, 0xAB, sizeof p);
    const char* inputs[] = {"/w/000.m2v", "/w/000.mpa", nullptr};
    FillMplexParam(p, inputs, "/w/000_%d.mpg");
    const std::size_t g = kPointerGrowth;
    EXPECT_EQ(At<std::int16_t>(p, 0), 1);
    EXPECT_EQ(At<std::int16_t>(p, 2), 8);
    EXPECT_EQ(At<std::int32_t>(p, 4), 0);
    EXPECT_EQ(At<std::int32_t>(p, 8), 2000);
    EXPECT_EQ(At<std::int32_t>(p, 12), 0);
    EXPECT_EQ(At<std::int32_t>(p, 20), 256);
    EXPECT_EQ(Byte(p, 28), 1);
    EXPECT_EQ(At<std::int32_t>(p, 32), 0);
    EXPECT_EQ(Byte(p, 36), 0);
    EXPECT_EQ(At<const char* const*>(p, 40), inputs);
    EXPECT_STREQ(reinterpret_cast<const char*>(&p) + 44 + g, "/w/000_%d.mpg");
    EXPECT_EQ(Byte(p, 304 + g), 1);
    EXPECT_EQ(At<std::int32_t>(p, 308 + g), 9999);
    for (std::size_t off : {16u, 17u, 18u, 19u, 24u, 25u, 26u, 27u, 29u, 30u, 31u, 37u, 38u, 39u})
        EXPECT_EQ(Byte(p, off), 0xAB) << off;
    for (std::size_t off = 305; off < 308; ++off)
        EXPECT_EQ(Byte(p, off + g), 0xAB) << off;
}

TEST(MpgtxRecords, AbortAndPercentFields) {
    alignas(8) _mpgtx_demuxer_param_ p;
    std::memset(&p, 0, sizeof p);
    EXPECT_FALSE(DemuxAbortRequested(p));
    RequestDemuxAbort(p);
    EXPECT_TRUE(DemuxAbortRequested(p));
    EXPECT_EQ(At<std::int32_t>(p, 8 + kHandleGrowth), 1);
    SetDemuxPercent(p, 42.5f);
    EXPECT_EQ(DemuxPercent(p), 42.5f);
    EXPECT_EQ(At<float>(p, 2060 + kHandleGrowth), 42.5f);
}

} // namespace
