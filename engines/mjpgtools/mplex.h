// The multiplexer: one call per pair of elementary streams, on the caller's thread, writing DVD
// program stream segments named by a pattern whose %d is the segment number from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace engines {

constexpr std::int32_t kMplexStatusUnset = 9999;

#pragma pack(push, 1)
struct MplexParam {
    std::int16_t value0;  // 1
    std::int16_t value2;  // 8
    std::int32_t value4;  // 0
    std::int32_t value8;  // 2000
    std::int32_t value12; // 0; libmjpgTools.so: largest segment in MB, 0 or less no limit
    std::uint8_t unset16[4];
    std::int32_t value20; // 256
    std::uint8_t unset24[4];
    std::uint8_t value28; // 1
    std::uint8_t unset29[3];
    std::int32_t value32; // 0
    std::uint8_t value36; // 0
    std::uint8_t unset37[3];
    const char* const* inputs; // video path, audio path, null
    char pattern[260];
    std::uint8_t value304; // 1
    std::uint8_t unset305[3];
    std::int32_t status; // 0 after the call means success
};
#pragma pack(pop)

// The input list pointer is native width; what follows it keeps its place after it.
constexpr std::size_t kPointerGrowth = sizeof(void*) - 4;
static_assert(sizeof(MplexParam) == 312 + kPointerGrowth);
static_assert(offsetof(MplexParam, value8) == 8);
static_assert(offsetof(MplexParam, value20) == 20);
static_assert(offsetof(MplexParam, value28) == 28);
static_assert(offsetof(MplexParam, value32) == 32);
static_assert(offsetof(MplexParam, value36) == 36);
static_assert(offsetof(MplexParam, inputs) == 40);
static_assert(offsetof(MplexParam, pattern) == 44 + kPointerGrowth);
static_assert(offsetof(MplexParam, value304) == 304 + kPointerGrowth);
static_assert(offsetof(MplexParam, status) == 308 + kPointerGrowth);

// Writes the values the burner passes and status 9999; the unset bytes keep what they held.
// inputs must outlive the call. A pattern longer than the field is cut.
void FillMplexParam(MplexParam& param, const char* const* inputs, const std::string& pattern);

// The entry point "mplex" of libmjpgTools.so.
using MplexEntry = int (*)(MplexParam* param);

class Multiplexer {
  public:
    virtual ~Multiplexer() = default;
    // Blocks until done; the result is in param->status.
    virtual void mplex(MplexParam* param) = 0;
};

// A Multiplexer over the entry point looked up in the library.
class EntryMultiplexer : public Multiplexer {
  public:
    explicit EntryMultiplexer(MplexEntry entry) : entry_(entry) {}
    void mplex(MplexParam* param) override {
        if (entry_) entry_(param);
    }

  private:
    MplexEntry entry_;
};

} // namespace engines
