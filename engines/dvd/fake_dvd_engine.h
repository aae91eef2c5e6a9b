// A scripted DVD engine for tests: devices with their media, failures per role, a log of calls in
// order, and a write whose progress events, abort and end the test feeds step by step.
#pragma once

#include "engines/dvd/dvd_engine.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace engines {

struct FakeDvdMedium {
    bool present = true;
    std::int32_t discType = 0;
    std::uint8_t erasable = 0;
    std::int32_t trackValue16 = 0; // 0: blank

    static FakeDvdMedium BlankDvdR() { return {true, 5, 0, 0}; }
    static FakeDvdMedium BlankDvdRw() { return {true, 7, 1, 0}; }
    static FakeDvdMedium DvdRwWithData() { return {true, 7, 1, 4096}; }
    static FakeDvdMedium DvdRWithData() { return {true, 5, 0, 4096}; }
    static FakeDvdMedium CdR() { return {true, 1, 0, 0}; }
    static FakeDvdMedium NoDisc() { return {false, 0, 0, 0}; }
};

struct FakeDvdDevice {
    DvdDeviceAddress address;
    std::string vendor, product;
    std::string name = "\\\\.\\E:"; // what GetDeviceNameByDeviceAddress gives
    bool writesDvd = true;
    FakeDvdMedium medium;
};

struct FakeDvdFailure {
    std::uint32_t exception = 1;
    std::int32_t status = 0;
    std::string text;
};

// One step of a write: a progress event, or the end of TrackAtOnceFromTree.
struct FakeDvdWriteStep {
    enum Kind { kProgress, kReturn, kAwaitAbort } kind;
    int event = 0;
    std::uint64_t total = 0, done = 0;
    FakeDvdFailure result{0, kDvdStatusPreset, ""}; // for kReturn; exception 0 is success
};

class FakeDvdEngine : public DvdEngine {
  public:
    std::vector<FakeDvdDevice> devices;
    // Roles named here ("UpStart", "Create", "TestUnitReady", "Erase", ...) fail with the entry.
    std::map<std::string, FakeDvdFailure> failures;
    std::set<std::string> refusedFiles; // file nodes refused although the file exists
    std::int32_t bupSupported = 1;
    std::int32_t taoSupported = 1;

    // The write: steps are taken in order while TrackAtOnceFromTree runs; it waits for more while
    // the script is empty. kAwaitAbort waits until Abort is called, then returns the abort code.
    void PushWriteStep(const FakeDvdWriteStep& step);
    void PushProgress(int event, std::uint64_t total, std::uint64_t done);
    void PushWriteEnd(std::uint32_t exception = 0);
    void PushAwaitAbort();

    std::vector<std::string> Calls() const;
    std::vector<std::string> FileNodes() const; // paths in the order added
    std::string udfLabel;
    int Running() const; // UpStart minus ShutDown
    int OpenDevices() const;
    int LiveNodes() const;

    std::uint32_t UpStart() override;
    void ShutDown() override;
    std::uint32_t FindDevice(int kind, int flags, DvdFindDeviceFn fn, void* context) override;
    void ReleaseDevice(DvdDevice** device) override;
    std::uint32_t GetDeviceNameByDeviceAddress(const DvdDeviceAddress& address, char* name,
                                               std::size_t size) override;
    std::uint32_t Create(DvdDevice** device, DvdCallContext& ctx, DvdProgressFn fn, void* fnContext,
                         const DvdDeviceAddress& address, int flags) override;
    std::uint32_t GetDeviceInformation(DvdDevice* device, DvdCallContext& ctx,
                                       DvdIdentity& identity) override;
    std::uint32_t GetCapabilities(DvdDevice* device, DvdCallContext& ctx,
                                  std::int32_t (&flags)[10]) override;
    std::uint32_t GetExCapabilities(DvdDevice* device, DvdCallContext& ctx,
                                    std::int32_t (&flags)[6]) override;
    std::uint32_t TestUnitReady(DvdDevice* device, DvdCallContext& ctx) override;
    std::uint32_t GetBUP(DvdDevice* device, DvdCallContext& ctx, std::int32_t& enabled,
                         std::int32_t& supported) override;
    std::uint32_t SetBUP(DvdDevice* device, DvdCallContext& ctx, std::int32_t on) override;
    std::uint32_t GetSpeeds(DvdDevice* device, DvdCallContext& ctx,
                            std::int32_t (&speeds)[4]) override;
    std::uint32_t SetSpeeds(DvdDevice* device, DvdCallContext& ctx, std::uint32_t read,
                            std::uint32_t write) override;
    std::uint32_t PrepareWrite(DvdDevice* device, DvdCallContext& ctx) override;
    std::uint32_t TrackAtOnceFromTree(DvdDevice* device, DvdCallContext& ctx, DvdUdfTree* tree,
                                      int a, int b, int c, int d, int e) override;
    std::uint32_t FinishWrite(DvdDevice* device, DvdCallContext& ctx) override;
    std::uint32_t Eject(DvdDevice* device, DvdCallContext& ctx) override;
    std::uint32_t Erase(DvdDevice* device, DvdCallContext& ctx, int mode) override;
    std::uint32_t GetTrackInformation(DvdDevice* device, DvdCallContext& ctx, int track,
                                      DvdTrackInformation& info) override;
    std::uint32_t GetDiscInformation(DvdDevice* device, DvdCallContext& ctx,
                                     DvdDiscInformation& info) override;
    std::uint32_t ProbeSupportedWriteModes(DvdDevice* device, DvdCallContext& ctx,
                                           std::int32_t (&modes)[4]) override;
    std::int32_t GetDiscType(DvdDevice* device) override;
    std::uint32_t Abort(DvdDevice* device) override;
    std::uint32_t BuildUdf(DvdTreeNode* root, DvdTreeNode* videoTs, DvdTreeNode* audioTs,
                           const char* label, DvdUdfTree** tree, DvdCallContext& ctx) override;
    void ReleaseUdf(DvdUdfTree* tree) override;
    std::uint32_t AddFileNode(const char* path, int id, DvdTreeNode* parent,
                              DvdTreeNode** node) override;
    std::uint32_t AddDirectoryNode(const char* name, int id, DvdTreeNode* parent,
                                   DvdTreeNode** node) override;
    void ReleaseNodes(DvdTreeNode** nodes, int count) override;

  private:
    void Log(const std::string& call);
    // Logs the call; when the role is scripted to fail, fills the context and returns the code.
    std::uint32_t Role(const std::string& role, DvdCallContext* ctx, const std::string& shown = "");
    const FakeDvdMedium* MediumOf(DvdDevice* device) const;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> calls_;
    std::vector<std::string> fileNodes_;
    std::deque<FakeDvdWriteStep> steps_;
    bool abortRequested_ = false;
    DvdProgressFn progress_ = nullptr; // of the last Create
    void* progressContext_ = nullptr;
    int running_ = 0;
    // Handles are addresses of these records, cast to the engine's opaque types.
    struct Handle {
        int device = -1; // index into devices
        std::string name;
    };
    std::map<const void*, std::unique_ptr<Handle>> devicesOpen_, nodes_, trees_;
};

} // namespace engines
