// Feeds arbitrary text to the path rules and to the directory tree, then lays out and dumps the
// tree so that any name that got in is also written.
#include "iso9660_structs.h"
#include "iso9660_tree.h"
#include "iso_path_rules.h"
#include "vcd_log.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

CVcdLog& QuietLog() {
    static std::FILE* null = std::fopen("/dev/null", "w");
    static CVcdLog log(nullptr, 0, 1, false);
    static bool init = (log.SetConsoleStreams(null, null), true);
    (void)init;
    return log;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CVcdLog& log = QuietLog();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* path = text.c_str(); // stops at the first NUL, as a C caller would
    CheckDirPath(log, path);
    CheckFilePath(log, path);
    IsSystemPath(path);

    CVcdDirectory tree(log);
    tree.MakeDir(path);
    tree.MakeFile(path, 100, static_cast<std::uint32_t>(size), size & 1, 1, 0);
    // A second round under a folder that now may exist, and a file inside the new folder.
    tree.MakeDir(std::string(path) + "/D");
    tree.MakeFile(std::string(path) + "/F.DAT", 200, 2048, false, 0, 0);

    const std::uint32_t sectors = tree.GetSize();
    if (sectors > 4096) return 0;
    std::vector<std::uint8_t> dir(std::size_t{sectors} * kIsoSectorSize);
    tree.DumpDirectory(dir.data(), dir.size(), 18);
    std::vector<std::uint8_t> l(kIsoSectorSize), m(kIsoSectorSize);
    tree.DumpPathTables(l.data(), m.data());
    return 0;
}
