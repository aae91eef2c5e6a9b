// CD-ROM XA Mode 2 sectors: sync, BCD header, subheader, and the EDC/ECC of Form 1 and Form 2
// (ECMA-130). Works in place on one 2352-byte buffer and allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kRawSectorSize = 2352;
inline constexpr std::size_t kMode2SectorSize = 2336; // everything after sync and header
inline constexpr std::size_t kForm1DataSize = 2048;
inline constexpr std::size_t kForm2DataSize = 2324;
inline constexpr std::uint32_t kDiscAddressOffset = 150; // two seconds of lead-in pre-gap

// Submode bits of the XA subheader.
enum : std::uint8_t {
    SM_EOR = 0x01,
    SM_VIDEO = 0x02,
    SM_AUDIO = 0x04,
    SM_DATA = 0x08,
    SM_TRIGGER = 0x10,
    SM_FORM2 = 0x20,
    SM_REALTIME = 0x40,
    SM_EOF = 0x80,
};

enum class SectorKind { Mode2Formless, Mode2Form1, Mode2Form2 };

// Builds a complete raw sector: `payload` holds 2324 bytes when `submode` has the Form 2 bit,
// else 2048. `lsn` is the sector's number in the image, the first sector being 0.
void MakeMode2Sector(std::uint8_t* raw, const std::uint8_t* payload, std::uint32_t lsn,
                     std::uint8_t fileNumber, std::uint8_t channel, std::uint8_t submode,
                     std::uint8_t codingInfo);

// For data already stored as 2336-byte Mode 2 sectors: only sync and header are written.
void MakeRawMode2Sector(std::uint8_t* raw, const std::uint8_t* payload2336, std::uint32_t lsn);

// Writes sync, EDC/ECC as the kind needs, then the header. `address` already includes the 150.
void EncodeSector(std::uint8_t* raw, SectorKind kind, std::uint32_t address);

// CD-ROM EDC over raw[first..last]; 0 when last < first.
std::uint32_t ComputeEdc(const std::uint8_t* raw, std::size_t first, std::size_t last);
// The EDC register carried over a byte range, for callers that feed data in pieces.
std::uint32_t EdcUpdate(std::uint32_t edc, const std::uint8_t* data, std::size_t length);

std::uint8_t ToBcd(unsigned value);
// Minutes, seconds and frames of a sector count, each in BCD; no 150 is added here.
void LbaToMsf(std::uint32_t value, std::uint8_t out[3]);
