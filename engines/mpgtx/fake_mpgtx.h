// A scripted checker and demultiplexer: calls are recorded and each report goes out only when
// the test asks for it.
#pragma once

#include "engines/mpgtx/mpgtx.h"

#include <string>
#include <vector>

namespace engines {

class FakeMpgtx : public Mpgtx {
  public:
    bool sendMessages = false; // post by default

    std::vector<std::string> checkedPaths; // in call order
    std::vector<std::string> demuxInputs;
    std::vector<std::string> demuxOutputs;

    void mpgtx_Checkfile(_mpgtx_check_param_* param) override;
    void mpgtx_Demuxer(_mpgtx_demuxer_param_* param) override;

    // The pending check reports: results and the refusal reason into the record, then 2025 with
    // the invalid flag. False when no check is pending.
    bool CompleteCheck(bool invalid, std::int64_t size = 0, float seconds = 0, int width = 0,
                       int height = 0, float frameRate = 0, const std::string& reason = {});

    // Reports of the running demultiplex; false when none runs.
    bool DemuxProgress(float percent);
    // Writes the two streams (of these sizes) beside the output base and reports the end.
    bool DemuxDone(std::size_t videoBytes = 2048, std::size_t audioBytes = 1024);
    bool DemuxFail(const std::string& errorText);
    bool AbortRequested() const;

  private:
    _mpgtx_check_param_* check_ = nullptr;
    _mpgtx_demuxer_param_* demux_ = nullptr;
};

} // namespace engines
