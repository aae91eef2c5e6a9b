// An MPEG program stream file that becomes a track or segment of the image: scanned once for its
// facts and access points, then read pack by pack as 2324-byte sector payloads.
#pragma once

#include "mpeg_packet_parser.h"
#include "mpeg_types.h"
#include "vcd_stream.h"

#include <cstdint>

class CVcdMpegSource : public CVcdStream {
  public:
    CVcdMpegSource(CVcdLog& log, const char* path);
    ~CVcdMpegSource() override = default;

    // 0 on success (or when scanned before), 1 on failure, -1 when the user cancelled.
    // `strictAps` admits only access points that start with a sequence header; `fixScanInfo`
    // silences scan information problems (they will be rewritten); `itemId` goes into the
    // progress reports.
    int Scan(bool strictAps, bool fixScanInfo, const char* itemId);

    const MpegStreamInfo& GetInfo() const { return info_; }

    // Puts pack `packetNo` into `buffer` (exactly kMpegPackSize bytes, zero padded) and, when
    // `packetInfo` is given, its flags with `pts` relative to the stream's first PTS. With
    // `fixScanInfo` the SVCD scan information of an MPEG-2 pack is rewritten to point at the
    // real access points. Ascending pack numbers read the file once; others rewind. 0 or -1.
    int GetPacket(std::uint32_t packetNo, std::uint8_t* buffer, MpegPacketInfo* packetInfo,
                  bool fixScanInfo);

    bool scanned() const { return scanned_; }
    std::int64_t readPosition() const { return readPosition_; }
    std::uint32_t readPacketNo() const { return readPacketNo_; }

  private:
    void RewriteScanInfo(std::uint32_t packetNo, std::uint8_t* pack,
                         const MpegPacketInfo& packet) const;

    bool scanned_ = false;
    std::int64_t readPosition_ = 0; // byte offset of the pack after the last one handed out
    std::uint32_t readPacketNo_ = 0;
    std::int64_t readLength_ = -1; // file length for the current pass of GetPacket
    MpegStreamInfo info_;
};
