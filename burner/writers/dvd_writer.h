// The burner's side of the DVD engine: the writer table, the disc check, and the erase and write
// worker threads that report to the Start Burning dialog with posted messages.
#pragma once

#include "burner/writers/video_ts_tree.h"
#include "burner/writers/writer_combo.h"
#include "engines/dvd/dvd_engine.h"
#include "platform/message_boxes.h"
#include "platform/window_message.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

constexpr unsigned WM_DVD_ERASE_EVENT = 1834;
constexpr unsigned WM_DVD_BURN_EVENT = 1835;

// wParam of WM_DVD_ERASE_EVENT
enum : unsigned { kDvdEraseStarted = 0, kDvdEraseFailed = 1, kDvdEraseDone = 2 };
// wParam of WM_DVD_BURN_EVENT
enum : unsigned {
    kDvdBurnStarted = 0,
    kDvdBurnWriting = 1,
    kDvdBurnFinalizing = 2,
    kDvdBurnProgress = 3, // lParam: percent
    kDvdBurnFailed = 4,
    kDvdBurnSucceeded = 5,
};

constexpr int kDvdWriterSlots = 10;

struct DvdWriterEntry {
    std::string driveName;
    std::uint32_t port = 0, bus = 0, targetId = 0, lun = 0;
    std::string vendor;  // up to 8 characters
    std::string product; // up to 18 characters
    std::int32_t dvdWritable = 0;
};

struct DvdDiscInfo {
    std::int32_t isWritableDvd = 0;
    std::int32_t isErasable = 0; // byte 3 of the disc information, 0 to 255
    std::int32_t isBlank = 0;
};

class DvdWriter {
  public:
    DvdWriter(engines::DvdEngine& engine, platform::MessageBoxes& messages);
    // Waits for a running erase or write thread.
    ~DvdWriter();
    DvdWriter(const DvdWriter&) = delete;
    DvdWriter& operator=(const DvdWriter&) = delete;

    // Discovers the writers into the table and fills the combo with one row per DVD writer, in
    // table order; row 0 selected.
    void ListDvdWriters(WriterCombo& combo);
    int WriterCount() const { return count_; }
    const DvdWriterEntry& Writer(int index) const { return writers_[index]; }

    // Shows its own message box on every failure and ejects an unusable disc.
    void GetInsertedDiscInfo(DvdDiscInfo& result, std::uint32_t port, std::uint32_t bus,
                             std::uint32_t targetId, std::uint32_t lun);

    // Start the Blank and DVDVideoBurn threads (after joining the one before, which has reported
    // its end). folder ends with '/' and is the DVD folder or its VIDEO_TS subfolder; the label
    // is cut to 255 characters.
    void StartDvdErase(platform::HWND window, std::uint32_t port, std::uint32_t bus,
                       std::uint32_t targetId, std::uint32_t lun);
    void StartDvdBurn(platform::HWND window, const std::string& folder, const std::string& label,
                      std::uint32_t port, std::uint32_t bus, std::uint32_t targetId,
                      std::uint32_t lun);
    // Asks the engine to abort the running write; nothing when none runs.
    void AbortDvdBurn();
    // Waits for the worker thread to end.
    void Join();

    // The thread bodies; they return the engine status.
    std::int32_t Blank();
    std::int32_t DVDVideoBurn();

  private:
    struct Operation {
        platform::HWND window = nullptr;
        engines::DvdDeviceAddress address;
        std::string folder;
        std::string label;
    };

    static void FindDeviceCallback(int event, const engines::DvdDeviceAddress& address,
                                   void* context);
    static void BurnProgressCallback(int event, void* context, std::uint64_t total,
                                     std::uint64_t done);
    void OnDeviceFound(const engines::DvdDeviceAddress& address);
    void Post(unsigned message, unsigned wParam, platform::LPARAM lParam = 0);
    void Show(const std::string& text);
    void Start(Operation op, std::int32_t (DvdWriter::*body)());

    engines::DvdEngine& engine_;
    platform::MessageBoxes& messages_;
    std::array<DvdWriterEntry, kDvdWriterSlots> writers_;
    DvdWriterEntry overflow_; // where devices beyond a full table are examined
    int count_ = 0;

    Operation op_;
    std::thread worker_;
    std::int64_t lastPercent_ = 0;
    std::mutex abortLock_;
    engines::DvdDevice* abortSlot_ = nullptr;
};
