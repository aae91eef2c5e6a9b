// BIN/CUE image: one BIN file holding every sector at its LSN (pregaps included) and a cue
// sheet describing its tracks and indexes.
#pragma once

#include "vcd_image.h"

class CVcdBinCue : public CVcdImage {
  public:
    CVcdBinCue(CVcdLog& log, const char* path, int mode = VCD_STREAM_WRITE);

    // "bin" / "cue": the file path; "sector": "2336" or "2352".
    int SetArg(const char* key, const char* value) override;
    // Called on the cue sink: writes the cue sheet for the sectors `binSink` receives.
    int SetCueSheet(CVcdImage* binSink, const VcdCueList& points) override;
    int PutSector(const std::uint8_t* sector2352, std::int32_t lsn) override;

    bool sector2336() const { return sector2336_; }

  private:
    bool PutIndex(int index, std::int32_t lsn);

    bool sector2336_ = false;
};
