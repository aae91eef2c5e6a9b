// Nero NRG image, track-at-once: the 2336-byte data of every track sector, track after track
// without the pregaps, closed by an ETNF/SINF footer after the last sector.
#pragma once

#include "vcd_image.h"

class CVcdNero : public CVcdImage {
  public:
    CVcdNero(CVcdLog& log, const char* path, int mode = VCD_STREAM_WRITE);

    // "nrg": the file path.
    // Closes the stream and drops the layout copy.
    void Release(int flag) override;
    int SetArg(const char* key, const char* value) override;
    // Keeps the track starts, pregap starts and the end point of `points` in `self` (the same
    // object serves the layout and the sectors). -1 without an end point: no footer could follow.
    int SetCueSheet(CVcdImage* self, const VcdCueList& points) override;
    // Stores track sectors, ignores pregap sectors, and writes the footer after the last one.
    int PutSector(const std::uint8_t* sector2352, std::int32_t lsn) override;

    // Sectors stored before `lsn`, or -1 when `lsn` lies in a pregap or outside the tracks.
    std::int64_t DataPosition(std::int32_t lsn) const;

    const VcdCueList& points() const { return points_; }
    std::int32_t trackCount() const { return trackCount_; }
    std::int32_t endLsn() const { return endLsn_; }

  private:
    int WriteFooter(std::int64_t offset);

    VcdCueList points_;
    std::int32_t trackCount_ = 0;
    std::int32_t endLsn_ = -1;
};
