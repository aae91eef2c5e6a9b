// Reads bit fields most significant bit first from a byte range. Reads past the end yield zero
// bits and set overrun(), so a parser can check once after a run of fields instead of before each.
#pragma once

#include <cstddef>
#include <cstdint>

class BitReader {
  public:
    BitReader(const std::uint8_t* data, std::size_t size, std::size_t bitPos = 0)
        : data_(data), size_(size), pos_(bitPos) {}

    // Up to 32 bits as an unsigned value.
    std::uint32_t Read(unsigned bits) {
        std::uint32_t v = 0;
        for (unsigned i = 0; i < bits; ++i) v = (v << 1) | ReadBit();
        return v;
    }
    std::uint64_t Read64(unsigned bits) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < bits; ++i) v = (v << 1) | ReadBit();
        return v;
    }
    std::uint32_t Peek(unsigned bits) const {
        BitReader copy = *this;
        return copy.Read(bits);
    }
    unsigned ReadBit() {
        if (pos_ >= size_ * 8) {
            overrun_ = true;
            ++pos_;
            return 0;
        }
        unsigned bit = (data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1u;
        ++pos_;
        return bit;
    }
    void Skip(std::size_t bits) {
        pos_ += bits;
        if (pos_ > size_ * 8) overrun_ = true;
    }

    std::size_t BitPosition() const { return pos_; }
    std::size_t BytePosition() const { return (pos_ + 7) / 8; }
    std::size_t BitsLeft() const { return pos_ >= size_ * 8 ? 0 : size_ * 8 - pos_; }
    bool overrun() const { return overrun_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_;
    bool overrun_ = false;
};

// Big-endian loads for byte-aligned fields; callers check the length first.
inline std::uint32_t LoadBE32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}
inline std::uint16_t LoadBE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
