#include "engines/mjpgtools/fake_mplex.h"

#include <fstream>

namespace engines {

std::vector<FakeMplex::Call> FakeMplex::Calls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

void FakeMplex::mplex(MplexParam* param) {
    Call call;
    call.param = *param;
    param->pattern[sizeof param->pattern - 1] = '\0';
    call.pattern = param->pattern;
    if (param->inputs) {
        if (param->inputs[0]) call.video = param->inputs[0];
        if (param->inputs[0] && param->inputs[1]) call.audio = param->inputs[1];
    }
    FakeMplexRun run;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (calls_.size() < script.size()) run = script[calls_.size()];
        calls_.push_back(call);
    }
    for (std::size_t i = 0; i < run.segmentBytes.size(); ++i) {
        // The burner's %d is the last one; a '%' in the folder part stays as it is.
        std::string path = call.pattern;
        std::size_t at = path.rfind("%d");
        if (at == std::string::npos) break;
        path.replace(at, 2, std::to_string(i + 1));
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        std::string block(run.segmentBytes[i], '\0');
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    if (run.status) param->status = *run.status;
}

} // namespace engines
