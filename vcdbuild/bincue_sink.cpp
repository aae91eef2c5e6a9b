#include "bincue_sink.h"

#include "sector_encoder.h"

#include <cstring>

CVcdBinCue::CVcdBinCue(CVcdLog& log, const char* path, int mode) : CVcdImage(log, path, mode) {}

int CVcdBinCue::SetArg(const char* key, const char* value) {
    if (VcdKeyIs(key, "bin") || VcdKeyIs(key, "cue")) {
        if (!value || !*value) return -2;
        ReplacePath(value);
        return 0;
    }
    if (key && std::strcmp(key, "sector") == 0) {
        if (!value) return -2;
        if (std::strcmp(value, "2336") == 0) {
            sector2336_ = true;
        } else if (std::strcmp(value, "2352") == 0) {
            sector2336_ = false;
        } else {
            return -2;
        }
        return 0;
    }
    return -1;
}

bool CVcdBinCue::PutIndex(int index, std::int32_t lsn) {
    std::uint8_t msf[3];
    LbaToMsf(static_cast<std::uint32_t>(lsn), msf);
    return PutText("    INDEX %2.2d %2.2x:%2.2x:%2.2x\r\n", index, msf[0], msf[1], msf[2]);
}

int CVcdBinCue::SetCueSheet(CVcdImage* binSink, const VcdCueList& points) {
    if (!binSink) return -1;
    if (!PutText("FILE \"%s\" BINARY\r\n", binSink->path().c_str())) return -1;
    int track = 0;
    int index = 0;
    const VcdCuePoint* previous = nullptr;
    for (const VcdCuePoint& point : points) {
        switch (point.kind) {
        case VCD_CUE_TRACK:
            ++track;
            if (!PutText("  TRACK %2.2d MODE2/%d\r\n    FLAGS DCP\r\n", track,
                         sector2336_ ? 2336 : 2352))
                return -1;
            if (previous && previous->kind == VCD_CUE_PREGAP && !PutIndex(0, previous->lsn))
                return -1;
            if (!PutIndex(1, point.lsn)) return -1;
            index = 1;
            break;
        case VCD_CUE_ENTRY:
            if (!PutIndex(++index, point.lsn)) return -1;
            break;
        case VCD_CUE_END:
            // Buffered text only reaches the disk here, so a full disk shows up at the close.
            return Close() == 0 ? 0 : -1;
        default:
            break;
        }
        previous = &point;
    }
    Close();
    return -1;
}

int CVcdBinCue::PutSector(const std::uint8_t* sector2352, std::int32_t lsn) {
    if (!sector2352 || lsn < 0) return 1;
    std::int64_t size = sector2336_ ? kMode2SectorSize : kRawSectorSize;
    const std::uint8_t* data = sector2336_ ? sector2352 + 16 : sector2352;
    return WriteAt(static_cast<std::int64_t>(lsn) * size, data, size) ? 0 : 1;
}
