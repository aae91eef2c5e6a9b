// Independent checks of raw Mode 2 sectors: the EDC by a bit-by-bit CRC and the Form 1 ECC by
// the syndromes of every P and Q code word, with plain GF(2^8) arithmetic and no tables.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Sector = std::array<std::uint8_t, 2352>;

std::uint32_t ReferenceEdc(const std::uint8_t* p, std::size_t n);
std::uint8_t GfMul(std::uint8_t a, std::uint8_t b);
// Number of P and Q code words of a Form 1 sector whose syndromes do not vanish.
int CountBadCodeWords(const Sector& s, bool headerAsZero);

struct ImageCheck {
    std::uint64_t sectors = 0;
    std::uint64_t form1 = 0;
    std::uint64_t form2 = 0;
    std::uint64_t badSync = 0;
    std::uint64_t badHeader = 0; // address not the sector's own, or mode not 2
    std::uint64_t badEdc = 0;
    std::uint64_t badEcc = 0;
    std::uint64_t badSubheader = 0; // the two copies differ
    std::string firstProblem;
    bool ok() const {
        return sectors > 0 && badSync + badHeader + badEdc + badEcc + badSubheader == 0;
    }
};

// Walks a BIN file of 2352-byte sectors, the first being LSN `firstLsn`.
ImageCheck CheckRawImage(const std::string& path, std::uint32_t firstLsn = 0);
