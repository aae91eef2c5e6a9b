#include "log_capture.h"

#include <cstring>

platform::LRESULT RecordingWindow::OnMessage(unsigned msg, platform::WPARAM wParam,
                                             platform::LPARAM lParam) {
    lastMessage = msg;
    const char* data = reinterpret_cast<const char*>(lParam);
    if (!data) return 0;
    if (data[0] != 0) {
        lines.push_back({static_cast<int>(wParam), data});
        return 0;
    }
    if (wParam == VCD_LOG_PROGRESS) {
        std::int32_t op;
        std::memcpy(&op, data + 1, sizeof op);
        if (op == VCD_PROGRESS_SCAN) {
            VcdScanProgressBlock b;
            std::memcpy(&b, data, sizeof b);
            scanBlocks.push_back({b.zero, b.operation, b.itemId, b.percent, b.size, b.position,
                                  b.packets, b.reserved});
        } else if (op == VCD_PROGRESS_WRITE) {
            VcdWriteProgressBlock b;
            std::memcpy(&b, data, sizeof b);
            writeBlocks.push_back({b.zero, b.operation, b.imageName, b.percent, b.written, b.total,
                                   b.track, b.tracks});
        }
    } else if (wParam == VCD_LOG_RAW) {
        VcdVersionBlock b;
        std::memcpy(&b, data, sizeof b);
        versionBanners.push_back(b.banner ? b.banner : "");
    }
    return 0;
}

CapturedLog::CapturedLog(int threshold, bool progress)
    : log_(std::make_unique<CVcdLog>(&window_, platform::RegisterWindowMessage("test-log"),
                                     threshold, progress)) {}

int CapturedLog::Count(int level, const std::string& part) const {
    int n = 0;
    for (const auto& l : window_.lines)
        if ((level == 0 || l.level == level) && l.text.find(part) != std::string::npos) ++n;
    return n;
}

std::string CapturedLog::Dump(int level) const {
    std::string all;
    for (const auto& l : window_.lines)
        if (level == 0 || l.level == level) all += std::to_string(l.level) + ": " + l.text;
    return all;
}
