// An image sink: a stream that is told the track layout once and then receives every finished
// 2352-byte Mode 2 sector with its sector number.
#pragma once

#include "vcd_cue_point.h"
#include "vcd_stream.h"

#include <cstdarg>
#include <cstdint>

class CVcdImage : public CVcdStream {
  public:
    using CVcdStream::CVcdStream;

    // 0 accepted, -1 a key this sink does not know, -2 a bad or empty value.
    virtual int SetArg(const char* key, const char* value) = 0;
    // Called on the layout sink with the sector sink, once, before any sector. 0 or -1.
    virtual int SetCueSheet(CVcdImage* sectorSink, const VcdCueList& points) = 0;
    // `sector2352` is the whole raw sector; 2336-byte sinks keep its bytes 16-2351. 0 or 1.
    virtual int PutSector(const std::uint8_t* sector2352, std::int32_t lsn) = 0;

  protected:
    // Formats like Printf; true only when the whole text was written.
    bool PutText(const char* format, ...) VCD_PRINTF(2, 3);
    // Seeks to `offset` and writes `length` bytes; true when both fully succeeded.
    bool WriteAt(std::int64_t offset, const void* data, std::int64_t length);
};

// Case-insensitive key comparison for SetArg; a null key matches nothing.
bool VcdKeyIs(const char* key, const char* name);
