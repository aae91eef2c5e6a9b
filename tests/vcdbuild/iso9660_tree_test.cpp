#include "iso9660_structs.h"
#include "iso9660_text.h"
#include "iso9660_tree.h"
#include "log_capture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Field(const std::uint8_t* p, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

// The records of one directory area as (offset, name) pairs.
std::vector<std::pair<std::size_t, std::string>> Records(const std::uint8_t* area,
                                                         std::size_t size) {
    std::vector<std::pair<std::size_t, std::string>> out;
    for (std::size_t off = 0; off < size;) {
        if (area[off] == 0) {
            ++off;
            continue;
        }
        out.emplace_back(off, Field(area + off + 33, area[off + 32]));
        off += area[off];
    }
    return out;
}

class Tree : public ::testing::Test {
  protected:
    CapturedLog cap;
    CVcdDirectory dir{cap};

    std::vector<std::uint8_t> Dump(std::uint32_t rootExtent = 18) {
        std::vector<std::uint8_t> buf(std::size_t{dir.GetSize()} * kIsoSectorSize + 32, 0xEE);
        EXPECT_EQ(dir.DumpDirectory(buf.data(), buf.size() - 32, rootExtent), 0) << cap.Dump();
        for (std::size_t i = buf.size() - 32; i < buf.size(); ++i)
            EXPECT_EQ(buf[i], 0xEE);
        buf.resize(buf.size() - 32);
        return buf;
    }
};

TEST_F(Tree, RootAsConstructed) {
    const CVcdDirNode& root = dir.Root();
    EXPECT_TRUE(root.isRoot);
    EXPECT_TRUE(root.isDirectory);
    EXPECT_EQ(root.name, "");
    EXPECT_EQ(root.xaAttributes, kXaAttrDirectory);
    EXPECT_EQ(dir.GetSize(), 1u);
}

TEST_F(Tree, OneChildDirectory) {
    ASSERT_EQ(dir.MakeDir("A"), 0);
    const auto buf = Dump();
    ASSERT_EQ(buf.size(), 2u * 2048);
    const auto recs = Records(buf.data(), 2048);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0], (std::pair<std::size_t, std::string>{0, std::string(1, '\0')}));
    EXPECT_EQ(recs[1], (std::pair<std::size_t, std::string>{48, std::string(1, '\1')}));
    EXPECT_EQ(recs[2], (std::pair<std::size_t, std::string>{96, "A"}));
    EXPECT_EQ(buf[96], 48);
    EXPECT_EQ(buf[96 + 25], 2);
    EXPECT_EQ(Get32LE(&buf[96 + 2]), 19u);
    EXPECT_EQ(Get32LE(&buf[96 + 10]), 2048u);
    // A's own area: "." points at itself, ".." at the root.
    EXPECT_EQ(Get32LE(&buf[2048 + 2]), 19u);
    EXPECT_EQ(Get32LE(&buf[2048 + 48 + 2]), 18u);
    EXPECT_EQ(Get32LE(&buf[2048 + 48 + 10]), 2048u);
    // The root's ".." is the root.
    EXPECT_EQ(Get32LE(&buf[48 + 2]), 18u);
    // Directory XA fields.
    const std::uint8_t xa[] = {0, 0, 0, 0, 0x8D, 0x55, 'X', 'A', 0, 0, 0, 0, 0, 0};
    for (std::size_t rec : {0u, 48u, 96u, 2048u, 2096u})
        EXPECT_EQ(0, std::memcmp(&buf[rec + 34], xa, 14)) << rec;
}

TEST_F(Tree, FileRecordUsesTheVersionedName) {
    ASSERT_EQ(dir.MakeDir("VCD"), 0);
    ASSERT_EQ(dir.MakeFile("VCD/INFO.VCD", 150, 2048, false, 0, 0), 0);
    ASSERT_EQ(dir.MakeFile("VCD/X.DAT", 300, 4000, true, 2, 1000000000), 0);
    const auto buf = Dump();
    const auto recs = Records(buf.data() + 2048, 2048);
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_EQ(recs[2].second, "INFO.VCD;1");
    const std::uint8_t* r = buf.data() + 2048 + recs[2].first;
    EXPECT_EQ(r[0], 58);
    EXPECT_EQ(r[25], 0);
    EXPECT_EQ(Get32LE(r + 2), 150u);
    EXPECT_EQ(Get32BE(r + 6), 150u);
    EXPECT_EQ(Get32LE(r + 10), 2048u);
    EXPECT_EQ(r[18], 78) << "time 0 is the default date";
    const std::uint8_t xa1[] = {0, 0, 0, 0, 0x0D, 0x55, 'X', 'A', 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(r + 44, xa1, 14));

    EXPECT_EQ(recs[3].second, "X.DAT;1");
    r = buf.data() + 2048 + recs[3].first;
    EXPECT_EQ(r[0], RecordSize(7, 14));
    EXPECT_EQ(Get32LE(r + 10), 4000u);
    const std::uint8_t date[] = {101, 9, 9, 1, 46, 40, 0}; // 2001-09-09 01:46:40
    EXPECT_EQ(0, std::memcmp(r + 18, date, 7));
    const std::uint8_t xa2[] = {0, 0, 0, 0, 0x15, 0x55, 'X', 'A', 2, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(r + 33 + 7, xa2, 14)) << "name 7 is odd: 33+7 even, no pad";
}

TEST_F(Tree, FortyTwoFilesSpillIntoASecondSector) {
    for (int i = 0; i < 42; ++i) {
        ASSERT_EQ(
            dir.MakeFile(std::string("FILE") + std::to_string(10 + i) + ".D", 100, 1, false, 0, 0),
            0);
    }
    const CVcdDirNode* first = dir.Lookup("FILE10.D");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->RecordName().size(), 10u);
    EXPECT_EQ(dir.GetSize(), 2u);
    const auto buf = Dump();
    const auto recs = Records(buf.data(), 4096);
    ASSERT_EQ(recs.size(), 44u);
    EXPECT_EQ(recs[2 + 32].first, 96u + 32 * 58);
    EXPECT_EQ(recs[2 + 33].first, 2048u) << "34th record starts the second sector";
    EXPECT_EQ(recs[2 + 33].second, "FILE43.D;1");
    EXPECT_EQ(recs.back().first, 2048u + 8 * 58);
    EXPECT_EQ(Get32LE(&buf[10]), 4096u);
}

TEST_F(Tree, ChildrenSortedBytewisePrefixFirst) {
    for (const char* n : {"b", "B", "A.DAT", "A", "_X", "\xC3X", "AB", "a"})
        ASSERT_EQ(dir.MakeDir(n), 0) << n;
    std::vector<std::string> order;
    for (const auto& c : *dir.Root().Children())
        order.push_back(c->name);
    EXPECT_EQ(order, (std::vector<std::string>{"A", "A.DAT", "AB", "B", "_X", "a", "b", "\xC3X"}));
}

TEST_F(Tree, MakeDirAndMakeFileMessages) {
    struct Step {
        bool file;
        const char* path;
        int result;
        int level;           // 0: nothing logged
        const char* message; // exact line
    } steps[] = {
        {false, "VCD", 0, 0, nullptr},
        {false, "VCD", 0, 0, nullptr},
        {true, "VCD/INFO.VCD", 0, 0, nullptr},
        {true, "VCD/INFO.VCD", -1, VCD_LOG_ERROR, "mkfile: 'VCD/INFO.VCD' already exists"},
        {true, "VCD", -1, VCD_LOG_ERROR, "mkfile: 'VCD' already exists"},
        {false, "VCD/INFO.VCD", -1, VCD_LOG_ERROR, "mkdir: 'VCD/INFO.VCD' already exists"},
        {false, "X/Y/Z", -1, VCD_LOG_ERROR, "mkdir: parent dir 'X' (level=0) for 'X/Y/Z' missing!"},
        {false, "VCD/Y/Z", -1, VCD_LOG_ERROR,
         "mkdir: parent dir 'Y' (level=1) for 'VCD/Y/Z' missing!"},
        {true, "VCD/INFO.VCD/F", -1, VCD_LOG_ERROR, "mkfile: 'VCD/INFO.VCD' not a directory"},
        {false, "VCD/INFO.VCD/D", -1, VCD_LOG_ERROR,
         "mkdir: parent dir 'INFO.VCD' (level=1) for 'VCD/INFO.VCD/D' missing!"},
        {false, "", -1, VCD_LOG_ERROR, "mkdir: invalid path ''"},
        {false, "VCD//A", -1, VCD_LOG_ERROR, "mkdir: invalid path 'VCD//A'"},
        {true, "VCD/", -1, VCD_LOG_ERROR, "mkfile: invalid path 'VCD/'"},
    };
    for (const auto& s : steps) {
        cap.Clear();
        const int r = s.file ? dir.MakeFile(s.path, 1, 1, false, 0, 0) : dir.MakeDir(s.path);
        EXPECT_EQ(r, s.result) << s.path;
        if (s.level) {
            ASSERT_EQ(cap.lines().size(), 1u) << s.path << "\n" << cap.Dump();
            EXPECT_EQ(cap.lines()[0].level, s.level);
            EXPECT_EQ(cap.lines()[0].text, std::string(s.message) + "\n");
        } else {
            EXPECT_TRUE(cap.lines().empty()) << cap.Dump();
        }
    }
    EXPECT_EQ(dir.Root().ChildCount(), 1u) << "failures left the tree unchanged";
    EXPECT_EQ(dir.Lookup("VCD")->ChildCount(), 1u);
}

TEST_F(Tree, MakeFileCreatesMissingFolders) {
    ASSERT_EQ(dir.MakeFile("A/B/X.DAT", 40, 100, true, 1, 0), 0);
    EXPECT_EQ(cap.Count(VCD_LOG_INFO, "autocreating directory 'A' for file 'A/B/X.DAT'"), 1);
    EXPECT_EQ(cap.Count(VCD_LOG_INFO, "autocreating directory 'A/B' for file 'A/B/X.DAT'"), 1);
    EXPECT_EQ(cap.lines().size(), 2u) << cap.Dump();
    const CVcdDirNode* b = dir.Lookup("A/B");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->isDirectory);
    EXPECT_EQ(b->xaAttributes, kXaAttrDirectory);
    const CVcdDirNode* x = dir.Lookup("A/B/X.DAT");
    ASSERT_NE(x, nullptr);
    EXPECT_FALSE(x->isDirectory);
    EXPECT_EQ(x->parent, b);
    EXPECT_EQ(x->version, 1);
    EXPECT_EQ(x->extent, 40u);
    EXPECT_EQ(x->size, 100u);
    EXPECT_EQ(x->fileNumber, 1);
    EXPECT_EQ(x->xaAttributes, kXaAttrForm2File);
}

TEST_F(Tree, ExtentsArePreOrderSubtreesAndPathTablesBreadthFirst) {
    // Root, then A with its subtree (A, A/C with 2 sectors, A/D), then B.
    ASSERT_EQ(dir.MakeDir("B"), 0);
    ASSERT_EQ(dir.MakeDir("A"), 0);
    ASSERT_EQ(dir.MakeDir("A/D"), 0);
    ASSERT_EQ(dir.MakeDir("A/C"), 0);
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(dir.MakeFile("A/C/FILE" + std::to_string(10 + i) + ".D", 1, 1, false, 0, 0), 0);
    EXPECT_EQ(dir.GetSize(), 6u);
    dir.SetRootExtent(18);
    struct {
        const char* path;
        std::uint32_t extent, size;
    } want[] = {
        {"", 18, 2048}, {"A", 19, 2048}, {"A/C", 20, 4096}, {"A/D", 22, 2048}, {"B", 23, 2048}};
    for (const auto& w : want) {
        const CVcdDirNode* n = dir.Lookup(w.path);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->extent, w.extent) << w.path;
        EXPECT_EQ(n->size, w.size) << w.path;
    }
    std::vector<std::uint8_t> l(2048), m(2048);
    ASSERT_EQ(dir.DumpPathTables(l.data(), m.data()), 0);
    // Breadth first: root 1, A 2, B 3, A/C 4, A/D 5.
    struct {
        const char* name;
        std::uint32_t extent;
        std::uint16_t parent;
    } entries[] = {{"", 18, 1}, {"A", 19, 1}, {"B", 23, 1}, {"C", 20, 2}, {"D", 22, 2}};
    std::size_t off = 0;
    for (const auto& e : entries) {
        const std::size_t len = *e.name ? std::strlen(e.name) : 1;
        EXPECT_EQ(l[off], len);
        EXPECT_EQ(Get32LE(&l[off + 2]), e.extent) << e.name;
        EXPECT_EQ(Get16LE(&l[off + 6]), e.parent) << e.name;
        EXPECT_EQ(Get32BE(&m[off + 2]), e.extent) << e.name;
        EXPECT_EQ(Get16BE(&m[off + 6]), e.parent) << e.name;
        EXPECT_EQ(Field(&l[off + 8], len), *e.name ? e.name : std::string(1, '\0'));
        off += 8 + len + (len & 1);
    }
    EXPECT_EQ(PathTableSize(l.data()), off);
    EXPECT_EQ(dir.Lookup("A/D")->directoryNumber, 5);
}

TEST_F(Tree, DumpRefusesASmallBufferAndUnencodableNames) {
    ASSERT_EQ(dir.MakeDir("A"), 0);
    std::vector<std::uint8_t> buf(2048 * 2);
    EXPECT_EQ(dir.DumpDirectory(buf.data(), 2048 * 2 - 1, 18), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "smaller than the 4096 bytes needed")) << cap.Dump();
    ASSERT_EQ(dir.MakeDir(std::string(220, 'L')), 0);
    buf.resize(std::size_t{dir.GetSize()} * 2048);
    EXPECT_EQ(dir.DumpDirectory(buf.data(), buf.size(), 18), -1);
}

TEST_F(Tree, PathTableOverflowIsRefused) {
    // 31-character names: 40 bytes per entry; 52 of them with the root exceed 2048 bytes.
    for (int i = 0; i < 52; ++i)
        ASSERT_EQ(dir.MakeDir(std::string(29, 'D') + std::to_string(10 + i)), 0);
    std::vector<std::uint8_t> buf(std::size_t{dir.GetSize()} * 2048);
    ASSERT_EQ(dir.DumpDirectory(buf.data(), buf.size(), 18), 0);
    std::vector<std::uint8_t> l(2048), m(2048);
    EXPECT_EQ(dir.DumpPathTables(l.data(), m.data()), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "does not fit into one sector"));
}

} // namespace
