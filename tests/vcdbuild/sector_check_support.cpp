#include "sector_check.h"

#include <cstdio>
#include <cstring>

namespace {

std::uint8_t ToBcdRef(unsigned v) {
    return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10));
}

} // namespace

// Reference EDC, one bit at a time straight from the generator polynomial
// (x^16 + x^15 + x^2 + 1)(x^16 + x^2 + x + 1) = x^32 + x^31 + x^16 + x^15 + x^4 + x^3 + x + 1,
// bits taken least significant first.
std::uint32_t ReferenceEdc(const std::uint8_t* p, std::size_t n) {
    std::uint32_t poly = 0;
    for (int e : {31, 16, 15, 4, 3, 1, 0})
        poly |= 1u << (31 - e); // reflected, x^32 implicit
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        for (int b = 0; b < 8; ++b) {
            unsigned bit = ((p[i] >> b) ^ crc) & 1u;
            crc >>= 1;
            if (bit) crc ^= poly;
        }
    }
    return crc;
}

// Plain GF(2^8) product with x^8 + x^4 + x^3 + x^2 + 1, shift and add, no tables.
std::uint8_t GfMul(std::uint8_t a, std::uint8_t b) {
    unsigned r = 0, x = a;
    for (int i = 0; i < 8; ++i) {
        if (b & (1u << i)) r ^= x;
        x <<= 1;
        if (x & 0x100) x ^= 0x11D;
    }
    return static_cast<std::uint8_t>(r);
}

static std::uint8_t GfAlphaPow(int k) {
    std::uint8_t r = 1;
    for (int i = 0; i < k; ++i)
        r = GfMul(r, 2);
    return r;
}

// Syndromes of one RSPC code word: sum of symbols and sum of symbol * alpha^(n-1-j).
static bool SyndromesVanish(const std::vector<std::uint8_t>& word) {
    std::uint8_t s0 = 0, s1 = 0;
    const int n = static_cast<int>(word.size());
    for (int j = 0; j < n; ++j) {
        s0 ^= word[j];
        s1 ^= GfMul(word[j], GfAlphaPow(n - 1 - j));
    }
    return s0 == 0 && s1 == 0;
}

// Checks every P and Q code word of a Form 1 sector, indexed as the standard lays them out:
// 16-bit words S(n) over the bytes from offset 12, each byte of a word its own code.
// P vector Np (0..42): S(43 * Mp + Np), Mp = 0..25. Q vector Nq (0..25): S((44 * Mq + 43 * Nq)
// mod 1118), Mq = 0..42, then S(1118 + Nq) and S(1144 + Nq).
int CountBadCodeWords(const Sector& s, bool headerAsZero) {
    std::array<std::uint8_t, 2340> area{};
    std::memcpy(area.data(), s.data() + 12, 2340);
    if (headerAsZero) std::memset(area.data(), 0, 4);
    auto byteOf = [&](int word, int half) { return area[2 * word + half]; };
    int bad = 0;
    for (int half = 0; half < 2; ++half) {
        for (int np = 0; np < 43; ++np) {
            std::vector<std::uint8_t> w;
            for (int mp = 0; mp < 26; ++mp)
                w.push_back(byteOf(43 * mp + np, half));
            bad += !SyndromesVanish(w);
        }
        for (int nq = 0; nq < 26; ++nq) {
            std::vector<std::uint8_t> w;
            for (int mq = 0; mq < 43; ++mq)
                w.push_back(byteOf((44 * mq + 43 * nq) % 1118, half));
            w.push_back(byteOf(1118 + nq, half));
            w.push_back(byteOf(1144 + nq, half));
            bad += !SyndromesVanish(w);
        }
    }
    return bad;
}

ImageCheck CheckRawImage(const std::string& path, std::uint32_t firstLsn) {
    ImageCheck r;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        r.firstProblem = "cannot open " + path;
        return r;
    }
    static const std::uint8_t sync[12] = {0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    Sector s;
    auto note = [&](const char* what) {
        if (r.firstProblem.empty())
            r.firstProblem = std::string(what) + " at sector " + std::to_string(r.sectors);
    };
    while (std::fread(s.data(), 1, s.size(), f) == s.size()) {
        std::uint32_t address = firstLsn + static_cast<std::uint32_t>(r.sectors) + 150;
        if (std::memcmp(s.data(), sync, 12) != 0) ++r.badSync, note("bad sync");
        if (s[12] != ToBcdRef(address / 4500) || s[13] != ToBcdRef((address / 75) % 60) ||
            s[14] != ToBcdRef(address % 75) || s[15] != 2)
            ++r.badHeader, note("bad header");
        if (std::memcmp(s.data() + 16, s.data() + 20, 4) != 0) ++r.badSubheader, note("subheader");
        auto stored = [&](std::size_t at) {
            return s[at] | (s[at + 1] << 8) | (s[at + 2] << 16) | (std::uint32_t(s[at + 3]) << 24);
        };
        if (s[18] & 0x20) {
            ++r.form2;
            // A Form 2 EDC of zero means "not computed"; ours always computes it.
            if (stored(2348) != ReferenceEdc(s.data() + 16, 2332)) ++r.badEdc, note("Form 2 EDC");
        } else {
            ++r.form1;
            if (stored(2072) != ReferenceEdc(s.data() + 16, 2056)) ++r.badEdc, note("Form 1 EDC");
            if (CountBadCodeWords(s, true) != 0) ++r.badEcc, note("Form 1 ECC");
        }
        ++r.sectors;
    }
    std::fclose(f);
    return r;
}
