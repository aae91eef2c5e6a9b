#include "burner/writers/cd_scan_project.h"

using namespace engines;

const char kCdEngineInitText[] = "Pellam";

namespace {

void OnProgressEvent(float percent, int, void* user) {
    static_cast<CdScanHost*>(user)->OnScanProgress(percent);
}

void OnDoneEvent(const char* path, int, int invalid, int, int width, int height, int bitRate,
                 double frameRate, int, int, void* user) {
    static_cast<CdScanHost*>(user)->OnScanDone(path, invalid != 0, width, height, bitRate,
                                               frameRate);
}

} // namespace

CdScanProject::CdScanProject(CdEngine& engine, CdWriter& errors, int kind, CdScanHost& progress,
                             CdScanHost& done)
    : engine_(engine), errors_(errors), kind_(kind), progress_(progress), done_(done) {}

void CdScanProject::Start() {
    errors_.ShowEngineError(engine_.Initialize(kCdEngineInitText, 1));
    engine_.SetVideoScannerEventCallback(OnProgressEvent, &progress_);
    engine_.SetVideoScanDoneEventCallback(OnDoneEvent, &done_);
    errors_.ShowEngineError(engine_.CreateProject(kind_));
}

bool CdScanProject::AddFile(const std::string& mpegPath) {
    std::int32_t r = engine_.AddFile(MakeCdScanRecord(mpegPath));
    errors_.ShowEngineError(r);
    return r == 0;
}

void CdScanProject::RemoveOne() {
    engine_.ClearAll();
}
void CdScanProject::RemoveAll() {
    errors_.ShowEngineError(engine_.ClearAll());
}
void CdScanProject::BeforeBurnDialog() {
    errors_.ShowEngineError(engine_.DeleteProject());
}

void CdScanProject::AfterBurnDialog() {
    errors_.ShowEngineError(engine_.DeleteProject());
    errors_.ShowEngineError(engine_.CreateProject(kind_));
}
