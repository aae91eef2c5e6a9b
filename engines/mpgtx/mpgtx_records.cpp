#include "engines/mpgtx/mpgtx.h"

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

} // namespace engines
