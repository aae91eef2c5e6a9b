#include "engines/cd/system_cd_engine.h"

#include "engines/checks/mpeg_compat.h"

namespace engines {

std::unique_ptr<CdEngine> MakeSystemCdEngine() {
    SystemCdConfig config;
    config.scan = [](const std::string& path, DiscKind kind, const std::atomic<int>* cancel) {
        return CheckMpegFile(path, kind, cancel);
    };
    return MakeSystemCdEngine(std::move(config));
}

} // namespace engines
