// Builds MPEG program stream packs in memory so that tests can set up exact edge cases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace mpegtest {

using Bytes = std::vector<std::uint8_t>;

// Appends bit fields most significant bit first.
class BitWriter {
  public:
    void Put(std::uint64_t value, unsigned bits);
    void PutTimeStamp(unsigned prefix, std::uint64_t ts); // 4-bit prefix and 33-bit value
    const Bytes& bytes() const { return bytes_; }

  private:
    Bytes bytes_;
    unsigned used_ = 8; // bits used in the last byte
};

Bytes PackHeaderV1(std::uint64_t scr = 0, std::uint32_t muxRate = 3528);
Bytes PackHeaderV2(std::uint64_t scrBase = 0, std::uint32_t scrExt = 0,
                   std::uint32_t muxRate = 6972, unsigned stuffing = 0);
Bytes SystemHeader(std::initializer_list<std::uint8_t> streamIds);
// A packet: start code 0x000001`id`, 16-bit length, body.
Bytes Packet(std::uint8_t id, const Bytes& body);
// PES header bytes after the length field, in MPEG-1 or MPEG-2 form, with an optional PTS.
Bytes PesHeader(int version, std::optional<double> ptsSeconds);
Bytes Pes(std::uint8_t id, int version, std::optional<double> ptsSeconds, const Bytes& payload);
Bytes PaddingPacket(std::size_t totalSize); // at least 6
Bytes SequenceHeader(unsigned width, unsigned height, unsigned aspectCode, unsigned rateCode,
                     unsigned bitRate400 = 2875, unsigned vbv = 20, bool constrained = true);
Bytes GopHeader(unsigned hours = 0, unsigned minutes = 0, unsigned seconds = 0,
                unsigned pictures = 0);
Bytes PictureHeader(unsigned codingType); // 1 I, 2 P, 3 B
// User data start code with one SVCD scan information tag holding the four given offsets.
Bytes ScanInfoUserData(const std::uint8_t (&offsets)[12]);
// MPEG-1 audio frame header: layer code (3 = layer 1, 2 = layer 2, 1 = layer 3).
Bytes AudioFrameHeader(unsigned layerCode, unsigned bitrateIndex, unsigned samplingCode,
                       unsigned mode, bool mpeg1 = true);

Bytes Concat(std::initializer_list<Bytes> parts);
// `pack` followed by a padding packet up to `size` bytes (no padding when it is already full).
Bytes PadTo(Bytes pack, std::size_t size);

// A file in the test's temporary folder holding `data`; removed by the destructor.
class TempFile {
  public:
    explicit TempFile(const Bytes& data, const std::string& name = "stream.mpg");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

Bytes ReadFile(const std::string& path);

} // namespace mpegtest
