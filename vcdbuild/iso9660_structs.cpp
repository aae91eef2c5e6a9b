#include "iso9660_structs.h"

#include "iso9660_text.h"
#include "string_helpers.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kPvdDateCreation = 813;
constexpr std::size_t kPvdDateModification = 830;
constexpr std::size_t kPvdDateExpiration = 847;
constexpr std::size_t kPvdDateEffective = 864;

void SetDescriptorHead(std::uint8_t* buffer, std::uint8_t type) {
    std::memset(buffer, 0, kIsoSectorSize);
    buffer[0] = type;
    std::memcpy(buffer + 1, "CD001", 5);
    buffer[6] = 1;
}

// Bytes in use and the number of entries; stops at the first cleared length byte or at an
// entry that would reach past the sector.
std::uint32_t WalkPathTable(const std::uint8_t* table, int* entries) {
    std::size_t off = 0;
    int n = 0;
    while (off < kIsoSectorSize && table[off] != 0) {
        const std::size_t len = table[off];
        const std::size_t entry = 8 + len + (len & 1);
        if (off + entry > kIsoSectorSize) break;
        off += entry;
        ++n;
    }
    if (entries) *entries = n;
    return static_cast<std::uint32_t>(off);
}

int PathTableAdd(CVcdLog& log, std::uint8_t* table, const char* name, std::uint32_t extent,
                 std::uint16_t parent, bool bigEndian) {
    if (!name) name = "";
    const std::size_t nameLen = std::strlen(name);
    const std::size_t len = nameLen ? nameLen : 1;
    int entries = 0;
    const std::size_t off = WalkPathTable(table, &entries);
    const std::size_t entry = 8 + len + (len & 1);
    if (len > 255 || off + entry > kIsoSectorSize) {
        log.Error("path table entry for '%s' does not fit into one sector", name);
        return -1;
    }
    std::uint8_t* p = table + off;
    std::memset(p, 0, entry);
    p[0] = static_cast<std::uint8_t>(len);
    p[1] = 0;
    if (bigEndian) {
        Set32BE(p + 2, extent);
        Set16BE(p + 6, parent);
    } else {
        Set32LE(p + 2, extent);
        Set16LE(p + 6, parent);
    }
    std::memcpy(p + 8, name, nameLen);
    return entries + 1;
}

unsigned Bcd(std::uint32_t v) {
    return ((v / 10) << 4) | (v % 10);
}

} // namespace

void SetXaSystemUse(std::uint8_t* dst, std::uint16_t attributes, std::uint8_t fileNumber) {
    std::memset(dst, 0, kXaSystemUseSize);
    Set16BE(dst + 4, attributes);
    dst[6] = 'X';
    dst[7] = 'A';
    dst[8] = fileNumber;
}

void SetPvd(CVcdLog& log, std::uint8_t* buffer, const char* volumeId, const char* publisherId,
            const char* applicationId, std::uint32_t volumeSpaceSize,
            const std::uint8_t* rootRecord, std::uint32_t lPathTableExtent,
            std::uint32_t mPathTableExtent, std::uint32_t pathTableSize, std::time_t now) {
    SetDescriptorHead(buffer, 1);
    CopyPadded(log, buffer + 8, kIsoSystemId, 32, IsoCharCheck::ACharacters);
    CopyPadded(log, buffer + 40, volumeId, 32, IsoCharCheck::DCharacters);
    SetBoth32(buffer + 80, volumeSpaceSize);
    SetBoth16(buffer + 120, 1);
    SetBoth16(buffer + 124, 1);
    SetBoth16(buffer + 128, static_cast<std::uint16_t>(kIsoSectorSize));
    SetBoth32(buffer + 132, pathTableSize);
    Set32LE(buffer + 140, lPathTableExtent);
    Set32BE(buffer + 148, mPathTableExtent);
    if (rootRecord) std::memcpy(buffer + 156, rootRecord, kIsoRootRecordSize);
    buffer[156] = static_cast<std::uint8_t>(kIsoRootRecordSize);
    CopyPadded(log, buffer + 190, "", 128, IsoCharCheck::DCharacters);
    CopyPadded(log, buffer + 318, publisherId, 128, IsoCharCheck::ACharacters);
    const std::string preparer = StrUpper(kVcdBuilderIdent);
    CopyPadded(log, buffer + 446, preparer.c_str(), 128, IsoCharCheck::ACharacters);
    CopyPadded(log, buffer + 574, applicationId, 128, IsoCharCheck::ACharacters);
    CopyPadded(log, buffer + 702, "", 37, IsoCharCheck::DCharacters);
    CopyPadded(log, buffer + 739, "", 37, IsoCharCheck::DCharacters);
    CopyPadded(log, buffer + 776, "", 37, IsoCharCheck::DCharacters);
    SetVolumeDate(buffer + kPvdDateCreation, now);
    SetVolumeDate(buffer + kPvdDateModification, now);
    SetVolumeDateUnset(buffer + kPvdDateExpiration);
    SetVolumeDateUnset(buffer + kPvdDateEffective);
    buffer[881] = 1;
    std::memcpy(buffer + 1024, "CD-XA001", 8);
}

void SetPvd(CVcdLog& log, std::uint8_t* buffer, const char* volumeId, const char* publisherId,
            const char* applicationId, std::uint32_t volumeSpaceSize,
            const std::uint8_t* rootRecord, std::uint32_t lPathTableExtent,
            std::uint32_t mPathTableExtent, std::uint32_t pathTableSize) {
    SetPvd(log, buffer, volumeId, publisherId, applicationId, volumeSpaceSize, rootRecord,
           lPathTableExtent, mPathTableExtent, pathTableSize, std::time(nullptr));
}

void SetTerminator(std::uint8_t* buffer) {
    SetDescriptorHead(buffer, 255);
}

std::size_t RecordSize(std::size_t nameLength, std::size_t systemUseLength) {
    std::size_t len = 33 + nameLength;
    len += len & 1;
    len += systemUseLength;
    len += len & 1;
    return len;
}

int DirAddEntry(CVcdLog& log, std::uint8_t* dir, std::size_t dirBufferSize, const char* name,
                std::uint32_t extent, std::uint32_t size, std::uint8_t flags,
                const std::uint8_t* systemUse, std::size_t systemUseLength, std::int64_t time) {
    if (!name) name = "";
    if (dirBufferSize < 18) {
        log.Error("directory buffer of %zu bytes is too small", dirBufferSize);
        return -1;
    }
    std::size_t dsize = GetBoth32(log, dir + 10);
    if (dsize == 0 && dir[0] == 0) dsize = kIsoSectorSize;
    if (dsize > dirBufferSize) dsize = dirBufferSize;

    const std::size_t nameLen = std::strlen(name);
    const std::size_t storedLen = nameLen ? nameLen : 1;
    const std::size_t length = RecordSize(storedLen, systemUseLength);
    if (length > kIsoMaxRecordSize) {
        log.Error("directory record for '%s' is too long (%zu bytes)", name, length);
        return -1;
    }

    std::size_t offset = 0;
    {
        std::size_t pos = 0;
        while (pos < dsize) {
            if (dir[pos] == 0) {
                ++pos;
                continue;
            }
            pos += dir[pos];
            offset = pos;
        }
    }
    if (offset % kIsoSectorSize + length > kIsoSectorSize)
        offset = (offset / kIsoSectorSize + 1) * kIsoSectorSize;
    if (offset + length > dsize) {
        log.Error("directory record for '%s' does not fit into the directory of %zu bytes", name,
                  dsize);
        return -1;
    }

    std::uint8_t* r = dir + offset;
    std::memset(r, 0, length);
    r[0] = static_cast<std::uint8_t>(length);
    r[1] = 0;
    SetBoth32(r + 2, extent);
    SetBoth32(r + 10, size);
    SetRecordDate(r + 18, time);
    r[25] = flags;
    r[26] = 0;
    r[27] = 0;
    SetBoth16(r + 28, 1);
    r[32] = static_cast<std::uint8_t>(storedLen);
    std::memcpy(r + 33, name, nameLen);
    const std::size_t su = 33 + storedLen + ((33 + storedLen) & 1);
    if (systemUse && systemUseLength) std::memcpy(r + su, systemUse, systemUseLength);
    return 0;
}

int DirInitNew(CVcdLog& log, std::uint8_t* dir, std::size_t dirBufferSize, std::uint32_t extent,
               std::uint32_t size, const std::uint8_t* systemUse, std::size_t systemUseLength,
               std::uint32_t parentExtent, std::uint32_t parentSize) {
    if (size == 0 || size % kIsoSectorSize != 0 || size > dirBufferSize) {
        log.Error("directory of %u bytes does not fit its buffer of %zu bytes", size,
                  dirBufferSize);
        return -1;
    }
    std::memset(dir, 0, size);
    if (DirAddEntry(log, dir, size, "", extent, size, kIsoFlagDirectory, systemUse, systemUseLength,
                    0) != 0)
        return -1;
    return DirAddEntry(log, dir, size, "\x01", parentExtent, parentSize, kIsoFlagDirectory,
                       systemUse, systemUseLength, 0);
}

void PathTableInit(std::uint8_t* table) {
    std::memset(table, 0, kIsoSectorSize);
}

std::uint32_t PathTableSize(const std::uint8_t* table) {
    return WalkPathTable(table, nullptr);
}

int PathTableAddL(CVcdLog& log, std::uint8_t* table, const char* name, std::uint32_t extent,
                  std::uint16_t parent) {
    return PathTableAdd(log, table, name, extent, parent, false);
}

int PathTableAddM(CVcdLog& log, std::uint8_t* table, const char* name, std::uint32_t extent,
                  std::uint16_t parent) {
    return PathTableAdd(log, table, name, extent, parent, true);
}

std::string FormatMsf(std::uint32_t sector) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2x:%.2x.%.2x", Bcd(sector / 4500), Bcd((sector / 75) % 60),
                  Bcd(sector % 75));
    return text;
}
