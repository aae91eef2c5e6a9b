// The codes the Linux CD engine returns besides 0 and the three the burner tests by value
// (kCdNoBlankDiscA/B, kCdNoDisc of cd_engine.h), and their English texts for GetText.
#pragma once

#include <cstdint>
#include <string>

namespace engines {

constexpr std::int32_t kCdErrNoProject = 1;
constexpr std::int32_t kCdErrBadProjectKind = 2;
constexpr std::int32_t kCdErrNoDevice = 3;
constexpr std::int32_t kCdErrUnknownDevice = 4;
constexpr std::int32_t kCdErrBusy = 5;
constexpr std::int32_t kCdErrNoImage = 6;
constexpr std::int32_t kCdErrBadRecord = 7;
constexpr std::int32_t kCdErrFileUnreadable = 8;
constexpr std::int32_t kCdErrBadCue = 9;
constexpr std::int32_t kCdErrNoCdrdao = 10;
constexpr std::int32_t kCdErrDiskInfo = 11;
constexpr std::int32_t kCdErrWrongProject = 12;
constexpr std::int32_t kCdErrDiscsFolder = 13;
constexpr std::int32_t kCdErrStart = 14;
constexpr std::int32_t kCdErrEject = 15;
constexpr std::int32_t kCdErrDeviceOpen = 24;

// GetText's text of a code; codes it does not know read "Unknown error (code N).".
std::string CdErrorText(std::int32_t code);

} // namespace engines
