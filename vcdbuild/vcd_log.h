// The image builder's log: every message, warning, error and progress report of a build goes
// through one CVcdLog, either to the console streams or, in window mode, as synchronous messages
// to a host window.
#pragma once

#include "platform/window_message.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#define VCD_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

enum VcdLogLevel : int {
    VCD_LOG_DEBUG = 1,
    VCD_LOG_INFO = 2,
    VCD_LOG_WARN = 3,
    VCD_LOG_ERROR = 4,
    VCD_LOG_PROGRESS = 6,
    VCD_LOG_RAW = 7,
};

// The builder's identity, carried by the images it writes.
inline constexpr const char kVcdBuilderName[] = "QuvoDiscBuilder";
inline constexpr const char kVcdBuilderVersion[] = "6.0.7.10";
inline constexpr const char kVcdBuilderPlatform[] = "win32";
inline constexpr const char kVcdBuilderIdent[] = "QuvoDiscBuilder 6.0.7.10(win32)";

// Byte positions are 64-bit so that files of 2 GiB and more never wrap.
struct VcdScanProgress {
    const char* itemId = nullptr;
    std::int32_t packets = 0;
    std::int64_t position = 0;
    std::int64_t size = 0;
};

struct VcdWriteProgress {
    const char* imageName = nullptr;
    std::int32_t written = 0;
    std::int32_t total = 0;
    std::int32_t track = 0;
    std::int32_t tracks = 0;
};

// Records sent in window mode (lParam). Byte 0 is always 0 so that a host can never take a block
// for a text line. Integers are 32-bit; pointers have the platform's native width.
#pragma pack(push, 1)
struct VcdScanProgressBlock {
    std::uint8_t zero;
    std::int32_t operation; // 1
    const char* itemId;
    std::int32_t percent;
    std::int32_t size;
    std::int32_t position;
    std::int32_t packets;
    std::int32_t reserved; // 0
};
struct VcdWriteProgressBlock {
    std::uint8_t zero;
    std::int32_t operation; // 2
    const char* imageName;
    std::int32_t percent;
    std::int32_t written;
    std::int32_t total;
    std::int32_t track;
    std::int32_t tracks;
};
struct VcdVersionBlock {
    std::uint8_t zero;
    const char* banner;
    const char* programName;
    const char* major;
    const char* minor;
    const char* micro;
    const char* platform;
};
#pragma pack(pop)
static_assert(sizeof(VcdScanProgressBlock) == 25 + sizeof(void*));
static_assert(sizeof(VcdWriteProgressBlock) == 25 + sizeof(void*));
static_assert(sizeof(VcdVersionBlock) == 1 + 6 * sizeof(void*));

enum : std::int32_t { VCD_PROGRESS_SCAN = 1, VCD_PROGRESS_WRITE = 2 };

// Done part times 100 over the whole, rounded up; 0 when the whole is 0.
std::int32_t VcdPercent(std::int64_t done, std::int64_t whole);

class CVcdLog {
  public:
    CVcdLog(platform::HWND window, unsigned message, int threshold, bool progress);
    virtual ~CVcdLog() = default;
    CVcdLog(const CVcdLog&) = delete;
    CVcdLog& operator=(const CVcdLog&) = delete;

    virtual int OnScanProgress(const VcdScanProgress* report);
    virtual int OnWriteProgress(const VcdWriteProgress* report);

    void Log(int level, const char* format, ...) VCD_PRINTF(3, 4);
    void LogV(int level, const char* format, std::va_list args);
    void Debug(const char* format, ...) VCD_PRINTF(2, 3);
    void Info(const char* format, ...) VCD_PRINTF(2, 3);
    void Warn(const char* format, ...) VCD_PRINTF(2, 3);
    void Error(const char* format, ...) VCD_PRINTF(2, 3);
    void Progress(const char* format, ...) VCD_PRINTF(2, 3);

    bool WindowMode() const { return window != nullptr && message != 0; }
    // True once the caller's cancel flag is non-zero. The flag is written by another thread.
    bool Cancelled() const;

    // Console streams; tests and the command-line front end may redirect them.
    void SetConsoleStreams(std::FILE* out, std::FILE* err) { out_ = out; err_ = err; }

    int* cancelFlag = nullptr;
    std::int32_t threshold = 2;
    bool progress = false;
    platform::HWND window = nullptr;
    unsigned message = 0;
    bool lineOpen = false;

  protected:
    // The plain CVcdLog reports, shared by derived logs that fall back to them.
    int ReportScan(const VcdScanProgress* report);
    int ReportWrite(const VcdWriteProgress* report);
    void WriteLine(int level, const char* text);

  private:
    std::FILE* out_ = stdout;
    std::FILE* err_ = stderr;
};

// The log of one build run by a front end: XML-style progress for GUI hosts, the version report
// and the libxml2 error hook of the calling thread.
class CVcdBuildLog : public CVcdLog {
  public:
    CVcdBuildLog(platform::HWND window, unsigned message, int threshold, bool progress);
    ~CVcdBuildLog() override;

    int OnScanProgress(const VcdScanProgress* report) override;
    int OnWriteProgress(const VcdWriteProgress* report) override;
    virtual void SetThreshold(int level);
    virtual void ShowVersion();

    // The log of this thread's running build, or null.
    static CVcdBuildLog* Current();

    bool guiMode = false;
    std::string programName = "UNSET";

  private:
    CVcdBuildLog* previous_ = nullptr;
};
