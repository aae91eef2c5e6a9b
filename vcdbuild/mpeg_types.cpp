#include "mpeg_types.h"

#include <cstdio>

namespace {

struct NormEntry {
    MpegNorm norm;
    std::uint32_t hsize;
    std::uint32_t vsize;
    double frameRate;
    const char* name;
};

// FILM before NTSC: both are 352x240, only the frame rate tells them apart.
constexpr NormEntry kNorms[] = {
    {MPEG_NORM_FILM, 352, 240, 24000.0 / 1001.0, "FILM SIF (352x240/24fps)"},
    {MPEG_NORM_PAL, 352, 288, 25, "PAL SIF (352x288/25fps)"},
    {MPEG_NORM_NTSC, 352, 240, 30000.0 / 1001.0, "NTSC SIF (352x240/30fps)"},
    {MPEG_NORM_PAL_S, 480, 576, 25, "PAL 2/3 D-1 (480x576/25fps)"},
    {MPEG_NORM_NTSC_S, 480, 480, 30000.0 / 1001.0, "NTSC 2/3 D-1 (480x480/30fps)"},
};

const NormEntry* FindNorm(const MpegVideoInfo& v) {
    for (const NormEntry& n : kNorms)
        if (n.hsize == v.hsize && n.vsize == v.vsize && n.frameRate == v.frameRate) return &n;
    return nullptr;
}

} // namespace

MpegNorm GetNorm(const MpegVideoInfo& video) {
    const NormEntry* n = FindNorm(video);
    return n ? n->norm : MPEG_NORM_OTHER;
}

std::string GetNormName(const MpegVideoInfo& video) {
    if (const NormEntry* n = FindNorm(video)) return n->name;
    const char* format = "UNKNOWN (%dx%d/%2.2ffps)";
    if (video.vsize == 240 || video.vsize == 480)
        format = "NTSC UNKNOWN (%dx%d/%2.2ffps)";
    else if (video.vsize == 288 || video.vsize == 576)
        format = "PAL UNKNOWN (%dx%d/%2.2ffps)";
    char text[96];
    std::snprintf(text, sizeof text, format, static_cast<int>(video.hsize),
                  static_cast<int>(video.vsize), video.frameRate);
    return text;
}

const char* GetAudioModeName(MpegAudioMode mode) {
    switch (mode) {
    case MPEG_AUDIO_STEREO:
        return "stereo";
    case MPEG_AUDIO_JOINT_STEREO:
        return "jstereo";
    case MPEG_AUDIO_DUAL_CHANNEL:
        return "dual";
    case MPEG_AUDIO_SINGLE_CHANNEL:
        return "single";
    default:
        return "";
    }
}
