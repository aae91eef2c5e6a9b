#include "mpeg_pack_builder_support.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace mpegtest {

void BitWriter::Put(std::uint64_t value, unsigned bits) {
    for (unsigned i = bits; i-- > 0;) {
        if (used_ == 8) {
            bytes_.push_back(0);
            used_ = 0;
        }
        if ((value >> i) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> used_);
        ++used_;
    }
}

void BitWriter::PutTimeStamp(unsigned prefix, std::uint64_t ts) {
    Put(prefix, 4);
    Put(ts >> 30, 3);
    Put(1, 1);
    Put(ts >> 15, 15);
    Put(1, 1);
    Put(ts, 15);
    Put(1, 1);
}

namespace {

Bytes StartCode(std::uint8_t code) {
    return {0, 0, 1, code};
}

std::uint64_t Ticks(double seconds) {
    return static_cast<std::uint64_t>(std::llround(seconds * 90000));
}

} // namespace

Bytes PackHeaderV1(std::uint64_t scr, std::uint32_t muxRate) {
    BitWriter w;
    w.PutTimeStamp(2, scr);
    w.Put(1, 1);
    w.Put(muxRate, 22);
    w.Put(1, 1);
    return Concat({StartCode(0xBA), w.bytes()});
}

Bytes PackHeaderV2(std::uint64_t scrBase, std::uint32_t scrExt, std::uint32_t muxRate,
                   unsigned stuffing) {
    BitWriter w;
    w.Put(1, 2);
    w.Put(scrBase >> 30, 3);
    w.Put(1, 1);
    w.Put(scrBase >> 15, 15);
    w.Put(1, 1);
    w.Put(scrBase, 15);
    w.Put(1, 1);
    w.Put(scrExt, 9);
    w.Put(1, 1);
    w.Put(muxRate, 22);
    w.Put(3, 2);
    w.Put(0x1F, 5);
    w.Put(stuffing, 3);
    Bytes out = Concat({StartCode(0xBA), w.bytes()});
    out.insert(out.end(), stuffing, 0xFF);
    return out;
}

Bytes SystemHeader(std::initializer_list<std::uint8_t> streamIds) {
    BitWriter w;
    w.Put(1, 1);
    w.Put(3528, 22); // rate bound
    w.Put(1, 1);
    w.Put(1, 6); // audio bound
    w.Put(0, 1);
    w.Put(1, 1);
    w.Put(1, 1);
    w.Put(1, 1);
    w.Put(1, 1);
    w.Put(1, 5); // video bound
    w.Put(0, 1);
    w.Put(0x7F, 7);
    for (std::uint8_t id : streamIds) {
        w.Put(id, 8);
        w.Put(3, 2);
        w.Put(1, 1);
        w.Put(46, 13);
    }
    return Packet(0xBB, w.bytes());
}

Bytes Packet(std::uint8_t id, const Bytes& body) {
    if (body.size() > 0xFFFF) throw std::length_error("packet body");
    Bytes out = StartCode(id);
    out.push_back(static_cast<std::uint8_t>(body.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes PesHeader(int version, std::optional<double> ptsSeconds) {
    BitWriter w;
    if (version == 2) {
        w.Put(0x81, 8);
        w.Put(ptsSeconds ? 0x80 : 0x00, 8);
        w.Put(ptsSeconds ? 5 : 0, 8);
        if (ptsSeconds) w.PutTimeStamp(2, Ticks(*ptsSeconds));
    } else if (ptsSeconds) {
        w.PutTimeStamp(2, Ticks(*ptsSeconds));
    } else {
        w.Put(0x0F, 8);
    }
    return w.bytes();
}

Bytes Pes(std::uint8_t id, int version, std::optional<double> ptsSeconds, const Bytes& payload) {
    return Packet(id, Concat({PesHeader(version, ptsSeconds), payload}));
}

Bytes PaddingPacket(std::size_t totalSize) {
    if (totalSize < 6) throw std::length_error("padding");
    return Packet(0xBE, Bytes(totalSize - 6, 0xFF));
}

Bytes SequenceHeader(unsigned width, unsigned height, unsigned aspectCode, unsigned rateCode,
                     unsigned bitRate400, unsigned vbv, bool constrained) {
    BitWriter w;
    w.Put(width, 12);
    w.Put(height, 12);
    w.Put(aspectCode, 4);
    w.Put(rateCode, 4);
    w.Put(bitRate400, 18);
    w.Put(1, 1);
    w.Put(vbv, 10);
    w.Put(constrained, 1);
    w.Put(0, 2); // no quantizer matrices
    return Concat({StartCode(0xB3), w.bytes()});
}

Bytes GopHeader(unsigned hours, unsigned minutes, unsigned seconds, unsigned pictures) {
    BitWriter w;
    w.Put(0, 1);
    w.Put(hours, 5);
    w.Put(minutes, 6);
    w.Put(1, 1);
    w.Put(seconds, 6);
    w.Put(pictures, 6);
    w.Put(1, 1); // closed GOP
    w.Put(0, 7);
    return Concat({StartCode(0xB8), w.bytes()});
}

Bytes PictureHeader(unsigned codingType) {
    BitWriter w;
    w.Put(0, 10); // temporal reference
    w.Put(codingType, 3);
    w.Put(0xFFFF, 16); // vbv delay
    w.Put(0, 3);
    return Concat({StartCode(0x00), w.bytes()});
}

Bytes ScanInfoUserData(const std::uint8_t (&offsets)[12]) {
    Bytes out = StartCode(0xB2);
    out.push_back(0x10);
    out.push_back(0x0E);
    out.insert(out.end(), std::begin(offsets), std::end(offsets));
    return out;
}

Bytes AudioFrameHeader(unsigned layerCode, unsigned bitrateIndex, unsigned samplingCode,
                       unsigned mode, bool mpeg1) {
    BitWriter w;
    w.Put(0xFFF, 12);
    w.Put(mpeg1, 1);
    w.Put(layerCode, 2);
    w.Put(1, 1); // no CRC
    w.Put(bitrateIndex, 4);
    w.Put(samplingCode, 2);
    w.Put(0, 2);
    w.Put(mode, 2);
    w.Put(0, 6);
    return w.bytes();
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes PadTo(Bytes pack, std::size_t size) {
    if (pack.size() > size || (pack.size() < size && size - pack.size() < 6))
        throw std::length_error("pack does not pad to the size");
    if (pack.size() < size) {
        Bytes pad = PaddingPacket(size - pack.size());
        pack.insert(pack.end(), pad.begin(), pad.end());
    }
    return pack;
}

TempFile::TempFile(const Bytes& data, const std::string& name) {
    static std::atomic<int> counter{0};
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir && *dir ? dir : "/tmp") + "/pellam_mpeg_" + std::to_string(::getpid()) +
            "_" + std::to_string(counter++) + "_" + name;
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

TempFile::~TempFile() {
    std::remove(path_.c_str());
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace mpegtest
