// The DVD burning engine by the roles the burner uses it in. Every operation starts the engine,
// works and shuts it down again. Device calls take a call context (a text buffer, a status that
// the caller presets to 31, exception information) and return an exception code, 0 for success.
#pragma once

#include <cstddef>
#include <cstdint>

namespace engines {

constexpr std::int32_t kDvdStatusPreset = 31;
// TrackAtOnceFromTree returns this with the status untouched when the write was aborted.
constexpr std::uint32_t kDvdAbortException = 14;
// FindDevice callback: a device was found.
constexpr int kDvdDeviceFoundEvent = 10;
// Progress callback events: the engine finalizes; a block was written.
constexpr int kDvdFinalizeEvent = 8;
constexpr int kDvdWrittenEvent = 12;
constexpr std::uint32_t kDvdMaxSpeed = 0xFFFF;
constexpr int kDvdLastTrack = 0xFF;
// Create flags the burner passes: while listing, for the disc check, for erase and write.
constexpr int kDvdCreateForListing = 1;
constexpr int kDvdCreateForDiscCheck = 0;
constexpr int kDvdCreateForWriting = 64;

// Disc type codes 5 to 9 and 13 are writable DVDs.
constexpr bool IsWritableDvdType(std::int32_t type) {
    return (type >= 5 && type <= 9) || type == 13;
}

struct DvdExceptionInfo {
    std::uint32_t code = 0;
    std::uint32_t detail = 0;
};

struct DvdCallContext {
    char text[1024] = {};
    std::int32_t status = kDvdStatusPreset;
    DvdExceptionInfo exception;
};

struct DvdDeviceAddress {
    std::uint8_t port = 0, bus = 0, targetId = 0, lun = 0;
    bool operator==(const DvdDeviceAddress&) const = default;
};

struct DvdIdentity {
    char vendor[9] = {};   // up to 8 characters
    char product[19] = {}; // up to 18 characters
    char revision[5] = {};
};

#pragma pack(push, 1)
// Of these records the burner reads byte 3 of the disc information (erasable: 1) and the int32
// at byte 16 of the track information (0 on a blank disc); the rest belongs to the engine.
struct DvdDiscInformation {
    std::uint8_t head[3];
    std::uint8_t erasable;
    std::uint8_t rest[28];
};
static_assert(offsetof(DvdDiscInformation, erasable) == 3);
struct DvdTrackInformation {
    std::uint8_t head[16];
    std::int32_t value16;
    std::uint8_t rest[16];
};
static_assert(offsetof(DvdTrackInformation, value16) == 16);
#pragma pack(pop)

// Handles owned by the engine.
struct DvdDevice;
struct DvdUdfTree;
struct DvdTreeNode;

using DvdFindDeviceFn = void (*)(int event, const DvdDeviceAddress& address, void* context);
using DvdProgressFn = void (*)(int event, void* context, std::uint64_t total, std::uint64_t done);

class DvdEngine {
  public:
    virtual ~DvdEngine() = default;

    virtual std::uint32_t UpStart() = 0;
    virtual void ShutDown() = 0;
    virtual std::uint32_t FindDevice(int kind, int flags, DvdFindDeviceFn fn, void* context) = 0;
    virtual void ReleaseDevice(DvdDevice** device) = 0;
    virtual std::uint32_t GetDeviceNameByDeviceAddress(const DvdDeviceAddress& address, char* name,
                                                       std::size_t size) = 0;

    virtual std::uint32_t Create(DvdDevice** device, DvdCallContext& ctx, DvdProgressFn fn,
                                 void* fnContext, const DvdDeviceAddress& address, int flags) = 0;
    virtual std::uint32_t GetDeviceInformation(DvdDevice* device, DvdCallContext& ctx,
                                               DvdIdentity& identity) = 0;
    virtual std::uint32_t GetCapabilities(DvdDevice* device, DvdCallContext& ctx,
                                          std::int32_t (&flags)[10]) = 0;
    virtual std::uint32_t GetExCapabilities(DvdDevice* device, DvdCallContext& ctx,
                                            std::int32_t (&flags)[6]) = 0; // [2]: writes DVD
    virtual std::uint32_t TestUnitReady(DvdDevice* device, DvdCallContext& ctx) = 0;
    virtual std::uint32_t GetBUP(DvdDevice* device, DvdCallContext& ctx, std::int32_t& enabled,
                                 std::int32_t& supported) = 0;
    virtual std::uint32_t SetBUP(DvdDevice* device, DvdCallContext& ctx, std::int32_t on) = 0;
    virtual std::uint32_t GetSpeeds(DvdDevice* device, DvdCallContext& ctx,
                                    std::int32_t (&speeds)[4]) = 0;
    virtual std::uint32_t SetSpeeds(DvdDevice* device, DvdCallContext& ctx, std::uint32_t read,
                                    std::uint32_t write) = 0;
    virtual std::uint32_t PrepareWrite(DvdDevice* device, DvdCallContext& ctx) = 0;
    virtual std::uint32_t TrackAtOnceFromTree(DvdDevice* device, DvdCallContext& ctx,
                                              DvdUdfTree* tree, int a, int b, int c, int d,
                                              int e) = 0;
    virtual std::uint32_t FinishWrite(DvdDevice* device, DvdCallContext& ctx) = 0;
    virtual std::uint32_t Eject(DvdDevice* device, DvdCallContext& ctx) = 0;
    virtual std::uint32_t Erase(DvdDevice* device, DvdCallContext& ctx, int mode) = 0;
    virtual std::uint32_t GetTrackInformation(DvdDevice* device, DvdCallContext& ctx, int track,
                                              DvdTrackInformation& info) = 0;
    virtual std::uint32_t GetDiscInformation(DvdDevice* device, DvdCallContext& ctx,
                                             DvdDiscInformation& info) = 0;
    virtual std::uint32_t ProbeSupportedWriteModes(DvdDevice* device, DvdCallContext& ctx,
                                                   std::int32_t (&modes)[4]) = 0; // [0]: TAO
    virtual std::int32_t GetDiscType(DvdDevice* device) = 0;
    // From another thread than the one writing.
    virtual std::uint32_t Abort(DvdDevice* device) = 0;

    virtual std::uint32_t BuildUdf(DvdTreeNode* root, DvdTreeNode* videoTs, DvdTreeNode* audioTs,
                                   const char* label, DvdUdfTree** tree, DvdCallContext& ctx) = 0;
    virtual void ReleaseUdf(DvdUdfTree* tree) = 0;
    // Fails when the file cannot be opened.
    virtual std::uint32_t AddFileNode(const char* path, int id, DvdTreeNode* parent,
                                      DvdTreeNode** node) = 0;
    virtual std::uint32_t AddDirectoryNode(const char* name, int id, DvdTreeNode* parent,
                                           DvdTreeNode** node) = 0;
    // Releases the filled slots among the first count and clears them.
    virtual void ReleaseNodes(DvdTreeNode** nodes, int count) = 0;
};

} // namespace engines
