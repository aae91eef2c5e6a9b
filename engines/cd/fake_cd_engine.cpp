#include "engines/cd/fake_cd_engine.h"

#include <cstring>

namespace engines {

std::vector<std::string> FakeCdEngine::Calls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

std::int32_t FakeCdEngine::Call(const std::string& name, const std::string& shown) {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back(shown.empty() ? name : shown);
    auto it = failures.find(name);
    return it == failures.end() ? 0 : it->second;
}

bool FakeCdEngine::FireProcess(float percent) {
    if (!process_) return false;
    process_(percent, 0, 0, 0, 0, 0, 0, processUser_);
    return true;
}

bool FakeCdEngine::FireFinalize() {
    if (!finalize_) return false;
    finalize_(finalizeUser_);
    return true;
}

bool FakeCdEngine::FireBurnDone(const char* errorText) {
    if (!burnDone_) return false;
    burnDone_(errorText, burnDoneUser_);
    return true;
}

bool FakeCdEngine::FireEraseDone() {
    if (!eraseDone_) return false;
    eraseDone_(0, eraseDoneUser_);
    return true;
}

bool FakeCdEngine::FireScanProgress(float percent) {
    if (!scanProgress_) return false;
    scanProgress_(percent, 0, scanProgressUser_);
    return true;
}

bool FakeCdEngine::FireScanDone(const std::string& path, bool invalid, int width, int height,
                                int bitRate, double frameRate) {
    if (!scanDone_) return false;
    scanDone_(path.c_str(), 0, invalid ? 1 : 0, 0, width, height, bitRate, frameRate, 0, 0,
              scanDoneUser_);
    return true;
}

std::int32_t FakeCdEngine::Initialize(const char*, int value) {
    return Call("Initialize", "Initialize(" + std::to_string(value) + ")");
}

std::int32_t FakeCdEngine::CreateProject(std::int32_t kind) {
    std::int32_t r = Call("CreateProject", "CreateProject(" + std::to_string(kind) + ")");
    if (r == 0) project = kind;
    return r;
}

std::int32_t FakeCdEngine::DeleteProject() {
    std::int32_t r = Call("DeleteProject", "");
    if (r == 0) project = 0;
    return r;
}

std::int32_t FakeCdEngine::ClearAll() {
    std::int32_t r = Call("ClearAll", "");
    if (r == 0) addedFiles.clear();
    return r;
}

std::int32_t FakeCdEngine::AddFile(CdFileRecord record) {
    std::int32_t r = Call("AddFile", "AddFile(" + std::string(record.sourcePath) + ")");
    if (r == 0) addedFiles.push_back(record);
    return r;
}

std::int32_t FakeCdEngine::GetDevices(CdDeviceList& list, std::int32_t& count, int reserved) {
    std::int32_t r = Call("GetDevices", "GetDevices(" + std::to_string(reserved) + ")");
    if (r != 0) return r;
    std::memset(list, 0, sizeof list);
    count = 0;
    for (const FakeCdDevice& d : devices) {
        if (count == kCdDeviceSlots) break;
        CopyCdText(list[count++], kCdDeviceTextSize, d.text);
    }
    return 0;
}

std::int32_t FakeCdEngine::SetDevice(char driveLetter) {
    std::int32_t r = Call("SetDevice", std::string("SetDevice(") + driveLetter + ")");
    if (r != 0) return r;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!devices[i].text.empty() && devices[i].text[0] == driveLetter) {
            currentDevice = static_cast<int>(i);
            return 0;
        }
    }
    return 1;
}

std::int32_t FakeCdEngine::GetDeviceCapabilities(std::uint32_t& mask) {
    std::int32_t r = Call("GetDeviceCapabilities", "");
    if (r != 0) return r;
    if (currentDevice < 0) return 1;
    mask = devices[currentDevice].capabilities;
    return 0;
}

std::int32_t FakeCdEngine::GetMediumInformation(CdMediumInfo& info) {
    std::int32_t r = Call("GetMediumInformation", "");
    if (r != 0) return r;
    if (currentDevice < 0) return 1;
    const FakeCdMedium& m = devices[currentDevice].medium;
    if (m.result != 0) return m.result;
    CopyCdText(info.typeName, sizeof info.typeName, m.typeName);
    info.status = m.status;
    return 0;
}

std::int32_t FakeCdEngine::GetOptions(CdBurnOptions& options) {
    std::int32_t r = Call("GetOptions", "");
    if (r == 0) options = currentOptions;
    return r;
}

std::int32_t FakeCdEngine::SetOptions(CdBurnOptions options) {
    std::int32_t r = Call("SetOptions", "");
    if (r == 0) {
        setOptions.push_back(options);
        currentOptions = options;
    }
    return r;
}

std::int32_t FakeCdEngine::Prepare() {
    return Call("Prepare", "");
}
std::int32_t FakeCdEngine::Burn() {
    return Call("Burn", "");
}

std::int32_t FakeCdEngine::Erase(int mode) {
    return Call("Erase", "Erase(" + std::to_string(mode) + ")");
}

std::int32_t FakeCdEngine::Abort() {
    return Call("Abort", "");
}
std::int32_t FakeCdEngine::EjectDevice() {
    return Call("EjectDevice", "");
}

std::int32_t FakeCdEngine::GetText(std::int32_t code, char* buffer, std::int32_t& size) {
    std::int32_t r =
        Call("GetText", "GetText(" + std::to_string(code) + "," + std::to_string(size) + ")");
    if (r != 0) return r;
    auto it = texts.find(code);
    std::string text = it != texts.end() ? it->second : "engine error " + std::to_string(code);
    if (size <= 0) return 1;
    CopyCdText(buffer, static_cast<std::size_t>(size), text);
    size = static_cast<std::int32_t>(std::strlen(buffer));
    return 0;
}

std::int32_t FakeCdEngine::SetVideoScannerEventCallback(CdScanProgressFn fn, void* user) {
    scanProgress_ = fn;
    scanProgressUser_ = user;
    return Call("SetVideoScannerEventCallback", "");
}

std::int32_t FakeCdEngine::SetVideoScanDoneEventCallback(CdScanDoneFn fn, void* user) {
    scanDone_ = fn;
    scanDoneUser_ = user;
    return Call("SetVideoScanDoneEventCallback", "");
}

std::int32_t FakeCdEngine::SetProcessEventCallback(CdProcessFn fn, void* user) {
    process_ = fn;
    processUser_ = user;
    return Call("SetProcessEventCallback", "");
}

std::int32_t FakeCdEngine::SetFinalizeEventCallback(CdFinalizeFn fn, void* user) {
    finalize_ = fn;
    finalizeUser_ = user;
    return Call("SetFinalizeEventCallback", "");
}

std::int32_t FakeCdEngine::SetBurnDoneEventCallback(CdBurnDoneFn fn, void* user) {
    burnDone_ = fn;
    burnDoneUser_ = user;
    return Call("SetBurnDoneEventCallback", "");
}

std::int32_t FakeCdEngine::SetEraseDoneEventCallback(CdEraseDoneFn fn, void* user) {
    eraseDone_ = fn;
    eraseDoneUser_ = user;
    return Call("SetEraseDoneEventCallback", "");
}

} // namespace engines
