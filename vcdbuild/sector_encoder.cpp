#include "sector_encoder.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define VCD_EDC_CLMUL 1
#endif

namespace {

// EDC: CRC-32 with P(x) = (x^16 + x^15 + x^2 + 1)(x^16 + x^2 + x + 1), least significant bit
// first. Sixteen tables let the loop fold 16 bytes per step.
constexpr std::uint32_t kEdcPolynomial = 0xD8018001u;
constexpr int kEdcSlices = 16;

using EdcTables = std::array<std::array<std::uint32_t, 256>, kEdcSlices>;

constexpr EdcTables MakeEdcTables() {
    EdcTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ ((c & 1u) ? kEdcPolynomial : 0u);
        t[0][i] = c;
    }
    for (int s = 1; s < kEdcSlices; ++s)
        for (std::uint32_t i = 0; i < 256; ++i)
            t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFFu];
    return t;
}
constexpr EdcTables kEdc = MakeEdcTables();

inline std::uint32_t LoadLE32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}

// GF(2^8) with x^8 + x^4 + x^3 + x^2 + 1. kMulAlpha[x] = x * alpha; kDivOnePlusAlpha[x] is the y
// with y * (1 + alpha) = x, which turns the two accumulated sums of a code word into its parity.
struct EccTables {
    std::array<std::uint8_t, 256> mulAlpha{};
    std::array<std::uint8_t, 256> divOnePlusAlpha{};
};

constexpr EccTables MakeEccTables() {
    EccTables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned m = (i << 1) ^ ((i & 0x80u) ? 0x11Du : 0u);
        t.mulAlpha[i] = static_cast<std::uint8_t>(m);
        t.divOnePlusAlpha[i ^ m] = static_cast<std::uint8_t>(i);
    }
    return t;
}
constexpr EccTables kEcc = MakeEccTables();

// One family of Reed-Solomon code words over `area` (header onwards). Each byte column (MSB and
// LSB words are separate codes) has `length` symbols starting at `start(column)` and stepping by
// `step` bytes modulo the area size; two parity bytes go to parity[column] and
// parity[column + columns].
void ComputeParity(const std::uint8_t* area, unsigned columns, unsigned length, unsigned rowStep,
                   unsigned step, std::uint8_t* parity) {
    const unsigned size = columns * length;
    for (unsigned column = 0; column < columns; ++column) {
        unsigned index = (column >> 1) * rowStep + (column & 1u);
        std::uint8_t a = 0, b = 0;
        for (unsigned k = 0; k < length; ++k) {
            std::uint8_t v = area[index];
            index += step;
            if (index >= size) index -= size;
            a = kEcc.mulAlpha[a ^ v];
            b ^= v;
        }
        std::uint8_t p0 = kEcc.divOnePlusAlpha[kEcc.mulAlpha[a] ^ b];
        parity[column] = p0;
        parity[column + columns] = static_cast<std::uint8_t>(p0 ^ b);
    }
}

constexpr std::uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

void StoreEdc(std::uint8_t* at, std::uint32_t edc) {
    at[0] = static_cast<std::uint8_t>(edc);
    at[1] = static_cast<std::uint8_t>(edc >> 8);
    at[2] = static_cast<std::uint8_t>(edc >> 16);
    at[3] = static_cast<std::uint8_t>(edc >> 24);
}

} // namespace

namespace {

std::uint32_t EdcUpdateTables(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
    while (n >= 16) {
        std::uint32_t a = LoadLE32(p) ^ crc, b = LoadLE32(p + 4), c = LoadLE32(p + 8),
                      d = LoadLE32(p + 12);
        crc = kEdc[15][a & 0xFF] ^ kEdc[14][(a >> 8) & 0xFF] ^ kEdc[13][(a >> 16) & 0xFF] ^
              kEdc[12][a >> 24] ^ kEdc[11][b & 0xFF] ^ kEdc[10][(b >> 8) & 0xFF] ^
              kEdc[9][(b >> 16) & 0xFF] ^ kEdc[8][b >> 24] ^ kEdc[7][c & 0xFF] ^
              kEdc[6][(c >> 8) & 0xFF] ^ kEdc[5][(c >> 16) & 0xFF] ^ kEdc[4][c >> 24] ^
              kEdc[3][d & 0xFF] ^ kEdc[2][(d >> 8) & 0xFF] ^ kEdc[1][(d >> 16) & 0xFF] ^
              kEdc[0][d >> 24];
        p += 16;
        n -= 16;
    }
    while (n--)
        crc = (crc >> 8) ^ kEdc[0][(crc ^ *p++) & 0xFF];
    return crc;
}

#ifdef VCD_EDC_CLMUL
// Carry-less multiplication folding. A 128-bit block is a polynomial whose first bit (bit 0 of
// byte 0) is the highest coefficient, so a 64-bit lane bit i stands for x^(63 - i) of that half,
// and the product of two lanes comes out multiplied by x. Folding a block over d further bits
// multiplies its high half by (x^(d + 63) mod P) and its low half by (x^(d - 1) mod P).
constexpr std::uint64_t kEdcPolyNormal =
    0x18001801BULL; // x^32 + x^31 + x^16 + x^15 + x^4 + x^3 + x + 1

constexpr std::uint64_t FoldConstant(unsigned power) {
    std::uint64_t r = 1;
    for (unsigned i = 0; i < power; ++i) {
        r <<= 1;
        if (r & (1ULL << 32)) r ^= kEdcPolyNormal;
    }
    std::uint64_t lane = 0;
    for (unsigned j = 0; j < 32; ++j)
        if (r & (1ULL << j)) lane |= 1ULL << (63 - j);
    return lane;
}

constexpr std::uint64_t kFold128High = FoldConstant(191), kFold128Low = FoldConstant(127);
constexpr std::uint64_t kFold512High = FoldConstant(575), kFold512Low = FoldConstant(511);

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) std::uint32_t
EdcUpdateClmul(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
    auto load = [](const std::uint8_t* q) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    };
    const __m128i k128 =
        _mm_set_epi64x(static_cast<long long>(kFold128Low), static_cast<long long>(kFold128High));
    // The register's 32 bits belong to the first 32 bits of the data.
    __m128i x = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    p += 16;
    n -= 16;
    if (n >= 48) {
        const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512Low),
                                            static_cast<long long>(kFold512High));
        __m128i x1 = load(p), x2 = load(p + 16), x3 = load(p + 32);
        p += 48;
        n -= 48;
        while (n >= 64) {
            x = _mm_xor_si128(Fold(x, k512), load(p));
            x1 = _mm_xor_si128(Fold(x1, k512), load(p + 16));
            x2 = _mm_xor_si128(Fold(x2, k512), load(p + 32));
            x3 = _mm_xor_si128(Fold(x3, k512), load(p + 48));
            p += 64;
            n -= 64;
        }
        x = _mm_xor_si128(Fold(x, k128), x1);
        x = _mm_xor_si128(Fold(x, k128), x2);
        x = _mm_xor_si128(Fold(x, k128), x3);
    }
    while (n >= 16) {
        x = _mm_xor_si128(Fold(x, k128), load(p));
        p += 16;
        n -= 16;
    }
    // What is left is a 16-byte message of its own, then the tail.
    alignas(16) std::uint8_t rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
    return EdcUpdateTables(EdcUpdateTables(0, rest, 16), p, n);
}

const bool kHaveClmul = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}();
#endif

} // namespace

std::uint32_t EdcUpdate(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
#ifdef VCD_EDC_CLMUL
    if (n >= 64 && kHaveClmul) return EdcUpdateClmul(crc, p, n);
#endif
    return EdcUpdateTables(crc, p, n);
}

std::uint32_t ComputeEdc(const std::uint8_t* raw, std::size_t first, std::size_t last) {
    if (last < first) return 0;
    return EdcUpdate(0, raw + first, last - first + 1);
}

std::uint8_t ToBcd(unsigned value) {
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

void LbaToMsf(std::uint32_t value, std::uint8_t out[3]) {
    out[0] = ToBcd(value / 4500);
    out[1] = ToBcd((value / 75) % 60);
    out[2] = ToBcd(value % 75);
}

void EncodeSector(std::uint8_t* raw, SectorKind kind, std::uint32_t address) {
    std::memcpy(raw, kSync, sizeof kSync);
    switch (kind) {
    case SectorKind::Mode2Form1:
        // Mode 2 Form 1 parity is computed with the header taken as zero.
        std::memset(raw + 12, 0, 4);
        StoreEdc(raw + 2072, ComputeEdc(raw, 16, 2071));
        ComputeParity(raw + 12, 86, 24, 2, 86, raw + 2076);
        ComputeParity(raw + 12, 52, 43, 86, 88, raw + 2248);
        break;
    case SectorKind::Mode2Form2:
        StoreEdc(raw + 2348, ComputeEdc(raw, 16, 2347));
        break;
    case SectorKind::Mode2Formless:
        break;
    }
    LbaToMsf(address, raw + 12);
    raw[15] = 2;
}

void MakeMode2Sector(std::uint8_t* raw, const std::uint8_t* payload, std::uint32_t lsn,
                     std::uint8_t fileNumber, std::uint8_t channel, std::uint8_t submode,
                     std::uint8_t codingInfo) {
    std::memset(raw, 0, kRawSectorSize);
    const std::uint8_t sub[4] = {fileNumber, channel, submode, codingInfo};
    std::memcpy(raw + 16, sub, 4);
    std::memcpy(raw + 20, sub, 4);
    if (submode & SM_FORM2) {
        std::memcpy(raw + 24, payload, kForm2DataSize);
        EncodeSector(raw, SectorKind::Mode2Form2, lsn + kDiscAddressOffset);
    } else {
        std::memcpy(raw + 24, payload, kForm1DataSize);
        EncodeSector(raw, SectorKind::Mode2Form1, lsn + kDiscAddressOffset);
    }
}

void MakeRawMode2Sector(std::uint8_t* raw, const std::uint8_t* payload2336, std::uint32_t lsn) {
    std::memset(raw, 0, 16);
    std::memcpy(raw + 16, payload2336, kMode2SectorSize);
    EncodeSector(raw, SectorKind::Mode2Formless, lsn + kDiscAddressOffset);
}
