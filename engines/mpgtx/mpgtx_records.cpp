#include "engines/mpgtx/mpgtx.h"

#include <algorithm>
#include <cstring>

namespace engines {

// The fields sit at 4-byte offsets of records the burner keeps as aligned objects, so the
// builtins below are whole loads and stores.
void RequestDemuxAbort(_mpgtx_demuxer_param_& param) {
    __atomic_store_n(&param.abort, 1, __ATOMIC_RELAXED);
}

bool DemuxAbortRequested(const _mpgtx_demuxer_param_& param) {
    return __atomic_load_n(&param.abort, __ATOMIC_RELAXED) != 0;
}

void SetDemuxPercent(_mpgtx_demuxer_param_& param, float percent) {
    std::uint32_t bits;
    std::memcpy(&bits, &percent, sizeof bits);
    __atomic_store_n(reinterpret_cast<std::uint32_t*>(&param.percent), bits, __ATOMIC_RELAXED);
}

float DemuxPercent(const _mpgtx_demuxer_param_& param) {
    std::uint32_t bits =
        __atomic_load_n(reinterpret_cast<const std::uint32_t*>(&param.percent), __ATOMIC_RELAXED);
    float percent;
    std::memcpy(&percent, &bits, sizeof percent);
    return percent;
}

std::string CheckRefusalReason(const _mpgtx_check_param_& param) {
    const char* text = reinterpret_cast<const char*>(param.reserved1088);
    return std::string(text, strnlen(text, sizeof param.reserved1088));
}

void SetCheckRefusalReason(_mpgtx_check_param_& param, const std::string& reason) {
    std::size_t n = std::min(reason.size(), sizeof param.reserved1088 - 1);
    // Never leave half a UTF-8 character at the cut.
    if (n < reason.size())
        while (n > 0 && (static_cast<unsigned char>(reason[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(param.reserved1088, reason.data(), n);
    std::memset(param.reserved1088 + n, 0, sizeof param.reserved1088 - n);
}

} // namespace engines
