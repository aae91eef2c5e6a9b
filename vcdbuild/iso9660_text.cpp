#include "iso9660_text.h"

#include <cstdio>
#include <cstring>

bool IsDChar(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsLevel2Char(unsigned char c) {
    return IsDChar(c) || (c >= 'a' && c <= 'z');
}

bool IsAChar(unsigned char c) {
    return c == ' ' || c == '!' || c == '"' || (c >= 0x25 && c <= 0x3F) || (c >= 'A' && c <= 'Z') ||
           c == '_';
}

bool Is7BitChar(unsigned char c) {
    return c < 0x80;
}

void CopyPadded(CVcdLog& log, std::uint8_t* dst, const char* text, std::size_t width,
                IsoCharCheck check) {
    if (!text) text = "";
    const std::size_t len = std::strlen(text);
    for (std::size_t i = 0; i < len; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int pos = static_cast<int>(i);
        if (check == IsoCharCheck::SevenBit && !Is7BitChar(c)) {
            log.Warn("string '%s' fails 7bit constraint (pos = %d)", text, pos);
            break;
        }
        if (check == IsoCharCheck::ACharacters && !IsAChar(c)) {
            log.Warn("string '%s' fails a-character constraint (pos = %d)", text, pos);
            break;
        }
        if (check == IsoCharCheck::DCharacters && !IsLevel2Char(c)) {
            log.Warn("string '%s' fails d-character constraint (pos = %d)", text, pos);
            break;
        }
    }
    if (len > width)
        log.Warn("string '%s' is getting truncated to %d characters", text,
                 static_cast<int>(width));
    const std::size_t n = len < width ? len : width;
    std::memcpy(dst, text, n);
    std::memset(dst + n, ' ', width - n);
}

void Set16LE(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Set16BE(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

void Set32LE(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Set32BE(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
}

void SetBoth16(std::uint8_t* p, std::uint16_t v) {
    Set16LE(p, v);
    Set16BE(p + 2, v);
}

void SetBoth32(std::uint8_t* p, std::uint32_t v) {
    Set32LE(p, v);
    Set32BE(p + 4, v);
}

std::uint16_t Get16LE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint16_t Get16BE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t Get32LE(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint32_t Get32BE(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

std::uint32_t GetBoth32(CVcdLog& log, const std::uint8_t* p) {
    const std::uint32_t le = Get32LE(p);
    if (le != Get32BE(p + 4)) log.Warn("from_733: broken byte order");
    return le;
}

void SetVolumeDate(std::uint8_t* dst, std::time_t when) {
    std::tm t{};
    if (!gmtime_r(&when, &t)) {
        SetVolumeDateUnset(dst);
        return;
    }
    char digits[64];
    std::snprintf(digits, sizeof digits, "%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d%2.2d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, 0, 0, 0, 0);
    if (std::strlen(digits) != 16) {
        // A year beyond 9999 does not fit the field.
        SetVolumeDateUnset(dst);
        return;
    }
    std::memcpy(dst, digits, 16);
    dst[16] = 0;
}

void SetVolumeDateUnset(std::uint8_t* dst) {
    std::memset(dst, '0', 16);
    dst[16] = 0;
}

void SetRecordDate(std::uint8_t* dst, std::int64_t time) {
    std::time_t when = static_cast<std::time_t>(time ? time : kIsoDefaultTime);
    std::tm t{};
    if (!gmtime_r(&when, &t)) {
        when = static_cast<std::time_t>(kIsoDefaultTime);
        gmtime_r(&when, &t);
    }
    dst[0] = static_cast<std::uint8_t>(t.tm_year);
    dst[1] = static_cast<std::uint8_t>(t.tm_mon + 1);
    dst[2] = static_cast<std::uint8_t>(t.tm_mday);
    dst[3] = static_cast<std::uint8_t>(t.tm_hour);
    dst[4] = static_cast<std::uint8_t>(t.tm_min);
    dst[5] = static_cast<std::uint8_t>(t.tm_sec);
    dst[6] = 0;
}
