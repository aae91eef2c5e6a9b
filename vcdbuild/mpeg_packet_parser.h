// Parser of one MPEG program stream pack: pack and system headers, PES headers, the start of
// audio frames, sequence/GOP/picture headers and SVCD scan information of video, subtitle packets.
#pragma once

#include "mpeg_types.h"
#include "vcd_log.h"

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kMpegPackSize = 2324; // one Mode 2 Form 2 sector payload

// Parses the pack that starts at `buffer`, reading only `buffer[0..length)`. Clears
// `ctx.packet`, fills it with the pack's flags and updates `ctx.stream`. Returns the length of the
// pack in bytes, or 0 when the buffer does not start a valid pack. With `parsePes` false the
// payloads of audio and video packets are not looked into (their PES headers are).
std::size_t ParsePacket(const std::uint8_t* buffer, std::size_t length, bool parsePes,
                        MpegScanContext& ctx, CVcdLog& log);

MpegPacketType GetPacketType(const MpegPacketInfo& packet);
