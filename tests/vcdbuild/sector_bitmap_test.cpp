#include "log_capture.h"
#include "sector_bitmap.h"

#include <gtest/gtest.h>

namespace {

class Bitmap : public ::testing::Test {
  protected:
    CapturedLog cap;
    CVcdSectorBitmap bm{cap};
};

TEST_F(Bitmap, FixedHintTakenTwiceFails) {
    EXPECT_EQ(bm.Allocate(75, 75), 75);
    EXPECT_EQ(bm.Allocate(75, 75), -1);
    EXPECT_EQ(bm.Allocate(149, 1), -1) << "overlaps the end of the run";
    EXPECT_EQ(bm.Allocate(74, 2), -1) << "overlaps the start of the run";
    EXPECT_EQ(bm.Allocate(150, 1), 150);
    EXPECT_FALSE(bm.IsUsed(74));
    EXPECT_TRUE(bm.IsUsed(75));
    EXPECT_TRUE(bm.IsUsed(149));
    EXPECT_TRUE(cap.lines().empty()) << cap.Dump();
}

TEST_F(Bitmap, FirstFitWithoutHint) {
    ASSERT_EQ(bm.Allocate(0, 5), 0);
    ASSERT_EQ(bm.Allocate(6, 1), 6);
    EXPECT_EQ(bm.Allocate(-1, 3), 7);
    EXPECT_EQ(bm.Allocate(-1, 1), 5) << "a single sector fits the hole";
    EXPECT_EQ(bm.Allocate(-1, 1), 10);
}

TEST_F(Bitmap, ZeroCountBecomesOne) {
    EXPECT_EQ(bm.Allocate(3, 0), 3);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN,
                        "request of 0 sectors allocment fixed up to 1 sector (this is harmless)"),
              1);
    EXPECT_TRUE(bm.IsUsed(3));
    EXPECT_FALSE(bm.IsUsed(4));
}

TEST_F(Bitmap, BitOrderGrowthAndHighestUsed) {
    EXPECT_EQ(bm.HighestUsed(), -1);
    EXPECT_FALSE(bm.IsUsed(1000000)) << "beyond the bitmap";
    ASSERT_EQ(bm.Allocate(9, 1), 9);
    EXPECT_EQ(bm.BytesInUse(), 2u);
    EXPECT_EQ(bm.BytesAllocated(), 16u);
    EXPECT_EQ(bm.HighestUsed(), 9);
    ASSERT_EQ(bm.Allocate(127, 1), 127);
    EXPECT_EQ(bm.BytesAllocated(), 16u);
    ASSERT_EQ(bm.Allocate(128, 1), 128);
    EXPECT_EQ(bm.BytesAllocated(), 32u);
    EXPECT_EQ(bm.BytesInUse(), 17u);
    EXPECT_EQ(bm.HighestUsed(), 128);
    ASSERT_EQ(bm.Allocate(134, 1), 134);
    EXPECT_EQ(bm.HighestUsed(), 134);
    // Freeing keeps the bytes in use; a clear last byte counts as bit 0.
    bm.Free(128, 7);
    EXPECT_FALSE(bm.IsUsed(128));
    EXPECT_FALSE(bm.IsUsed(134));
    EXPECT_TRUE(bm.IsUsed(127));
    EXPECT_EQ(bm.HighestUsed(), 128);
    EXPECT_EQ(bm.Allocate(128, 7), 128) << "freed sectors can be taken again";
}

TEST_F(Bitmap, FreeBeyondTheBitmapIsHarmless) {
    ASSERT_EQ(bm.Allocate(0, 2), 0);
    bm.Free(1, 100000);
    EXPECT_TRUE(bm.IsUsed(0));
    EXPECT_FALSE(bm.IsUsed(1));
    bm.Free(0xFFFFFFF0u, 0x20);
    EXPECT_TRUE(bm.IsUsed(0));
}

TEST_F(Bitmap, RefusesRunsBeyondTheLimit) {
    EXPECT_EQ(bm.Allocate(INT32_MAX, 2), -1);
    EXPECT_EQ(bm.Allocate(-2, 1), -1);
    EXPECT_EQ(bm.Allocate(0, CVcdSectorBitmap::kMaxSectors + 1), -1);
    EXPECT_EQ(cap.Count(VCD_LOG_ERROR, ""), 3) << cap.Dump();
    EXPECT_EQ(bm.BytesAllocated(), 0u);
}

} // namespace
