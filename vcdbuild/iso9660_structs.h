// The sectors of the ISO 9660 track: primary volume descriptor, terminator, directory records
// with the CD-XA system use field, and the type L and type M path tables.
#pragma once

#include "vcd_log.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

inline constexpr std::size_t kIsoSectorSize = 2048;
inline constexpr std::size_t kIsoRootRecordSize = 34;
inline constexpr std::size_t kXaSystemUseSize = 14;
// Longest record the one-byte length field can hold.
inline constexpr std::size_t kIsoMaxRecordSize = 255;

inline constexpr std::uint8_t kIsoFlagFile = 0;
inline constexpr std::uint8_t kIsoFlagDirectory = 2;

// CD-XA attributes: directory, Mode 2 Form 1, read and execute for owner, group and world.
inline constexpr std::uint16_t kXaAttrDirectory = 0x8D55;
inline constexpr std::uint16_t kXaAttrForm1File = 0x0D55;
inline constexpr std::uint16_t kXaAttrForm2File = 0x1555;

inline constexpr char kIsoSystemId[] = "CD-RTOS CD-BRIDGE";

// Writes the 14-byte CD-XA system use field.
void SetXaSystemUse(std::uint8_t* dst, std::uint16_t attributes, std::uint8_t fileNumber);

// Fills one 2048-byte sector. `rootRecord` is at least 34 bytes: the root directory's "."
// record, copied with its length byte forced to 34. The dates are the day of `now`.
void SetPvd(CVcdLog& log, std::uint8_t* buffer, const char* volumeId, const char* publisherId,
            const char* applicationId, std::uint32_t volumeSpaceSize,
            const std::uint8_t* rootRecord, std::uint32_t lPathTableExtent,
            std::uint32_t mPathTableExtent, std::uint32_t pathTableSize, std::time_t now);
// The same with the current time.
void SetPvd(CVcdLog& log, std::uint8_t* buffer, const char* volumeId, const char* publisherId,
            const char* applicationId, std::uint32_t volumeSpaceSize,
            const std::uint8_t* rootRecord, std::uint32_t lPathTableExtent,
            std::uint32_t mPathTableExtent, std::uint32_t pathTableSize);

// Fills one 2048-byte sector with the volume descriptor set terminator.
void SetTerminator(std::uint8_t* buffer);

// Length of a directory record: 33 + name rounded up to even, plus the system use, rounded up.
std::size_t RecordSize(std::size_t nameLength, std::size_t systemUseLength);

// Appends one record to the directory in `dir` (`dirBufferSize` bytes available). The empty
// name makes the "." record (name byte 0x00), "\x01" the ".." record. Records never cross a
// sector boundary. Returns 0, or -1 (logged) when the record does not fit the directory or the
// buffer, or is too long for a record.
int DirAddEntry(CVcdLog& log, std::uint8_t* dir, std::size_t dirBufferSize, const char* name,
                std::uint32_t extent, std::uint32_t size, std::uint8_t flags,
                const std::uint8_t* systemUse, std::size_t systemUseLength, std::int64_t time);

// Clears `size` bytes of `dir` and adds "." and ".." with time 0. -1 (logged) when `size`
// exceeds `dirBufferSize` or is not a whole number of sectors.
int DirInitNew(CVcdLog& log, std::uint8_t* dir, std::size_t dirBufferSize, std::uint32_t extent,
               std::uint32_t size, const std::uint8_t* systemUse, std::size_t systemUseLength,
               std::uint32_t parentExtent, std::uint32_t parentSize);

// Path tables: one 2048-byte sector each, entries numbered from 1.
void PathTableInit(std::uint8_t* table);
std::uint32_t PathTableSize(const std::uint8_t* table);
// Return the number of the new entry, or -1 (logged) when it would not fit the sector.
int PathTableAddL(CVcdLog& log, std::uint8_t* table, const char* name, std::uint32_t extent,
                  std::uint16_t parent);
int PathTableAddM(CVcdLog& log, std::uint8_t* table, const char* name, std::uint32_t extent,
                  std::uint16_t parent);

// "mm:ss.ff" of a sector number, each part in BCD.
std::string FormatMsf(std::uint32_t sector);
