#include "burner/app/mpeg_list.h"

#include "burner/app/burner_startup.h"
#include "burner/app/invalid_file_view.h"
#include "burner/app/size_range_scale.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::int64_t kMb = 1048576;

std::vector<std::string> Paths(const CMpegList& list) {
    return list.GetListPaths();
}

// Rows a.mpg, b.mpg, ... of 1, 2, 3 ... MB, added as the add flow does: current row 0.
CMpegList ListOf(int rows) {
    CMpegList list;
    list.m_nSelected = 0;
    for (int i = 0; i < rows; ++i)
        list.AddRowVcd(std::string(1, static_cast<char>('a' + i)) + ".mpg", 352, 288, 1150000, 25.0,
                       (i + 1) * kMb);
    return list;
}

TEST(MpegListColumns, HeadersAndWidthsPerMode) {
    for (int mode : {DISC_VCD, DISC_SVCD, DISC_DVD}) {
        std::vector<MpegListColumn> c = MpegListColumns(mode);
        ASSERT_EQ(c.size(), 5u);
        EXPECT_STREQ(c[0].header, " MPEG Files");
        EXPECT_STREQ(c[1].header, " Size(MB)");
        EXPECT_STREQ(c[2].header, " Solution");
        EXPECT_STREQ(c[3].header, " Framerate");
        EXPECT_STREQ(c[4].header, mode == DISC_DVD ? " Duration" : " Bitrate");
        EXPECT_EQ(std::vector<int>({c[0].width, c[1].width, c[2].width, c[3].width, c[4].width}),
                  std::vector<int>({320, 60, 90, 100, 80}));
    }
}

TEST(MpegList, RowTextsOfBothKinds) {
    CMpegList list;
    list.AddRowVcd("/v/a.mpg", 352, 240, 1150000, 29.97002997, 1234567);
    // 5 GiB keeps its full 64-bit size; 90 seconds read as a duration.
    list.AddRowDvd("/v/b.mpg", 5LL * 1024 * kMb, 720, 576, 25.0, 90.0);
    list.AddRowVcd("/v/c.mpg", 480, 576, 1023, 25.0, 0); // bit rate truncates to 0 Kbit/s
    ASSERT_EQ(list.Rows().size(), 3u);
    const auto& a = list.Rows()[0].text;
    EXPECT_EQ(std::vector<std::string>(a, a + 5),
              std::vector<std::string>({"/v/a.mpg", "1.2", "352X240", "29.97fps", "1123Kbits/s"}));
    const auto& b = list.Rows()[1].text;
    EXPECT_EQ(
        std::vector<std::string>(b, b + 5),
        std::vector<std::string>({"/v/b.mpg", "5120.0", "720X576", "25.00fps", "00:01:30.0"}));
    EXPECT_EQ(list.Rows()[2].text[4], "0Kbits/s");
    EXPECT_EQ(list.FileCount(), 3);
    EXPECT_EQ(list.TotalsText(), " 3 file(s), Size: 5121.2MB");
    EXPECT_EQ(list.TotalMegabytes(), 5121);
}

TEST(MpegList, NewRowsLeaveTheCurrentRowWhereItIs) {
    CMpegList list = ListOf(3);
    EXPECT_EQ(list.m_nSelected, 0);
    EXPECT_EQ(list.ListSelection(), 0);
    // Without a current row the added row is not selected either.
    CMpegList none;
    none.AddRowVcd("x.mpg", 1, 1, 1, 1, 1);
    EXPECT_EQ(none.m_nSelected, -1);
    EXPECT_EQ(none.ListSelection(), -1);
}

TEST(MpegList, RemoveMakesTheRowBeforeCurrentAndTakesItsAddedSize) {
    struct Case {
        int rows;
        int selected;
        int currentAfter;
        std::vector<std::string> left;
        std::string totals;
    };
    const Case cases[] = {
        {3, 2, 1, {"a.mpg", "b.mpg"}, " 2 file(s), Size: 3.0MB"},
        {3, 1, 0, {"a.mpg", "c.mpg"}, " 2 file(s), Size: 4.0MB"},
        {3, 0, 0, {"b.mpg", "c.mpg"}, " 2 file(s), Size: 5.0MB"},
        {1, 0, -1, {}, kEmptyTotals},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, removing " << c.selected);
        CMpegList list = ListOf(c.rows);
        list.SetListSelection(c.selected);
        list.OnClick();
        ASSERT_TRUE(list.RemoveSelected());
        EXPECT_EQ(Paths(list), c.left);
        EXPECT_EQ(list.m_nSelected, c.currentAfter);
        EXPECT_EQ(list.ListSelection(), c.currentAfter);
        EXPECT_EQ(list.TotalsText(), c.totals);
    }
}

TEST(MpegList, RemoveNeedsACurrentAndASelectedRow) {
    CMpegList list = ListOf(2);
    list.SetListSelection(-1);
    EXPECT_FALSE(list.RemoveSelected());
    list.SetListSelection(1);
    list.m_nSelected = -1;
    EXPECT_FALSE(list.RemoveSelected());
    EXPECT_EQ(list.FileCount(), 2);
    // A current row left over on an emptied list (all checks refused) removes nothing.
    CMpegList empty;
    empty.m_nSelected = 0;
    EXPECT_FALSE(empty.RemoveSelected());
    EXPECT_EQ(empty.TotalsText(), kEmptyTotals);
}

TEST(MpegList, MovesCarryTheRowsAndTheirSizes) {
    CMpegList list = ListOf(3);
    list.SetListSelection(2);
    list.OnClick();
    EXPECT_FALSE(list.MoveDown()); // the last row
    ASSERT_TRUE(list.MoveUp());
    EXPECT_EQ(Paths(list), std::vector<std::string>({"a.mpg", "c.mpg", "b.mpg"}));
    EXPECT_EQ(list.m_nSelected, 1);
    EXPECT_EQ(list.ListSelection(), 1);
    ASSERT_TRUE(list.MoveUp());
    EXPECT_FALSE(list.MoveUp()); // now the first row
    EXPECT_EQ(Paths(list), std::vector<std::string>({"c.mpg", "a.mpg", "b.mpg"}));
    ASSERT_TRUE(list.MoveDown());
    EXPECT_EQ(Paths(list), std::vector<std::string>({"a.mpg", "c.mpg", "b.mpg"}));
    EXPECT_EQ(list.TotalsText(), " 3 file(s), Size: 6.0MB");
    // c.mpg (3 MB) is at row 1 now: removing it takes its own 3 MB off.
    ASSERT_TRUE(list.RemoveSelected());
    EXPECT_EQ(Paths(list), std::vector<std::string>({"a.mpg", "b.mpg"}));
    EXPECT_EQ(list.TotalsText(), " 2 file(s), Size: 3.0MB");
}

TEST(MpegList, ClickOnEmptySpaceKeepsTheCurrentRowSelected) {
    CMpegList list = ListOf(3);
    list.SetListSelection(2);
    list.OnClick();
    EXPECT_EQ(list.m_nSelected, 2);
    list.SetListSelection(-1);
    list.OnClick();
    EXPECT_EQ(list.m_nSelected, 2);
    EXPECT_EQ(list.ListSelection(), 2);
}

TEST(MpegList, MenuGreying) {
    struct Case {
        int rows;
        int selection;
        bool play, remove, removeAll, up, down;
    };
    const Case cases[] = {
        {0, -1, false, false, false, false, false}, {3, -1, false, false, true, false, false},
        {3, 0, true, true, true, false, true},      {3, 1, true, true, true, true, true},
        {3, 2, true, true, true, true, false},      {1, 0, true, true, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, selection " << c.selection);
        CMpegList list = ListOf(c.rows);
        list.SetListSelection(c.selection);
        MpegListMenuState s = list.MenuState();
        EXPECT_EQ(s.play, c.play);
        EXPECT_EQ(s.remove, c.remove);
        EXPECT_EQ(s.removeAll, c.removeAll);
        EXPECT_EQ(s.moveUp, c.up);
        EXPECT_EQ(s.moveDown, c.down);
    }
}

TEST(InvalidFileView, TextsPerModeTakeThePathLiterally) {
    InvalidFileView v = MakeInvalidFileView(DISC_SVCD, "/m/100%s.mpg", "");
    EXPECT_EQ(v.caption, "Invalid MPEG file");
    EXPECT_EQ(v.text1062, "The file: /m/100%s.mpg\n is not a SVCD compatible mpeg file,Can't burn "
                          "it directly to video disc.");
    EXPECT_EQ(v.text1063, "You need to convert it to SVCD format use the our Orvanta Video "
                          "Converter or other video conerting tools.");
    EXPECT_NE(MakeInvalidFileView(DISC_VCD, "f", "").text1062.find("not a VCD compatible"),
              std::string::npos);
    InvalidFileView d = MakeInvalidFileView(DISC_DVD, "f", "Not MPEG-2.");
    EXPECT_NE(d.text1063.find("convert it to DVD format"), std::string::npos);
    EXPECT_EQ(d.reason, "Not MPEG-2.");
}

std::vector<std::string> LabelTexts(const SizeRangeScale::Painting& p) {
    std::vector<std::string> texts;
    for (const auto& l : p.labels)
        texts.push_back(l.text);
    return texts;
}

TEST(SizeRangeScale, ScalesPerMode) {
    SizeRangeScale cd;
    SetUpScaleForDiscMode(cd, DISC_SVCD);
    SizeRangeScale::Painting p = cd.Paint(750, 40);
    EXPECT_EQ(LabelTexts(p), std::vector<std::string>({"0MB", "100MB", "200MB", "300MB", "400MB",
                                                       "500MB", "600MB", "700MB"}));
    EXPECT_EQ(p.ticks.size(), 75u + 8u);
    ASSERT_EQ(p.markers.size(), 2u);
    EXPECT_EQ(p.markers[0].x1, 650);
    EXPECT_TRUE(p.markers[0].dotted);
    EXPECT_EQ(p.markers[1].colour, (Rgb{218, 17, 5}));

    SizeRangeScale dvd;
    SetUpScaleForDiscMode(dvd, DISC_DVD);
    std::vector<std::string> labels = LabelTexts(dvd.Paint(480, 40));
    ASSERT_EQ(labels.size(), 10u);
    EXPECT_EQ(labels.back(), "4500MB");
    EXPECT_EQ(dvd.Max(), 4800);
}

TEST(SizeRangeScale, BandsReachedByTheValue) {
    SizeRangeScale s;
    SetUpScaleForDiscMode(s, DISC_VCD);
    s.SetValue(680);
    SizeRangeScale::Painting p = s.Paint(750, 100);
    // Blue from 0 and amber from 650, each after its shadow, both up to 680.
    ASSERT_EQ(p.bars.size(), 4u);
    EXPECT_EQ(p.bars[1].colour, (Rgb{35, 126, 216}));
    EXPECT_EQ(p.bars[1].x, 0);
    EXPECT_EQ(p.bars[1].width, 680);
    EXPECT_EQ(p.bars[0].colour, (Rgb{50, 50, 50}));
    EXPECT_EQ(p.bars[0].x, 1);
    EXPECT_EQ(p.bars[0].y, 11);
    EXPECT_EQ(p.bars[3].x, 650);
    EXPECT_EQ(p.bars[3].width, 30);
    EXPECT_EQ(p.bars[3].height, 30);
    // Beyond the scale the bar stops at its end.
    s.SetValue(9000);
    p = s.Paint(750, 100);
    ASSERT_EQ(p.bars.size(), 6u);
    EXPECT_EQ(p.bars[5].x + p.bars[5].width, 750);
    // A scale without an end draws only its background.
    EXPECT_TRUE(SizeRangeScale().Paint(100, 10).ticks.empty());
}

} // namespace
