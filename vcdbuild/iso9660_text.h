// Text and number fields of ISO 9660 structures: the character classes, space-padded text
// fields, numbers in both byte orders and the two date formats.
#pragma once

#include "vcd_log.h"

#include <cstddef>
#include <cstdint>
#include <ctime>

// d-characters (level 1): 0-9, A-Z and '_'.
bool IsDChar(unsigned char c);
// Level 2 characters: the d-characters and a-z.
bool IsLevel2Char(unsigned char c);
// a-characters: space ! " 0x25-0x3F A-Z and '_'.
bool IsAChar(unsigned char c);
bool Is7BitChar(unsigned char c);

// The check CopyPadded applies to a text; the d-character check accepts level 2 characters,
// so lower-case volume names pass.
enum class IsoCharCheck { SevenBit, ACharacters, DCharacters };

// Copies at most `width` bytes of `text` (null counts as empty) into `dst` and fills the rest of
// the `width`-byte field with spaces; never NUL-terminated. A character outside the class and a
// text longer than the field are warnings only.
void CopyPadded(CVcdLog& log, std::uint8_t* dst, const char* text, std::size_t width,
                IsoCharCheck check);

void Set16LE(std::uint8_t* p, std::uint16_t v);
void Set16BE(std::uint8_t* p, std::uint16_t v);
void Set32LE(std::uint8_t* p, std::uint32_t v);
void Set32BE(std::uint8_t* p, std::uint32_t v);
// 4 bytes: LE then BE.
void SetBoth16(std::uint8_t* p, std::uint16_t v);
// 8 bytes: LE then BE.
void SetBoth32(std::uint8_t* p, std::uint32_t v);

std::uint16_t Get16LE(const std::uint8_t* p);
std::uint16_t Get16BE(const std::uint8_t* p);
std::uint32_t Get32LE(const std::uint8_t* p);
std::uint32_t Get32BE(const std::uint8_t* p);
// Reads an 8-byte both-order value; halves that disagree are warned about and the LE one wins.
std::uint32_t GetBoth32(CVcdLog& log, const std::uint8_t* p);

inline constexpr std::size_t kIsoVolumeDateSize = 17;
inline constexpr std::size_t kIsoRecordDateSize = 7;
// 1978-07-14 00:00:00 UTC, the record date of nodes without a time of their own.
inline constexpr std::int64_t kIsoDefaultTime = 269222400;

// The UTC date of `when` with the time of day zeroed, as YYYYMMDD00000000 and GMT offset 0.
void SetVolumeDate(std::uint8_t* dst, std::time_t when);
// Sixteen '0' digits and offset 0.
void SetVolumeDateUnset(std::uint8_t* dst);
// Years since 1900, month, day, hour, minute, second (UTC) and offset 0; 0 means the default.
void SetRecordDate(std::uint8_t* dst, std::int64_t time);
