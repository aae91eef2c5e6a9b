// Buffered file stream through which the builder reads and writes every file: lazy opening,
// one 64 KiB buffer per file, and a log message for every failure. Offsets are 64-bit.
#pragma once

#include "vcd_log.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

enum VcdStreamMode : std::int32_t {
    VCD_STREAM_INVALID = 0,
    VCD_STREAM_READ = 1,
    VCD_STREAM_WRITE = 2,
};

class CVcdStream {
  public:
    static constexpr std::size_t kBufferSize = 65536;

    CVcdStream(CVcdLog& log, const char* path, int mode);
    virtual ~CVcdStream();
    CVcdStream(const CVcdStream&) = delete;
    CVcdStream& operator=(const CVcdStream&) = delete;

    // Closes the stream; sinks also drop what they hold for the image.
    virtual void Release(int flag);

    // 1 when the stream can be used, 0 when not (with the reason logged).
    int Check();
    // 0 once open, 1 when the file could not be opened.
    int Open();
    // 0 when closed cleanly (or not open), 1 when flushing or closing failed.
    int Close();
    // The new position, 0 on failure.
    std::int64_t Seek(std::int64_t offset);
    // Bytes read: `length` or 0.
    std::int64_t Read(void* buffer, std::int64_t length);
    // Bytes written; less than `length` means failure.
    std::int64_t Write(const void* buffer, std::int64_t length);
    // File size in bytes, -1 when unknown.
    std::int64_t GetSize();
    // Bytes written, or -1.
    int Printf(const char* format, ...) VCD_PRINTF(2, 3);
    // Printf with an argument list; `formatted` (may be null) receives the text's length.
    int VPrintf(const char* format, std::va_list args, int* formatted);

    int mode() const { return mode_; }
    bool isOpen() const { return isOpen_; }
    std::int64_t position() const { return position_; }
    const std::string& path() const { return path_; }
    std::int64_t fileTime() const { return fileTime_; }
    CVcdLog& log() const { return log_; }

  protected:
    virtual int DoOpen();
    virtual int DoClose();
    virtual std::int64_t DoSeek(std::int64_t offset);
    virtual std::int64_t DoRead(void* buffer, std::int64_t length);
    virtual std::int64_t DoWrite(const void* buffer, std::int64_t length);
    // Fills `size` and `fileTime`; 0 on success.
    virtual int DoStat(std::int64_t* size);

    // Closes the stream and points it at another file (checked as on construction).
    void ReplacePath(const char* path);
    // Starts the disk write of what lies before `end` (a position just written up to).
    void StartWriteback(std::int64_t end);

    bool regularFile_ = false;
    std::int64_t writebackFrom_ = 0; // start of the stretch not yet handed to the disk
    std::int32_t mode_;
    bool isOpen_ = false;
    std::int64_t position_ = 0;
    std::string path_;
    std::FILE* file_ = nullptr;
    std::int64_t fileTime_ = 0;
    std::unique_ptr<char[]> buffer_;
    CVcdLog& log_;
};
