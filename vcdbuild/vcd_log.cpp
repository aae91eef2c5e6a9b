#include "vcd_log.h"

#include <atomic>
#include <cinttypes>
#include <cmath>
#include <cstring>

#include <libxml/xmlerror.h>

namespace {

constexpr int kLineBufferSize = 1024;

const char* ConsolePrefix(int level) {
    switch (level) {
    case VCD_LOG_DEBUG: return "--DEBUG: ";
    case VCD_LOG_INFO: return "   INFO: ";
    case VCD_LOG_WARN: return "++ WARN: ";
    case VCD_LOG_ERROR: return "**ERROR: ";
    case VCD_LOG_PROGRESS: return "PROGRES: ";
    default: return "";
    }
}

bool LevelKnown(int level) { return level >= 1 && level <= 7 && level != 5; }

const char* BaseName(const char* id) {
    if (!id) return "";
    const char* slash = std::strrchr(id, '\\');
    return slash ? slash + 1 : id;
}

double Ratio(std::int64_t done, std::int64_t whole) {
    return whole ? static_cast<double>(done) * 100.0 / static_cast<double>(whole) : 0.0;
}

std::int32_t Clamp32(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

thread_local CVcdBuildLog* t_currentLog = nullptr;

void XmlErrorToLog(void*, const char* format, ...) {
    CVcdBuildLog* log = t_currentLog;
    if (!log) return;
    char text[kLineBufferSize];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (text[0]) log->Error("%s", text);
}

// The version "6.0.7.10" split at its last two dots.
constexpr const char kVersionMajor[] = "6.0";
constexpr const char kVersionMinor[] = "7";
constexpr const char kVersionMicro[] = "10";

} // namespace

std::int32_t VcdPercent(std::int64_t done, std::int64_t whole) {
    if (whole == 0) return 0;
    return static_cast<std::int32_t>(std::ceil(Ratio(done, whole)));
}

CVcdLog::CVcdLog(platform::HWND window_, unsigned message_, int threshold_, bool progress_)
    : threshold(threshold_ == 0 ? 2 : threshold_), progress(progress_), window(window_),
      message(message_) {}

bool CVcdLog::Cancelled() const {
    return cancelFlag && std::atomic_ref<int>(*cancelFlag).load(std::memory_order_relaxed) != 0;
}

void CVcdLog::LogV(int level, const char* format, std::va_list args) {
    char text[kLineBufferSize + 1];
    int n = std::vsnprintf(text, kLineBufferSize, format, args);
    if (n < 0) return;
    std::size_t len = std::strlen(text);
    if (len > 0 && text[len - 1] != '\r' && text[len - 1] != '\n') {
        text[len++] = '\n';
        text[len] = '\0';
    }
    if (!LevelKnown(level)) return;
    if (level == VCD_LOG_DEBUG && threshold > 1) return;
    if (level == VCD_LOG_INFO && threshold > 2) return;

    bool endsWithCr = len > 0 && text[len - 1] == '\r';
    if (lineOpen && !endsWithCr) {
        // Wipe a console progress line before ordinary text.
        char blank[79];
        std::memset(blank, ' ', 77);
        blank[77] = '\r';
        blank[78] = '\0';
        WriteLine(VCD_LOG_RAW, blank);
    }
    WriteLine(level, text);
    lineOpen = endsWithCr;
    if (!WindowMode()) std::fflush(out_);
}

void CVcdLog::WriteLine(int level, const char* text) {
    if (WindowMode()) {
        platform::SendMessage(window, message, static_cast<platform::WPARAM>(level),
                              reinterpret_cast<platform::LPARAM>(text));
        return;
    }
    std::FILE* stream = level == VCD_LOG_ERROR ? err_ : out_;
    std::fputs(ConsolePrefix(level), stream);
    std::fputs(text, stream);
    if (level == VCD_LOG_ERROR) {
        std::fflush(out_);
        std::fflush(err_);
    }
}

void CVcdLog::Log(int level, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    LogV(level, format, args);
    va_end(args);
}

#define VCD_LOG_SHORTHAND(name, level)                                                             \
    void CVcdLog::name(const char* format, ...) {                                                  \
        std::va_list args;                                                                         \
        va_start(args, format);                                                                    \
        LogV(level, format, args);                                                                 \
        va_end(args);                                                                              \
    }
VCD_LOG_SHORTHAND(Debug, VCD_LOG_DEBUG)
VCD_LOG_SHORTHAND(Info, VCD_LOG_INFO)
VCD_LOG_SHORTHAND(Warn, VCD_LOG_WARN)
VCD_LOG_SHORTHAND(Error, VCD_LOG_ERROR)
VCD_LOG_SHORTHAND(Progress, VCD_LOG_PROGRESS)
#undef VCD_LOG_SHORTHAND

int CVcdLog::OnScanProgress(const VcdScanProgress* report) { return ReportScan(report); }
int CVcdLog::OnWriteProgress(const VcdWriteProgress* report) { return ReportWrite(report); }

int CVcdLog::ReportScan(const VcdScanProgress* r) {
    if (!r || !progress) return 0;
    if (WindowMode()) {
        VcdScanProgressBlock block{};
        block.operation = VCD_PROGRESS_SCAN;
        block.itemId = r->itemId;
        block.percent = VcdPercent(r->position, r->size);
        block.size = Clamp32(r->size);
        block.position = Clamp32(r->position);
        block.packets = r->packets;
        platform::SendMessage(window, message, VCD_LOG_PROGRESS,
                              reinterpret_cast<platform::LPARAM>(&block));
        return 0;
    }
    Log(VCD_LOG_PROGRESS, "#scan[%s]: %" PRId64 "/%" PRId64 " (%2.0f%%)            \r",
        BaseName(r->itemId), r->position, r->size, Ratio(r->position, r->size));
    return 0;
}

int CVcdLog::ReportWrite(const VcdWriteProgress* r) {
    if (!r || !progress) return 0;
    if (WindowMode()) {
        VcdWriteProgressBlock block{};
        block.operation = VCD_PROGRESS_WRITE;
        block.imageName = r->imageName;
        block.percent = VcdPercent(r->written, r->total);
        block.written = r->written;
        block.total = r->total;
        block.track = r->track;
        block.tracks = r->tracks;
        platform::SendMessage(window, message, VCD_LOG_PROGRESS,
                              reinterpret_cast<platform::LPARAM>(&block));
        return 0;
    }
    Log(VCD_LOG_PROGRESS, "#write[%d/%d]: %ld/%ld (%2.0f%%)          \r", r->track, r->tracks,
        static_cast<long>(r->written), static_cast<long>(r->total), Ratio(r->written, r->total));
    return 0;
}

CVcdBuildLog::CVcdBuildLog(platform::HWND window_, unsigned message_, int threshold_,
                           bool progress_)
    : CVcdLog(window_, message_, threshold_, progress_), previous_(t_currentLog) {
    t_currentLog = this;
    xmlSetGenericErrorFunc(nullptr, XmlErrorToLog);
}

CVcdBuildLog::~CVcdBuildLog() {
    xmlSetGenericErrorFunc(nullptr, nullptr);
    t_currentLog = previous_ == this ? nullptr : previous_;
}

CVcdBuildLog* CVcdBuildLog::Current() { return t_currentLog; }

int CVcdBuildLog::OnScanProgress(const VcdScanProgress* r) {
    if (!progress) return 0;
    if (!guiMode) return ReportScan(r);
    if (!r) return 0;
    Log(VCD_LOG_PROGRESS,
        "<progress operation=\"scan\" id=\"%s\" position=\"%" PRId64 "\" size=\"%" PRId64
        "\" />",
        r->itemId ? r->itemId : "", r->position, r->size);
    return 0;
}

int CVcdBuildLog::OnWriteProgress(const VcdWriteProgress* r) {
    if (!progress) return 0;
    if (!guiMode) return ReportWrite(r);
    if (!r) return 0;
    Log(VCD_LOG_PROGRESS, "<progress operation=\"write\" position=\"%ld\" size=\"%ld\" />\n",
        static_cast<long>(r->written), static_cast<long>(r->total));
    return 0;
}

void CVcdBuildLog::SetThreshold(int level) { threshold = level == 0 ? 2 : level; }

void CVcdBuildLog::ShowVersion() {
    std::string banner = programName + " " + kVcdBuilderVersion + "(" + kVcdBuilderPlatform +
                         ")\n"
                         "Copyright (c) the Pellam developers. Free software: you may use, "
                         "change and share it under the terms of its licence.\n";
    if (WindowMode()) {
        VcdVersionBlock block{};
        block.banner = banner.c_str();
        block.programName = programName.c_str();
        block.major = kVersionMajor;
        block.minor = kVersionMinor;
        block.micro = kVersionMicro;
        block.platform = kVcdBuilderPlatform;
        platform::SendMessage(window, message, VCD_LOG_RAW,
                              reinterpret_cast<platform::LPARAM>(&block));
        return;
    }
    if (guiMode) {
        Log(VCD_LOG_RAW,
            "<version program=\"%s\" major=\"%s\" minor=\"%s\" micro=\"%s\" platform=\"%s\" />\n",
            programName.c_str(), kVersionMajor, kVersionMinor, kVersionMicro,
            kVcdBuilderPlatform);
        return;
    }
    Log(VCD_LOG_RAW, "%s", banner.c_str());
}
