#include "engines/mpgtx/fake_mpgtx.h"

#include "engines/fake_delivery.h"

#include <cstdio>
#include <fstream>

namespace engines {

namespace {
bool WriteBytes(const std::string& path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string block(bytes, '\0');
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    return static_cast<bool>(out);
}
} // namespace

void FakeMpgtx::mpgtx_Checkfile(_mpgtx_check_param_* param) {
    check_ = param;
    param->path[sizeof param->path - 1] = '\0';
    checkedPaths.push_back(param->path);
}

void FakeMpgtx::mpgtx_Demuxer(_mpgtx_demuxer_param_* param) {
    demux_ = param;
    param->input[sizeof param->input - 1] = '\0';
    param->outputBase[sizeof param->outputBase - 1] = '\0';
    demuxInputs.push_back(param->input);
    demuxOutputs.push_back(param->outputBase);
}

bool FakeMpgtx::CompleteCheck(bool invalid, std::int64_t size, float seconds, int width, int height,
                              float frameRate, const std::string& reason) {
    _mpgtx_check_param_* p = check_;
    if (!p) return false;
    check_ = nullptr; // the handler may start the next check at once
    p->fileSize = size;
    p->seconds = seconds;
    p->width = width;
    p->height = height;
    p->frameRate = frameRate;
    SetCheckRefusalReason(*p, reason);
    DeliverToWindow(sendMessages, p->window, static_cast<unsigned>(p->message), invalid ? 1 : 0, 0);
    return true;
}

bool FakeMpgtx::DemuxProgress(float percent) {
    if (!demux_) return false;
    SetDemuxPercent(*demux_, percent);
    DeliverToWindow(sendMessages, demux_->window, static_cast<unsigned>(demux_->message), 1, 0);
    return true;
}

bool FakeMpgtx::DemuxDone(std::size_t videoBytes, std::size_t audioBytes) {
    _mpgtx_demuxer_param_* p = demux_;
    if (!p) return false;
    demux_ = nullptr;
    std::string base = p->outputBase;
    if (!WriteBytes(base + ".m2v", videoBytes) || !WriteBytes(base + ".mpa", audioBytes)) {
        std::snprintf(p->errorText, sizeof p->errorText, "Cannot write %s", base.c_str());
        DeliverToWindow(sendMessages, p->window, static_cast<unsigned>(p->message), 0, 1);
        return true;
    }
    DeliverToWindow(sendMessages, p->window, static_cast<unsigned>(p->message), 0, 0);
    return true;
}

bool FakeMpgtx::DemuxFail(const std::string& errorText) {
    _mpgtx_demuxer_param_* p = demux_;
    if (!p) return false;
    demux_ = nullptr;
    std::snprintf(p->errorText, sizeof p->errorText, "%s", errorText.c_str());
    DeliverToWindow(sendMessages, p->window, static_cast<unsigned>(p->message), 0, 1);
    return true;
}

bool FakeMpgtx::AbortRequested() const {
    return demux_ && DemuxAbortRequested(*demux_);
}

} // namespace engines
