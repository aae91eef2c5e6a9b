// cdrdao TOC image: a TOC file plus one image file per track and per pregap, named after a
// common base ("<base>_02_pregap.img", "<base>_02.img").
#pragma once

#include "vcd_image.h"

#include <string>

// Told the name of every image file the sink starts, so that write progress can show it.
class VcdImageNameListener {
  public:
    virtual ~VcdImageNameListener() = default;
    virtual void OnImageName(const std::string& name) = 0;
};

class CVcdCdrDao : public CVcdImage {
  public:
    CVcdCdrDao(CVcdLog& log, const char* path, int mode = VCD_STREAM_WRITE);

    // "toc": the TOC path; "img_base": the base of the image file names; "img": the image file
    // to write next; "sector": "2336" or "2352". "obj" takes a listener, see below.
    // Closes the stream and drops the layout copy.
    void Release(int flag) override;
    int SetArg(const char* key, const char* value) override;
    // "obj": the listener told each new image file name (null to detach). -1 for other keys.
    int SetArg(const char* key, VcdImageNameListener* listener);
    // Called on the TOC sink: writes the TOC and gives `imageSink` its copy of the layout.
    int SetCueSheet(CVcdImage* imageSink, const VcdCueList& points) override;
    // Called on the image sink: writes the sector into the file of its track or pregap.
    int PutSector(const std::uint8_t* sector2352, std::int32_t lsn) override;

    // Backslashes become '/', a drive letter A-Z before ':' becomes lower case.
    static std::string NormaliseBase(const char* base);

    bool sector2336() const { return sector2336_; }
    const std::string& imgBase() const { return imgBase_; }
    const VcdCueList& points() const { return points_; }
    std::int32_t fileTrack() const { return fileTrack_; }
    bool filePregap() const { return filePregap_; }

  private:
    bool sector2336_ = false;
    std::string imgBase_;
    VcdCueList points_;
    std::int32_t fileTrack_ = 0;
    bool filePregap_ = false;
    VcdImageNameListener* project_ = nullptr;
};
