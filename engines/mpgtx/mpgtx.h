// The MPEG checker and demultiplexer: each call returns at once and the work reports to the
// window named in its record by messages from a thread of the library's own.
#pragma once

#include "platform/window_message.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace engines {

constexpr unsigned WM_CHECK_DONE = 2025;  // wParam: the invalid flag
constexpr unsigned WM_DEMUX_EVENT = 2026; // wParam != 0: progress; 0: end, lParam != 0: failed

// Window handles are native pointers; every later field keeps its place after them.
constexpr std::size_t kHandleGrowth = sizeof(platform::HWND) - 4;

#pragma pack(push, 1)

struct _mpgtx_check_param_ {
    platform::HWND window; // the burner
    std::int32_t message;  // the burner: 2025
    char path[1024];       // the burner
    std::int64_t fileSize; // the checker, from here on
    float seconds;
    std::uint8_t reserved1044[32];
    std::int32_t width;
    std::int32_t height;
    float frameRate;
    // The checker's reason for a refusal, zero-terminated, empty when the file suits; the burner
    // zeroes it with the record. Use CheckRefusalReason/SetCheckRefusalReason.
    std::uint8_t reserved1088[256];
};
static_assert(sizeof(_mpgtx_check_param_) == 1344 + kHandleGrowth);
static_assert(offsetof(_mpgtx_check_param_, message) == 4 + kHandleGrowth);
static_assert(offsetof(_mpgtx_check_param_, path) == 8 + kHandleGrowth);
static_assert(offsetof(_mpgtx_check_param_, fileSize) == 1032 + kHandleGrowth);
static_assert(offsetof(_mpgtx_check_param_, seconds) == 1040 + kHandleGrowth);
static_assert(offsetof(_mpgtx_check_param_, width) == 1076 + kHandleGrowth);
static_assert(offsetof(_mpgtx_check_param_, height) == 1080 + kHandleGrowth);
static_assert(offsetof(_mpgtx_check_param_, frameRate) == 1084 + kHandleGrowth);
static_assert(offsetof(_mpgtx_check_param_, reserved1088) == 1088 + kHandleGrowth);

struct _mpgtx_demuxer_param_ {
    platform::HWND window;
    std::int32_t message; // 2026
    std::int32_t abort;   // 1 when the user confirms; use RequestDemuxAbort/DemuxAbortRequested
    char input[1024];
    char outputBase[1024]; // the streams go to outputBase + ".m2v" and + ".mpa"
    float percent;         // 0 to 100; use SetDemuxPercent/DemuxPercent
    char errorText[256];
};
static_assert(sizeof(_mpgtx_demuxer_param_) == 2320 + kHandleGrowth);
static_assert(offsetof(_mpgtx_demuxer_param_, message) == 4 + kHandleGrowth);
static_assert(offsetof(_mpgtx_demuxer_param_, abort) == 8 + kHandleGrowth);
static_assert(offsetof(_mpgtx_demuxer_param_, input) == 12 + kHandleGrowth);
static_assert(offsetof(_mpgtx_demuxer_param_, outputBase) == 1036 + kHandleGrowth);
static_assert(offsetof(_mpgtx_demuxer_param_, percent) == 2060 + kHandleGrowth);
static_assert(offsetof(_mpgtx_demuxer_param_, errorText) == 2064 + kHandleGrowth);

#pragma pack(pop)

// The abort request and the percent cross threads without a lock; these make each access whole.
// Keep the record as an alignas(8) object so that both fields are naturally aligned.
void RequestDemuxAbort(_mpgtx_demuxer_param_& param);
bool DemuxAbortRequested(const _mpgtx_demuxer_param_& param);
void SetDemuxPercent(_mpgtx_demuxer_param_& param, float percent);
float DemuxPercent(const _mpgtx_demuxer_param_& param);

// The refusal reason kept in the check record (cut to 255 bytes at a UTF-8 character boundary).
std::string CheckRefusalReason(const _mpgtx_check_param_& param);
void SetCheckRefusalReason(_mpgtx_check_param_& param, const std::string& reason);

// The real checker and demultiplexer (engines/mpgtx/system_mpgtx.h) post their reports.
class Mpgtx {
  public:
    virtual ~Mpgtx() = default;
    // The record must stay untouched by the burner until the check has reported.
    virtual void mpgtx_Checkfile(_mpgtx_check_param_* param) = 0;
    // The record lives for the whole run: the burner writes abort and reads percent meanwhile.
    virtual void mpgtx_Demuxer(_mpgtx_demuxer_param_* param) = 0;
};

} // namespace engines
