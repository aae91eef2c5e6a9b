// A build log in window mode whose host window records every line, so tests can read exactly
// what a builder object reported and at which level.
#pragma once

#include "vcd_log.h"

#include <memory>
#include <string>
#include <vector>

struct LoggedLine {
    int level;
    std::string text; // as sent, with its line feed
};

// Copies of the packed progress blocks with the same field names, naturally aligned so that tests
// may bind references to their fields.
struct ScanBlock {
    std::uint8_t zero;
    std::int32_t operation;
    const char* itemId;
    std::int32_t percent, size, position, packets, reserved;
};
struct WriteBlock {
    std::uint8_t zero;
    std::int32_t operation;
    const char* imageName;
    std::int32_t percent, written, total, track, tracks;
};

class RecordingWindow : public platform::MessageTarget {
  public:
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam,
                                platform::LPARAM lParam) override;

    std::vector<LoggedLine> lines;
    std::vector<ScanBlock> scanBlocks;
    std::vector<WriteBlock> writeBlocks;
    std::vector<std::string> versionBanners;
    unsigned lastMessage = 0;
};

class CapturedLog {
  public:
    explicit CapturedLog(int threshold = 1, bool progress = false);

    CVcdLog& log() { return *log_; }
    operator CVcdLog&() { return *log_; }
    const std::vector<LoggedLine>& lines() const { return window_.lines; }
    RecordingWindow& window() { return window_; }

    // Number of lines at `level` (0: any level) whose text contains `part`.
    int Count(int level, const std::string& part) const;
    bool Has(int level, const std::string& part) const { return Count(level, part) > 0; }
    // All lines at `level`, joined, for failure messages.
    std::string Dump(int level = 0) const;
    void Clear() { window_.lines.clear(); }

  private:
    RecordingWindow window_;
    std::unique_ptr<CVcdLog> log_;
};
