// The CD burning engine as the burner drives it: one current project and one current device,
// every call returning 0 or an error code that GetText turns into a text, and events delivered
// through callbacks registered with a user-data pointer, from a thread of the engine's choosing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace engines {

// Error codes the burner tests by value.
constexpr std::int32_t kCdNoDisc = 23;       // GetMediumInformation, Burn
constexpr std::int32_t kCdNoBlankDiscA = 21; // Burn
constexpr std::int32_t kCdNoBlankDiscB = 22; // Burn

// Project kinds of CreateProject.
constexpr std::int32_t kCdProjectBurnImage = 1;
constexpr std::int32_t kCdProjectVideoCd = 3;
constexpr std::int32_t kCdProjectSuperVideoCd = 4;

// GetDevices fills 26 entries of 50 bytes; each is a display text starting with the drive letter.
constexpr int kCdDeviceSlots = 26;
constexpr int kCdDeviceTextSize = 50;
using CdDeviceList = char[kCdDeviceSlots][kCdDeviceTextSize];
static_assert(sizeof(CdDeviceList) == 1300);

// A device writes CDs when its capability mask has one of these bits.
constexpr std::uint32_t kCdWriterCapabilities = 0x600;

#pragma pack(push, 1)

struct CdMediumInfo {
    char typeName[28];   // "CD-R", "CD-RW", "DVD-R", ...
    std::int32_t status; // 0: the disc is empty
    double value32;
    double value40;
    double value48;
    std::int32_t value56;
    std::int32_t value60;
    std::int32_t value64;
    std::int16_t value68;
};
static_assert(sizeof(CdMediumInfo) == 70);
static_assert(offsetof(CdMediumInfo, status) == 28);
static_assert(offsetof(CdMediumInfo, value32) == 32);
static_assert(offsetof(CdMediumInfo, value56) == 56);
static_assert(offsetof(CdMediumInfo, value68) == 68);

struct CdBurnOptions {
    char label[128];
    std::int32_t value128;
    std::int8_t value132;
    std::int8_t value133;
    char text134[260];
    std::int8_t value394;
    std::int8_t value395;
    std::int8_t value396;
    std::int8_t value397;
    std::uint8_t unset398[2];
    std::int32_t value400; // the burn sets 8388608
    std::int8_t value404;
    std::int8_t value405; // erase sets 0, burn sets 1
    std::uint8_t unset406[2];
    std::int32_t value408;
};
static_assert(sizeof(CdBurnOptions) == 412);
static_assert(offsetof(CdBurnOptions, value128) == 128);
static_assert(offsetof(CdBurnOptions, text134) == 134);
static_assert(offsetof(CdBurnOptions, value394) == 394);
static_assert(offsetof(CdBurnOptions, value400) == 400);
static_assert(offsetof(CdBurnOptions, value405) == 405);
static_assert(offsetof(CdBurnOptions, value408) == 408);

struct CdFileRecord {
    char sourcePath[260];
    char targetFolder[260];
    std::uint8_t flag; // 1 for a scan, 0 for a burn
    std::uint8_t unset521[3];
    std::int32_t value; // 0 for a scan, 2 for a burn
};
static_assert(sizeof(CdFileRecord) == 528);
static_assert(offsetof(CdFileRecord, targetFolder) == 260);
static_assert(offsetof(CdFileRecord, flag) == 520);
static_assert(offsetof(CdFileRecord, value) == 524);

#pragma pack(pop)

// The records as the burner presets them before handing them to the engine.
CdMediumInfo PresetCdMediumInfo();
CdBurnOptions PresetCdBurnOptions();
// Add-file records: a scan of an MPEG file (flag 1, value 0) and the burn of a cue file (flag 0,
// value 2), both with the target folder "\". Paths longer than the field are cut.
CdFileRecord MakeCdScanRecord(const std::string& mpegPath);
CdFileRecord MakeCdBurnRecord(const std::string& cuePath);

// Copies text into a fixed field, always zero-terminated, cut to fit.
void CopyCdText(char* field, std::size_t size, const std::string& text);

// Event functions. The frame rate of the scan-done event is one double filling two parameter
// places of the engine's twelve.
using CdScanProgressFn = void (*)(float percent, int reserved, void* user);
using CdScanDoneFn = void (*)(const char* path, int unused2, int invalid, int unused4, int width,
                              int height, int bitRate, double frameRate, int unused10, int unused11,
                              void* user);
using CdProcessFn = void (*)(float percent, int unused2, int unused3, int unused4, int unused5,
                             int unused6, int unused7, void* user);
using CdFinalizeFn = void (*)(void* user);
using CdBurnDoneFn = void (*)(const char* errorText, void* user);
using CdEraseDoneFn = void (*)(int unused, void* user);

class CdEngine {
  public:
    virtual ~CdEngine() = default;

    virtual std::int32_t Initialize(const char* text, int value) = 0;
    virtual std::int32_t CreateProject(std::int32_t kind) = 0;
    virtual std::int32_t DeleteProject() = 0;
    virtual std::int32_t ClearAll() = 0;
    virtual std::int32_t AddFile(CdFileRecord record) = 0;
    virtual std::int32_t GetDevices(CdDeviceList& list, std::int32_t& count, int reserved) = 0;
    virtual std::int32_t SetDevice(char driveLetter) = 0;
    virtual std::int32_t GetDeviceCapabilities(std::uint32_t& mask) = 0;
    virtual std::int32_t GetMediumInformation(CdMediumInfo& info) = 0;
    virtual std::int32_t GetOptions(CdBurnOptions& options) = 0;
    virtual std::int32_t SetOptions(CdBurnOptions options) = 0;
    virtual std::int32_t Prepare() = 0;
    virtual std::int32_t Burn() = 0;
    virtual std::int32_t Erase(int mode) = 0;
    virtual std::int32_t Abort() = 0;
    virtual std::int32_t EjectDevice() = 0;
    // size holds the buffer size on input.
    virtual std::int32_t GetText(std::int32_t code, char* buffer, std::int32_t& size) = 0;

    virtual std::int32_t SetVideoScannerEventCallback(CdScanProgressFn fn, void* user) = 0;
    virtual std::int32_t SetVideoScanDoneEventCallback(CdScanDoneFn fn, void* user) = 0;
    virtual std::int32_t SetProcessEventCallback(CdProcessFn fn, void* user) = 0;
    virtual std::int32_t SetFinalizeEventCallback(CdFinalizeFn fn, void* user) = 0;
    virtual std::int32_t SetBurnDoneEventCallback(CdBurnDoneFn fn, void* user) = 0;
    virtual std::int32_t SetEraseDoneEventCallback(CdEraseDoneFn fn, void* user) = 0;

    // Why the video scanner refused the file of its last scan-done event ("" when it was
    // accepted, or when the engine gives no reasons). Valid from within that event on.
    virtual std::string ScanRefusalReason() const { return {}; }
};

} // namespace engines
