// A scripted CD engine for tests: a table of devices with their media, error codes per call, a log
// of every call in order, and events that fire only when the test asks, in whatever order it asks.
#pragma once

#include "engines/cd/cd_engine.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace engines {

struct FakeCdMedium {
    std::int32_t result = 0; // what GetMediumInformation returns: 0, kCdNoDisc or another code
    std::string typeName;
    std::int32_t status = 0; // 0: empty

    static FakeCdMedium BlankCdR() { return {0, "CD-R", 0}; }
    static FakeCdMedium BlankCdRw() { return {0, "CD-RW", 0}; }
    static FakeCdMedium CdRWithData() { return {0, "CD-R", 1}; }
    static FakeCdMedium CdRwWithData() { return {0, "CD-RW", 1}; }
    static FakeCdMedium Dvd() { return {0, "DVD-R", 0}; }
    static FakeCdMedium NoDisc() { return {kCdNoDisc, "", 0}; }
};

struct FakeCdDevice {
    std::string text; // first character: the drive letter
    std::uint32_t capabilities = kCdWriterCapabilities;
    FakeCdMedium medium;
};

class FakeCdEngine : public CdEngine {
  public:
    std::vector<FakeCdDevice> devices;
    // A call named here ("Burn", "SetOptions", ...) returns the code instead of doing its work.
    std::map<std::string, std::int32_t> failures;
    // Texts of GetText; codes without one read "engine error <code>".
    std::map<std::int32_t, std::string> texts;

    // What the engine has been given.
    std::vector<std::string> Calls() const;
    std::vector<CdFileRecord> addedFiles;
    std::vector<CdBurnOptions> setOptions;
    std::int32_t project = 0; // kind of the current project, 0 when none
    int currentDevice = -1;
    // What GetOptions reports as the engine's current options.
    CdBurnOptions currentOptions = PresetCdBurnOptions();

    // Events, delivered on the caller's thread to whatever is registered; false if nothing is.
    bool FireProcess(float percent);
    bool FireFinalize();
    bool FireBurnDone(const char* errorText);
    bool FireEraseDone();
    bool FireScanProgress(float percent);
    bool FireScanDone(const std::string& path, bool invalid, int width, int height, int bitRate,
                      double frameRate);

    std::int32_t Initialize(const char* text, int value) override;
    std::int32_t CreateProject(std::int32_t kind) override;
    std::int32_t DeleteProject() override;
    std::int32_t ClearAll() override;
    std::int32_t AddFile(CdFileRecord record) override;
    std::int32_t GetDevices(CdDeviceList& list, std::int32_t& count, int reserved) override;
    std::int32_t SetDevice(char driveLetter) override;
    std::int32_t GetDeviceCapabilities(std::uint32_t& mask) override;
    std::int32_t GetMediumInformation(CdMediumInfo& info) override;
    std::int32_t GetOptions(CdBurnOptions& options) override;
    std::int32_t SetOptions(CdBurnOptions options) override;
    std::int32_t Prepare() override;
    std::int32_t Burn() override;
    std::int32_t Erase(int mode) override;
    std::int32_t Abort() override;
    std::int32_t EjectDevice() override;
    std::int32_t GetText(std::int32_t code, char* buffer, std::int32_t& size) override;
    std::int32_t SetVideoScannerEventCallback(CdScanProgressFn fn, void* user) override;
    std::int32_t SetVideoScanDoneEventCallback(CdScanDoneFn fn, void* user) override;
    std::int32_t SetProcessEventCallback(CdProcessFn fn, void* user) override;
    std::int32_t SetFinalizeEventCallback(CdFinalizeFn fn, void* user) override;
    std::int32_t SetBurnDoneEventCallback(CdBurnDoneFn fn, void* user) override;
    std::int32_t SetEraseDoneEventCallback(CdEraseDoneFn fn, void* user) override;

  private:
    std::int32_t Call(const std::string& name, const std::string& shown);

    mutable std::mutex lock_;
    std::vector<std::string> calls_;
    CdScanProgressFn scanProgress_ = nullptr;
    void* scanProgressUser_ = nullptr;
    CdScanDoneFn scanDone_ = nullptr;
    void* scanDoneUser_ = nullptr;
    CdProcessFn process_ = nullptr;
    void* processUser_ = nullptr;
    CdFinalizeFn finalize_ = nullptr;
    void* finalizeUser_ = nullptr;
    CdBurnDoneFn burnDone_ = nullptr;
    void* burnDoneUser_ = nullptr;
    CdEraseDoneFn eraseDone_ = nullptr;
    void* eraseDoneUser_ = nullptr;
};

} // namespace engines
