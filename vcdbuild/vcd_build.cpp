#include "vcd_build.h"

#include "bincue_sink.h"
#include "cdrdao_sink.h"
#include "nero_sink.h"
#include "sector_encoder.h"
#include "vcd_project_desc.h"
#include "vcd_xml_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>

namespace {

constexpr const char kDefaultBase[] = "videocd";

std::string Lower(std::string s, std::size_t limit) {
    if (s.size() > limit) s.resize(limit);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string FieldText(const char (&field)[kVcdPathSize]) {
    return std::string(field, strnlen(field, kVcdPathSize));
}

} // namespace

bool VcdSetPath(char (&field)[kVcdPathSize], const std::string& text) {
    if (text.size() >= kVcdPathSize) return false;
    std::memset(field, 0, kVcdPathSize);
    std::memcpy(field, text.data(), text.size());
    return true;
}

std::string VcdReplaceExtension(const std::string& path, const char* extension) {
    std::size_t slash = path.find_last_of("/\\");
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    std::string stem = path;
    // A leading dot names a hidden file, not an extension.
    if (dot != std::string::npos && dot > nameStart) stem = path.substr(0, dot);
    return stem + (extension ? extension : "");
}

CVcdXmlBuild::CVcdXmlBuild(platform::HWND window_, unsigned message_,
                           const VcdBuildOptions& options_)
    : CVcdBuildLog(window_, message_, 2, true), options(options_) {}

CVcdXmlBuild::~CVcdXmlBuild() {
    // Close every image file before the objects go.
    for (auto& sink : ownedSinks_) sink->Release(0);
}

CVcdImage* CVcdXmlBuild::Keep(std::unique_ptr<CVcdImage> sink) {
    if (!sink) return nullptr;
    ownedSinks_.push_back(std::move(sink));
    return ownedSinks_.back().get();
}

std::unique_ptr<CVcdImage> CVcdXmlBuild::CreateSink(const std::string& path, int kind) {
    if (path.empty()) return nullptr;
    if (kind == VCD_IMAGE_TOC) {
        std::size_t dot = path.rfind('.');
        if (dot != std::string::npos && strcasecmp(path.c_str() + dot, ".toc") == 0)
            return std::make_unique<CVcdCdrDao>(*this, path.c_str(), VCD_STREAM_WRITE);
        auto sink = std::make_unique<CVcdCdrDao>(*this, nullptr, VCD_STREAM_WRITE);
        if (sink->SetArg("img_base", path.c_str()) != 0) return nullptr;
        return sink;
    }
    if (kind == VCD_IMAGE_NRG)
        return std::make_unique<CVcdNero>(*this, path.c_str(), VCD_STREAM_WRITE);
    return std::make_unique<CVcdBinCue>(*this, path.c_str(), VCD_STREAM_WRITE);
}

int CVcdXmlBuild::Prepare() {
    progress = options.progress != 0;
    guiMode = options.guiMode != 0;
    SetThreshold(options.verbosity == 1 ? 1 : options.verbosity == 2 ? 3 : 2);

    if (options.showVersion) {
        ShowVersion();
        return -1;
    }
    if (options.showHelp) {
        ShowHelp(false);
        return -1;
    }
    if (options.showUsage) {
        ShowHelp(true);
        return -1;
    }
    xmlPath = FieldText(options.xmlPath);
    if (xmlPath.empty()) {
        Error("xml input file argument missing");
        return 1;
    }

    const std::string cue = FieldText(options.cuePath);
    const std::string bin = FieldText(options.binPath);
    const std::string defaultBase = std::string("./") + kDefaultBase;
    switch (options.imageType) {
    case VCD_IMAGE_TOC: {
        std::string toc = VcdReplaceExtension(cue.empty() ? defaultBase : cue, ".toc");
        sinks.sinkA = Keep(CreateSink(toc, VCD_IMAGE_TOC));
        std::string base = VcdReplaceExtension(bin.empty() ? toc : bin, "");
        sinks.sinkB = Keep(CreateSink(base, VCD_IMAGE_TOC));
        if (!sinks.sinkA || !sinks.sinkB) return 1;
        if (options.sector2336) {
            sinks.sinkA->SetArg("sector", "2336");
            sinks.sinkB->SetArg("sector", "2336");
        }
        sinks.sinkA->SetArg("img_base", static_cast<CVcdCdrDao*>(sinks.sinkB)->imgBase().c_str());
        break;
    }
    case VCD_IMAGE_NRG: {
        std::string nrg = VcdReplaceExtension(bin.empty() ? defaultBase : bin, ".nrg");
        sinks.sinkA = sinks.sinkB = Keep(CreateSink(nrg, VCD_IMAGE_NRG));
        if (!sinks.sinkA) return 1;
        break;
    }
    default: {
        std::string cuePath = VcdReplaceExtension(cue.empty() ? defaultBase : cue, ".cue");
        sinks.sinkA = Keep(CreateSink(cuePath, VCD_IMAGE_BINCUE));
        std::string binPath = VcdReplaceExtension(bin.empty() ? cuePath : bin, ".bin");
        sinks.sinkB = Keep(CreateSink(binPath, VCD_IMAGE_BINCUE));
        if (!sinks.sinkA || !sinks.sinkB) return 1;
        if (options.sector2336) {
            sinks.sinkA->SetArg("sector", "2336");
            sinks.sinkB->SetArg("sector", "2336");
        }
        break;
    }
    }
    return 0;
}

int CVcdXmlBuild::Run() {
    programName = "QuvoDiscBuild";
    int prepared = Prepare();
    if (prepared == 1) return 1;
    if (prepared == -1) return 0;

    VcdProjectDesc desc;
    CVcdXmlReader reader(*this, &desc);
    if (reader.Read(xmlPath.c_str()) != 0) return 1;

    std::unique_ptr<CVcdObj> project = CVcdObj::Create(*this, desc.vcdType);
    if (!project) {
        Error("failed to create VCD object");
        return 1;
    }
    int result = 0;
    if (Build(*project, desc) != 0) {
        Error("building videocd failed");
        result = 1;
    }
    return result;
}

int CVcdXmlBuild::Build(CVcdObj& project, VcdProjectDesc& desc) {
    VcdScanOptions scan;
    if (ApplyOptions(desc, project, &scan) != 0 || AddPbcLists(desc, project) != 0 ||
        AddFiles(desc, project) != 0 ||
        AddSegments(desc, project, scan.updateScanOffsets, scan.relaxedAps) != 0 ||
        AddSequences(desc, project, scan.updateScanOffsets, scan.relaxedAps) != 0)
        return 1;

    std::int32_t size = project.GetImageSize();
    bool ok = false;
    if (size >= 0) {
        std::string imageName = sinks.sinkB ? sinks.sinkB->path() : std::string();
        ok = project.WriteImage(sinks, imageName.c_str()) == 0;
        project.EndOutput();
    }
    project.sinks = nullptr;
    if (ok) {
        std::uint8_t msf[3];
        LbaToMsf(static_cast<std::uint32_t>(size), msf);
        char text[16];
        std::snprintf(text, sizeof text, "%.2x:%.2x.%.2x", msf[0], msf[1], msf[2]);
        Info("finished ok, image created with %ld sectors [%s]", static_cast<long>(size), text);
        return 0;
    }
    if (Cancelled())
        Info("finished with ERRORS, due to user's request to cancel.");
    else
        Info("finished with ERRORS");
    return 1;
}

void CVcdXmlBuild::ShowHelp(bool brief) {
    Log(VCD_LOG_RAW, "%s %s(%s)\n", programName.c_str(), kVcdBuilderVersion, kVcdBuilderPlatform);
    const std::string name = Lower(programName, 31);
    const char* n = name.c_str();
    if (brief) {
        Log(VCD_LOG_RAW, " Usage:  ('[...]'=optional, '<...>'=required)\n");
        Log(VCD_LOG_RAW, " %s [/?] | [-h] | [/help] | [/u] | [-usage]\n", n);
        Log(VCD_LOG_RAW, " %s [-V] | [/version]\n", n);
        Log(VCD_LOG_RAW, " %s </x <PATH>>  [-i tocimg | cuebin | nrg]  [/c <PATH>]\n", n);
        Log(VCD_LOG_RAW,
            "      [-bin-file <PATH>]  [/sector-2336]  [-p]  [/gui]  [/v <1 | 2 | 3>]\n");
        Log(VCD_LOG_RAW, "\n");
        Log(VCD_LOG_RAW, " remark -- Only with 'cuebin'|'bincue' and 'tocimg'|'imgtoc' :\n");
        Log(VCD_LOG_RAW,
            "   If the 'bin'-param has not been entered but the 'cue' has, the same\n");
        Log(VCD_LOG_RAW,
            "   path-base for the 'bin'|'img-base' as with the 'cue'-param will be used.\n");
        Log(VCD_LOG_RAW, "   eg.: if ((cue == \"D:\\IMG\\videocd.cue\") && (bin == NULL))\n");
        Log(VCD_LOG_RAW,
            "          then the 'bin' will be for 'cuebin' \"D:\\IMG\\videocd.bin\"\n");
        Log(VCD_LOG_RAW,
            "          or the 'img-base' will be for 'imgtoc' \"D:\\IMG\\videocd\"\n");
        return;
    }
    Log(VCD_LOG_RAW, "Written by the Pellam developers.\n");
    Log(VCD_LOG_RAW, "Free software; see the licence that came with it.\n");
    Log(VCD_LOG_RAW, "This program takes a XML to build a (S)VCD with ISO9660-2 characteristics.\n");
    Log(VCD_LOG_RAW, "\n");
    Log(VCD_LOG_RAW, "Usage: %s [OPTION...] (paramters should begin with '-' or '/')\n", n);
    Log(VCD_LOG_RAW, " [x|XML]        <PATH>    specify xml-input file to use\n");
    Log(VCD_LOG_RAW, " [i|image-type] <TYPE>    specify image type for output, possible values:\n");
    Log(VCD_LOG_RAW, "                           'cuebin'|'bincue', 'tocimg'|'imgtoc', 'nrg'\n");
    Log(VCD_LOG_RAW, "                           (default: 'cuebin').\n");
    Log(VCD_LOG_RAW,
        " [c|cue-file]   <PATH>    specify file for output (default: '.\\videocd.cue')\n");
    Log(VCD_LOG_RAW,
        "                           use this also for your 'toc'-file, ignored with NRG\n");
    Log(VCD_LOG_RAW,
        " [b|bin-file]   <PATH>    specify file for output (default: '.\\videocd.bin')\n");
    Log(VCD_LOG_RAW,
        "                           use this also for your 'img'-base and 'nrg'-file\n");
    Log(VCD_LOG_RAW,
        " [s|sector-2336]          use 2336 byte sectors for output (ignored with 'nrg')\n");
    Log(VCD_LOG_RAW, " [p|progress]             show progress\n");
    Log(VCD_LOG_RAW,
        " [v|verbose]    [LEVEL]   be verbose '1'=Normal, '2'=Debug, '3'=Silent\n");
    Log(VCD_LOG_RAW,
        "                           level 3 only shows critical messages and warnings\n");
    Log(VCD_LOG_RAW, "                           (default: level 1)\n");
    Log(VCD_LOG_RAW, " [g|gui]                  enable GUI mode\n");
    Log(VCD_LOG_RAW,
        " [V|version]              display version and copyright information and exit\n");
    Log(VCD_LOG_RAW, "Help options:\n");
    Log(VCD_LOG_RAW, " [?|h|help]               Show this help message\n");
    Log(VCD_LOG_RAW, " [u|usage]                Display brief usage message");
}

CVcdBurnerBuild::CVcdBurnerBuild(platform::HWND window_, unsigned message_,
                                 const VcdBuildOptions& options_, int* cancel)
    : CVcdXmlBuild(window_, message_, options_) {
    cancelFlag = cancel;
}

int CVcdBurnerBuild::OnScanProgress(const VcdScanProgress* report) { return ReportScan(report); }
int CVcdBurnerBuild::OnWriteProgress(const VcdWriteProgress* report) {
    return ReportWrite(report);
}

std::int32_t VcdBuildImage(platform::HWND window, const char* messageName,
                           const VcdBuildOptions* options, int* cancelFlag) {
    if (!window) window = platform::GetActiveWindow();
    if (!window) return -1;
    if (!messageName || !*messageName || !options) return -1;
    unsigned message = platform::RegisterWindowMessage(messageName);
    if (message == 0) return -1;

    std::int32_t result;
    try {
        auto build = std::make_unique<CVcdBurnerBuild>(window, message, *options, cancelFlag);
        result = build ? build->Run() : 3;
    } catch (...) {
        // A failure of the build itself (out of memory, a library throwing) must not take the
        // host down with it.
        result = 2;
    }
    return result;
}
