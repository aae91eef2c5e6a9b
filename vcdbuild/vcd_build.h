// The one entry into the image builder: reads a VideoCD XML project, builds the project, lays
// out and writes the image into BIN/CUE, cdrdao TOC or NRG files.
#pragma once

#include "vcd_image.h"
#include "vcd_log.h"
#include "vcd_project.h"
#include "vcd_project_desc.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr std::size_t kVcdPathSize = 260;

enum VcdImageType : std::int32_t {
    VCD_IMAGE_BINCUE = 0,
    VCD_IMAGE_TOC = 1,
    VCD_IMAGE_NRG = 2,
};

struct VcdBuildOptions {
    char xmlPath[kVcdPathSize] = {};
    std::int32_t imageType = VCD_IMAGE_BINCUE;
    char cuePath[kVcdPathSize] = {};
    char binPath[kVcdPathSize] = {};
    std::int32_t sector2336 = 0;
    std::int32_t showVersion = 0;
    std::int32_t verbosity = 0; // 1 debug, 2 silent, else normal
    std::int32_t progress = 0;
    std::int32_t guiMode = 0;
    std::int32_t showHelp = 0;
    std::int32_t showUsage = 0;
};

// Copies `text` into a fixed path field; false when it does not fit (nothing is cut silently).
bool VcdSetPath(char (&field)[kVcdPathSize], const std::string& text);

// The path with its extension replaced by `extension` (".cue", ...; "" removes it).
std::string VcdReplaceExtension(const std::string& path, const char* extension);

class CVcdXmlBuild : public CVcdBuildLog {
  public:
    CVcdXmlBuild(platform::HWND window, unsigned message, const VcdBuildOptions& options);
    ~CVcdXmlBuild() override;

    // 0 success, 1 failure.
    int Run();
    // 0 ready, 1 failure, -1 information shown and nothing to build.
    int Prepare();
    // The new sink, or null (kind 0 BIN/CUE, 1 TOC/image, 2 NRG).
    std::unique_ptr<CVcdImage> CreateSink(const std::string& path, int kind);
    void ShowHelp(bool brief);

    VcdBuildOptions options;
    // sinkA takes the layout (cue, TOC or NRG sink), sinkB the sectors; for NRG both are the
    // same object. The writer detaches them when it is done with them; ownedSinks_ frees them.
    VcdSinks sinks;
    std::string xmlPath;

  private:
    int Build(CVcdObj& project, VcdProjectDesc& desc);
    CVcdImage* Keep(std::unique_ptr<CVcdImage> sink);

    std::vector<std::unique_ptr<CVcdImage>> ownedSinks_;
};

// The variant the burner uses: the caller's cancel flag, and plain progress reports always.
class CVcdBurnerBuild : public CVcdXmlBuild {
  public:
    CVcdBurnerBuild(platform::HWND window, unsigned message, const VcdBuildOptions& options,
                    int* cancelFlag);
    int OnScanProgress(const VcdScanProgress* report) override;
    int OnWriteProgress(const VcdWriteProgress* report) override;
};

// Result codes: 0 written, 1 failed or cancelled, 2 an exception was caught, -1 no window, no
// message name or no options, 3 no front end object.
std::int32_t VcdBuildImage(platform::HWND window, const char* messageName,
                           const VcdBuildOptions* options, int* cancelFlag);
