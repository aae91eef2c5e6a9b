// The directory hierarchy of the ISO 9660 track, built with MakeDir and MakeFile, then placed
// from a root extent and dumped into directory sectors and the two path tables.
#pragma once

#include "vcd_containers.h"
#include "vcd_log.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CVcdDirNode : public CVcdTreeNode<CVcdDirNode> {
  public:
    std::string name; // empty for the root
    bool isDirectory = false;
    std::uint32_t extent = 0;
    std::uint32_t size = 0; // bytes; for a directory a multiple of 2048, computed
    std::uint16_t version = 0;
    std::uint16_t xaAttributes = 0;
    std::uint8_t fileNumber = 0;
    std::int64_t time = 0; // seconds since 1970; 0 is the fixed default date
    std::uint16_t directoryNumber = 0;

    // The record name: the name for a directory, "name;version" for a file.
    std::string RecordName() const;
};

// Children are ordered bytewise as unsigned values, a prefix before its extensions.
int CompareIsoNames(const std::string& a, const std::string& b);

class CVcdDirectory {
  public:
    explicit CVcdDirectory(CVcdLog& log);
    CVcdDirectory(const CVcdDirectory&) = delete;
    CVcdDirectory& operator=(const CVcdDirectory&) = delete;

    // 0, or -1 with the error logged; the tree is unchanged on failure.
    int MakeDir(const std::string& path);
    // 0, or -1 with the error logged; missing folders on the way are created (and stay).
    int MakeFile(const std::string& path, std::uint32_t extent, std::uint32_t size, bool form2,
                 std::uint8_t fileNumber, std::int64_t time);

    // Sectors of all directories together.
    std::uint32_t GetSize();
    // Places the root at `extent` and every directory after it, each subtree contiguous.
    void SetRootExtent(std::uint32_t extent);
    // Writes all directories into `buffer` (`bufferSize` >= GetSize() * 2048 bytes), which
    // starts at sector `rootExtent`. 0, or -1 with the error logged.
    int DumpDirectory(std::uint8_t* buffer, std::size_t bufferSize, std::uint32_t rootExtent);
    // Fills both 2048-byte path table sectors (extents as last placed) and numbers the
    // directories. 0, or -1 when a table would need more than one sector.
    int DumpPathTables(std::uint8_t* lTable, std::uint8_t* mTable);

    const CVcdDirNode& Root() const { return root_; }
    // The node at a "/"-separated path ("" is the root), or null.
    const CVcdDirNode* Lookup(const std::string& path) const;

  private:
    void ComputeSizes();

    CVcdLog& log_;
    CVcdDirNode root_;
};
