// A scripted multiplexer: writes the segments a test asks for from the pattern and sets the
// status it is told to, or leaves it untouched.
#pragma once

#include "engines/mjpgtools/mplex.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace engines {

struct FakeMplexRun {
    std::vector<std::size_t> segmentBytes = {4096}; // one file per entry: pattern with 1, 2, ...
    std::optional<std::int32_t> status = 0;         // nullopt leaves the status as given
};

class FakeMplex : public Multiplexer {
  public:
    // One entry per call, in order; calls beyond the script use the default run.
    std::vector<FakeMplexRun> script;

    struct Call {
        std::string video, audio, pattern;
        MplexParam param; // as passed, before the fake wrote its status
    };
    std::vector<Call> Calls() const;

    void mplex(MplexParam* param) override;

  private:
    mutable std::mutex lock_;
    std::vector<Call> calls_;
};

} // namespace engines
