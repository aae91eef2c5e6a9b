// Reads an image made of our PVD, terminator, directories and path tables back with isoinfo
// (genisoimage) and iso-info (libcdio), and checks they see the tree we built.
#include "iso9660_structs.h"
#include "iso9660_text.h"
#include "iso9660_tree.h"
#include "log_capture.h"
#include "string_helpers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

struct FileSpec {
    const char* path;
    std::uint32_t size;
    bool form2;
    std::uint8_t fileNumber;
    std::int64_t time;
};

const char* const kDirs[] = {"VCD", "CDI", "EXT", "EXT/NESTED"};
const FileSpec kFiles[] = {
    {"VCD/INFO.VCD", 2048, false, 0, 0},
    {"VCD/ENTRIES.VCD", 2048, false, 0, 0},
    {"MPEGAV/AVSEQ01.DAT", 5000, true, 1, 1000000000},
    {"MPEGAV/AVSEQ02.DAT", 4096, true, 2, 0},
    {"SEGMENT/ITEM0001.MPG", 3000, true, 1, 0},
    {"EXT/NESTED/DEEP/README.TXT", 77, false, 0, 0},
    {"EXT/PSD_X.VCD", 1, false, 0, 0},
    {"README.TXT", 10, false, 0, 0},
};

struct Entry {
    bool isDir = false;
    std::uint32_t extent = 0;
    std::uint32_t size = 0;
    std::string attrs; // iso-info only
    int fileNumber = -1;
    bool operator==(const Entry& o) const {
        return isDir == o.isDir && extent == o.extent && size == o.size;
    }
};
using Listing = std::map<std::string, Entry>; // full path -> entry, without "." and ".."

std::ostream& operator<<(std::ostream& os, const Listing& l) {
    for (const auto& [p, e] : l)
        os << "\n  " << p << (e.isDir ? " dir" : " file") << " @" << e.extent << " " << e.size;
    return os;
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RunTool(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string t; in >> t;)
        out.push_back(t);
    return out;
}

bool AllDigits(const std::string& s, int base = 10) {
    if (s.empty()) return false;
    for (char c : s)
        if (!(base == 16 ? std::isxdigit(static_cast<unsigned char>(c))
                         : std::isdigit(static_cast<unsigned char>(c))))
            return false;
    return true;
}

// The text between `open` and the next `close` after it, trimmed; empty when absent.
std::string Between(const std::string& line, const std::string& open, char close,
                    std::size_t* end = nullptr) {
    const auto a = line.find(open);
    if (a == std::string::npos) return "";
    const auto b = line.find(close, a + open.size());
    if (b == std::string::npos) return "";
    if (end) *end = b + 1;
    const auto t = Tokens(line.substr(a + open.size(), b - a - open.size()));
    std::string joined;
    for (const auto& x : t)
        joined += (joined.empty() ? "" : " ") + x;
    return joined;
}

std::uint8_t DataByte(std::uint32_t extent, std::size_t i) {
    return static_cast<std::uint8_t>(extent * 7 + i * 13 + 1);
}

class IsoReaders : public ::testing::Test {
  protected:
    static constexpr std::uint32_t kRootExtent = 18;
    static constexpr std::uint32_t kFileArea = 40;

    void SetUp() override {
        for (const char* d : kDirs)
            ASSERT_EQ(tree.MakeDir(d), 0) << d;
        // Files first, from a fixed start: their folders are created on the way, so the size
        // of the directory area is only known afterwards.
        std::uint32_t next = kFileArea;
        for (const auto& f : kFiles) {
            ASSERT_EQ(tree.MakeFile(f.path, next, f.size, f.form2, f.fileNumber, f.time), 0)
                << cap.Dump();
            extents[f.path] = next;
            next += (f.size + 2047) / 2048;
        }
        dirSectors = tree.GetSize();
        lTable = kRootExtent + dirSectors;
        mTable = lTable + 1;
        ASSERT_LE(mTable, kFileArea - 1);
        totalSectors = next;
        image.assign(std::size_t{totalSectors} * kIsoSectorSize, 0);
        ASSERT_EQ(tree.DumpDirectory(&image[kRootExtent * kIsoSectorSize],
                                     std::size_t{dirSectors} * kIsoSectorSize, kRootExtent),
                  0);
        ASSERT_EQ(tree.DumpPathTables(Sector(lTable), Sector(mTable)), 0);
        SetPvd(cap, Sector(16), "my_disc", "PELLAM", "VIDEOCD", totalSectors, Sector(kRootExtent),
               lTable, mTable, PathTableSize(Sector(lTable)));
        SetTerminator(Sector(17));
        for (const auto& f : kFiles) {
            const std::uint32_t e = extents[f.path];
            for (std::size_t i = 0; i < f.size; ++i)
                image[e * kIsoSectorSize + i] = DataByte(e, i);
        }
        path = ::testing::TempDir() + "pellam_iso_" + std::to_string(getpid()) + ".iso";
        FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), out), image.size());
        std::fclose(out);
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0) << cap.Dump();
        EXPECT_EQ(cap.Count(VCD_LOG_ERROR, ""), 0) << cap.Dump();
    }
    void TearDown() override {
        if (!path.empty()) std::remove(path.c_str());
    }

    std::uint8_t* Sector(std::uint32_t s) { return &image[std::size_t{s} * kIsoSectorSize]; }

    // What the tree holds, keyed like isoinfo prints it ("/VCD/INFO.VCD;1").
    Listing Expected() const {
        Listing l;
        std::vector<std::pair<std::string, const CVcdDirNode*>> stack{{"", &tree.Root()}};
        while (!stack.empty()) {
            auto [prefix, node] = stack.back();
            stack.pop_back();
            if (!node->Children()) continue;
            for (const auto& c : *node->Children()) {
                const std::string p = prefix + "/" + c->RecordName();
                l[p] = Entry{c->isDirectory, c->extent, c->size, "", c->fileNumber};
                if (c->isDirectory) stack.emplace_back(p, c.get());
            }
        }
        return l;
    }

    CapturedLog cap;
    CVcdDirectory tree{cap};
    std::uint32_t dirSectors = 0, lTable = 0, mTable = 0, totalSectors = 0;
    std::map<std::string, std::uint32_t> extents;
    std::vector<std::uint8_t> image;
    std::string path;
};

TEST_F(IsoReaders, TreeHoldsWhatWasAsked) {
    const Listing l = Expected();
    for (const auto& f : kFiles) {
        const auto it = l.find("/" + std::string(f.path) + ";1");
        ASSERT_NE(it, l.end()) << f.path;
        EXPECT_EQ(it->second.extent, extents.at(f.path));
        EXPECT_EQ(it->second.size, f.size);
    }
    for (const char* d :
         {"/VCD", "/CDI", "/EXT", "/EXT/NESTED", "/EXT/NESTED/DEEP", "/MPEGAV", "/SEGMENT"})
        EXPECT_TRUE(l.count(d) && l.at(d).isDir) << d;
    EXPECT_EQ(l.size(), 15u) << l;
}

TEST_F(IsoReaders, IsoinfoVolumeDescriptor) {
    if (!HaveTool("isoinfo")) GTEST_SKIP() << "isoinfo not installed";
    const std::string out = RunTool("isoinfo -d -i '" + path + "'");
    std::map<std::string, std::string> fields;
    for (const auto& line : Lines(out)) {
        const auto colon = line.find(": ");
        if (colon != std::string::npos) fields[line.substr(0, colon)] = line.substr(colon + 2);
    }
    EXPECT_EQ(fields["Volume id"], "my_disc") << out;
    EXPECT_EQ(fields["System id"], "CD-RTOS CD-BRIDGE");
    EXPECT_EQ(fields["Data preparer id"], "QUVODISCBUILDER 6.0.7.10(WIN32)");
    EXPECT_EQ(fields["Publisher id"], "PELLAM");
    EXPECT_EQ(fields["Application id"], "VIDEOCD");
    EXPECT_EQ(fields["Logical block size is"], "2048");
    EXPECT_EQ(fields["Volume size is"], std::to_string(totalSectors));
}

TEST_F(IsoReaders, IsoInfoVolumeDescriptor) {
    if (!HaveTool("iso-info")) GTEST_SKIP() << "iso-info not installed";
    const std::string out = RunTool("iso-info -d -i '" + path + "'");
    std::map<std::string, std::string> fields;
    for (const auto& line : Lines(out)) {
        const auto colon = line.find(" : ");
        if (colon == std::string::npos) continue;
        const auto key = Tokens(line.substr(0, colon));
        if (key.size() == 1) fields[key[0]] = line.substr(colon + 3);
    }
    EXPECT_EQ(fields["Volume"], "my_disc") << out;
    EXPECT_EQ(fields["Preparer"], "QUVODISCBUILDER 6.0.7.10(WIN32)");
    EXPECT_EQ(fields["System"], "CD-RTOS CD-BRIDGE");
}

TEST_F(IsoReaders, IsoinfoListsTheTree) {
    if (!HaveTool("isoinfo")) GTEST_SKIP() << "isoinfo not installed";
    const std::string out = RunTool("isoinfo -l -i '" + path + "'");
    const std::string header = "Directory listing of ";
    Listing got;
    std::string dir;
    std::set<std::string> listedDirs;
    int dots = 0;
    for (const auto& line : Lines(out)) {
        if (line.rfind(header, 0) == 0) {
            dir = line.substr(header.size());
            listedDirs.insert(dir);
            continue;
        }
        // "d---------   0    0    0            2048 Jul 14 1978 [     18 02]  . "
        std::size_t close = 0;
        const auto inside = Tokens(Between(line, "[", ']', &close));
        const auto head = Tokens(line.substr(0, line.find('[')));
        const auto tail = Tokens(line.substr(close));
        if (inside.size() != 2 || head.size() != 8 || tail.size() != 1 || !AllDigits(head[4]) ||
            !AllDigits(inside[0]))
            continue;
        const std::string name = tail[0];
        Entry e;
        e.isDir = head[0][0] == 'd';
        e.extent = static_cast<std::uint32_t>(std::stoul(inside[0]));
        e.size = static_cast<std::uint32_t>(std::stoul(head[4]));
        EXPECT_EQ(std::stoi(inside[1], nullptr, 16), e.isDir ? 2 : 0) << line;
        if (name == "." || name == "..") {
            ++dots;
            const std::string self = dir == "/" ? "" : dir.substr(0, dir.size() - 1);
            const auto slash = self.rfind('/');
            const std::string target =
                name == "." ? self : (slash == std::string::npos ? "" : self.substr(0, slash));
            const std::uint32_t want =
                target.empty() ? kRootExtent : tree.Lookup(target.substr(1))->extent;
            EXPECT_EQ(e.extent, want) << line << " in " << dir;
            continue;
        }
        got[dir + name] = e;
    }
    EXPECT_EQ(got, Expected()) << out;
    EXPECT_EQ(listedDirs.size(), 8u) << out;
    EXPECT_EQ(dots, 16);
}

TEST_F(IsoReaders, IsoInfoListsTheTreeWithXaAttributes) {
    if (!HaveTool("iso-info")) GTEST_SKIP() << "iso-info not installed";
    const std::string out = RunTool("iso-info -l -i '" + path + "'");
    Listing got;
    std::string dir;
    for (const auto& line : Lines(out)) {
        if (!line.empty() && line[0] == '/' && line.back() == ':') {
            dir = line.substr(0, line.size() - 1);
            continue;
        }
        // "  ---2-xrxrxr 0 0 [fn 01] [LSN     42]      6972 (     5000) Sep 09 2001 01:46:40  x"
        const std::string fn = Between(line, "[fn", ']');
        std::size_t afterLsn = 0;
        const std::string lsn = Between(line, "[LSN", ']', &afterLsn);
        const auto head = Tokens(line.substr(0, line.find('[')));
        if (head.size() != 3 || head[0].size() != 11 || !AllDigits(fn) || !AllDigits(lsn)) continue;
        std::string rest = line.substr(afterLsn);
        // Form 2 files are shown as whole 2324-byte sectors with the recorded size after.
        const std::string recorded = Between(rest, "(", ')');
        const auto tail = Tokens(rest);
        if (tail.size() < 6 || !AllDigits(tail[0])) continue;
        const std::string name = tail.back();
        if (name == "." || name == "..") continue;
        Entry e;
        e.attrs = head[0];
        e.isDir = e.attrs[0] == 'd';
        e.fileNumber = std::stoi(fn);
        e.extent = static_cast<std::uint32_t>(std::stoul(lsn));
        e.size = static_cast<std::uint32_t>(std::stoul(AllDigits(recorded) ? recorded : tail[0]));
        got[dir + name] = e;
    }
    // iso-info shows names in lower case without the version.
    Listing want;
    for (auto [p, e] : Expected()) {
        const auto semi = p.rfind(';');
        want[Lower(semi == std::string::npos ? p : p.substr(0, semi))] = e;
    }
    EXPECT_EQ(got, want) << out;
    for (const auto& [p, e] : want) {
        const auto it = got.find(p);
        if (it == got.end()) continue;
        const char* attrs = e.isDir ? "d---1xrxrxr" : "----1xrxrxr";
        const CVcdDirNode* node = nullptr;
        for (const auto& f : kFiles)
            if (Lower("/" + std::string(f.path)) == p) {
                if (f.form2) attrs = "---2-xrxrxr";
                node = tree.Lookup(f.path);
            }
        EXPECT_EQ(it->second.attrs, attrs) << p;
        EXPECT_EQ(it->second.fileNumber, node ? node->fileNumber : 0) << p;
    }
}

TEST_F(IsoReaders, IsoinfoPathTable) {
    if (!HaveTool("isoinfo")) GTEST_SKIP() << "isoinfo not installed";
    const std::string out = RunTool("isoinfo -p -i '" + path + "'");
    std::vector<std::tuple<int, int, std::uint32_t, std::string>> got;
    bool sawStart = false;
    for (const auto& line : Lines(out)) {
        unsigned block = 0, bytes = 0;
        if (std::sscanf(line.c_str(), "Path table starts at block %u, size %u", &block, &bytes) ==
            2) {
            sawStart = true;
            EXPECT_EQ(block, lTable);
            EXPECT_EQ(bytes, PathTableSize(Sector(lTable)));
            continue;
        }
        // "   7:    3 15 NESTED": number, parent, extent in hex, name (empty for the root).
        const auto t = Tokens(line);
        if (t.size() < 3 || t.size() > 4 || t[0].back() != ':' ||
            !AllDigits(t[0].substr(0, t[0].size() - 1)) || !AllDigits(t[1]) || !AllDigits(t[2], 16))
            continue;
        got.emplace_back(std::stoi(t[0]), std::stoi(t[1]),
                         static_cast<std::uint32_t>(std::stoul(t[2], nullptr, 16)),
                         t.size() == 4 ? t[3] : "");
    }
    ASSERT_TRUE(sawStart) << out;
    // Breadth first, children in name order; each parent numbered before its children.
    const char* const order[] = {"",        "CDI", "EXT",        "MPEGAV",
                                 "SEGMENT", "VCD", "EXT/NESTED", "EXT/NESTED/DEEP"};
    ASSERT_EQ(got.size(), std::size(order)) << out;
    std::map<std::string, int> number;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const std::string p = order[i];
        number[p] = static_cast<int>(i + 1);
        const auto slash = p.rfind('/');
        const std::string parent =
            p.empty() || slash == std::string::npos ? "" : p.substr(0, slash);
        const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
        EXPECT_EQ(std::get<0>(got[i]), static_cast<int>(i + 1));
        EXPECT_EQ(std::get<1>(got[i]), number[parent]) << p;
        EXPECT_EQ(std::get<2>(got[i]), tree.Lookup(p)->extent) << p;
        EXPECT_EQ(std::get<3>(got[i]), name);
    }
    // The M table holds the same entries big-endian.
    const std::uint8_t* l = Sector(lTable);
    const std::uint8_t* m = Sector(mTable);
    ASSERT_EQ(PathTableSize(m), PathTableSize(l));
    for (std::size_t off = 0; off < PathTableSize(l); off += 8 + l[off] + (l[off] & 1)) {
        EXPECT_EQ(Get32BE(m + off + 2), Get32LE(l + off + 2)) << off;
        EXPECT_EQ(Get16BE(m + off + 6), Get16LE(l + off + 6)) << off;
        EXPECT_EQ(0, std::memcmp(m + off + 8, l + off + 8, l[off]));
    }
}

TEST_F(IsoReaders, IsoinfoExtractsFileData) {
    if (!HaveTool("isoinfo")) GTEST_SKIP() << "isoinfo not installed";
    for (const auto& f : kFiles) {
        const std::string data =
            RunTool("isoinfo -i '" + path + "' -x '/" + std::string(f.path) + ";1'");
        const std::uint32_t e = extents.at(f.path);
        ASSERT_EQ(data.size(), f.size) << f.path;
        for (std::size_t i = 0; i < f.size; ++i)
            ASSERT_EQ(static_cast<std::uint8_t>(data[i]), DataByte(e, i)) << f.path << " @" << i;
    }
}

TEST_F(IsoReaders, XaFieldOfEveryRecord) {
    std::size_t checked = 0;
    std::vector<const CVcdDirNode*> dirs{&tree.Root()};
    for (std::size_t d = 0; d < dirs.size(); ++d) {
        const CVcdDirNode& dir = *dirs[d];
        const std::uint8_t* area = Sector(dir.extent);
        std::vector<const CVcdDirNode*> kids;
        if (dir.Children())
            for (const auto& c : *dir.Children()) {
                kids.push_back(c.get());
                if (c->isDirectory) dirs.push_back(c.get());
            }
        std::size_t index = 0;
        for (std::size_t off = 0; off < dir.size;) {
            if (area[off] == 0) {
                ++off;
                continue;
            }
            const std::uint8_t* r = area + off;
            const CVcdDirNode* who = index < 2 ? &dir : kids.at(index - 2);
            const std::size_t nameLen = r[32];
            const std::uint8_t* su = r + 33 + nameLen + ((33 + nameLen) & 1);
            EXPECT_EQ(r[0], RecordSize(nameLen, 14));
            const std::uint8_t want[14] = {0,
                                           0,
                                           0,
                                           0,
                                           static_cast<std::uint8_t>(who->xaAttributes >> 8),
                                           static_cast<std::uint8_t>(who->xaAttributes),
                                           'X',
                                           'A',
                                           who->fileNumber,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0};
            for (int i = 0; i < 14; ++i)
                EXPECT_EQ(su[i], want[i])
                    << "record " << index << " of '" << dir.name << "' byte " << i;
            off += r[0];
            ++index;
            ++checked;
        }
        EXPECT_EQ(index, kids.size() + 2) << dir.name;
    }
    EXPECT_EQ(checked, 15u + 2 * 8);
    EXPECT_EQ(tree.Lookup("MPEGAV/AVSEQ02.DAT")->xaAttributes, kXaAttrForm2File);
    EXPECT_EQ(tree.Lookup("MPEGAV/AVSEQ02.DAT")->fileNumber, 2);
}

} // namespace
