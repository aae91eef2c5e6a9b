#include "engines/checks/mpeg_compat.h"

#include "engines/checks/program_stream.h"
#include "vcdbuild/bit_reader.h"
#include "vcdbuild/mpeg_packet_parser.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace engines {

namespace {

constexpr double kNtscRate = 30000.0 / 1001.0;
constexpr double kFilmRate = 24000.0 / 1001.0;
constexpr std::uint32_t kVariableBitRate = 0x3FFFF; // the sequence header's "variable" value

struct DiscRules {
    const char* name; // "a VCD"
    int version;      // of the program stream and the video
    std::int64_t maxVideoBitRate;
    int maxAudioStreams;
};

const DiscRules& RulesOf(DiscKind kind) {
    static const DiscRules kVcd{"a VCD", 1, 1151929, 1};
    static const DiscRules kSvcd{"an SVCD", 2, 2600000, 2};
    static const DiscRules kDvd{"a DVD", 2, 9800000, 8};
    return kind == DiscKind::Vcd ? kVcd : kind == DiscKind::Svcd ? kSvcd : kDvd;
}

bool Near(double rate, double wanted) {
    return std::fabs(rate - wanted) < 0.01;
}

// "29.97", "23.976", "25".
std::string RateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", rate);
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[400];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// The parts of the video stream the image builder's scanner does not keep: the number of
// pictures, the bytes, and the bit rate extension of an MPEG-2 sequence extension. Start codes
// may be split between packets.
class VideoElementaryScan {
  public:
    void Feed(const std::uint8_t* p, std::size_t n) {
        bytes += n;
        std::size_t i = 0;
        while (i < n) {
            std::uint8_t b = p[i];
            if (codeNext_) {
                codeNext_ = false;
                state_ = (state_ << 8) | b;
                ++i;
                OnCode(b);
                continue;
            }
            if (have_ < need_) {
                capture_[have_++] = b;
                state_ = (state_ << 8) | b;
                ++i;
                if (have_ == need_) OnExtension();
                continue;
            }
            const void* hit = std::memchr(p + i, 1, n - i);
            std::size_t q =
                hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - p) : n;
            for (std::size_t k = q - i > 4 ? q - 4 : i; k < q; ++k)
                state_ = (state_ << 8) | p[k];
            if (!hit) break;
            state_ = (state_ << 8) | 1;
            i = q + 1;
            if ((state_ & 0xFFFFFF) == 1) codeNext_ = true;
        }
    }

    std::uint64_t bytes = 0;
    std::uint32_t pictures = 0;
    bool sequenceSeen = false;
    bool extensionSeen = false; // a sequence extension: the video is MPEG-2
    std::uint32_t bitRateExtension = 0;

  private:
    void OnCode(std::uint8_t code) {
        if (code == 0x00) {
            ++pictures;
        } else if (code == 0xB3) {
            sequenceSeen = true;
        } else if (code == 0xB5 && sequenceSeen && !extensionSeen) {
            need_ = 6;
            have_ = 0;
        }
    }
    void OnExtension() {
        need_ = have_ = 0;
        BitReader r(capture_, sizeof capture_);
        if (r.Read(4) != 1) return; // not the sequence extension
        r.Skip(8 + 1 + 2 + 2 + 2);  // profile and level, progressive, chroma, size extensions
        bitRateExtension = r.Read(12);
        extensionSeen = true;
    }

    std::uint32_t state_ = 0xFFFFFFFF; // the last four bytes seen
    bool codeNext_ = false;
    std::uint8_t capture_[6] = {};
    std::size_t need_ = 0, have_ = 0;
};

enum class AudioCodec { Unknown, Mpeg, Ac3, Lpcm, Dts };

struct AudioStream {
    std::uint8_t id = 0;
    int subStream = -1;
    AudioCodec codec = AudioCodec::Unknown;
    bool headerFound = false;
    int mpegVersion = 0; // 1, 2, or 25 for MPEG-2.5
    int layer = 0;
    int samplingRate = 0;

    std::string Name() const {
        return subStream >= 0 ? Format("0x%02X", subStream) : Format("0x%02X", id);
    }
};

void ReadMpegAudioHeader(AudioStream& a, const std::uint8_t* p, std::size_t n) {
    static constexpr int kRates[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    for (std::size_t i = 0; i + 4 <= n; ++i) {
        if (p[i] != 0xFF || (p[i + 1] & 0xE0) != 0xE0) continue;
        int version = (p[i + 1] >> 3) & 3;
        int layer = (p[i + 1] >> 1) & 3;
        int bitRate = p[i + 2] >> 4;
        int rate = (p[i + 2] >> 2) & 3;
        if (version == 1 || layer == 0 || bitRate == 15 || rate == 3) continue;
        a.mpegVersion = version == 3 ? 1 : version == 2 ? 2 : 25;
        a.layer = 4 - layer;
        a.samplingRate = kRates[version == 3 ? 0 : version == 2 ? 1 : 2][rate];
        a.headerFound = true;
        return;
    }
}

void ReadAc3Header(AudioStream& a, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i + 5 <= n; ++i) {
        if (p[i] != 0x0B || p[i + 1] != 0x77) continue;
        int code = p[i + 4] >> 6;
        if (code == 3) continue;
        static constexpr int kRates[3] = {48000, 44100, 32000};
        a.samplingRate = kRates[code];
        a.headerFound = true;
        return;
    }
}

// The image builder's log, kept off the console: the check speaks through its reason only.
struct QuietLog {
    QuietLog() : sink(std::fopen("/dev/null", "w")), log(nullptr, 0, 5, false) {
        if (sink) log.SetConsoleStreams(sink.get(), sink.get());
    }
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> sink;
    CVcdLog log;
};

// What one pass over the file finds.
struct Survey {
    MpegScanContext scan;
    int version = 0;
    bool mixedVersions = false;
    VideoElementaryScan video;
    std::vector<std::uint8_t> otherVideo; // video stream ids other than 0xE0
    std::vector<AudioStream> audio;
    std::vector<int> privateSubStreams; // of private stream 1, not audio
    bool videoPts = false;
    std::uint64_t videoMinPts = 0, videoMaxPts = 0;
};

AudioStream& AudioOf(Survey& s, std::uint8_t id, int subStream) {
    for (AudioStream& a : s.audio)
        if (a.id == id && a.subStream == subStream) return a;
    AudioStream a;
    a.id = id;
    a.subStream = subStream;
    s.audio.push_back(a);
    return s.audio.back();
}

template <typename T> void AddOnce(std::vector<T>& list, T value) {
    for (const T& v : list)
        if (v == value) return;
    list.push_back(value);
}

void Look(Survey& s, const PsPack& pack, const PsPacket& packet) {
    const std::uint8_t* payload = pack.bytes.data() + packet.payloadOffset;
    const std::size_t n = packet.payloadLength;
    const std::uint8_t id = packet.streamId;
    if (id == 0xE0) {
        s.video.Feed(payload, n);
        if (packet.hasPts) {
            if (!s.videoPts || packet.pts < s.videoMinPts) s.videoMinPts = packet.pts;
            if (!s.videoPts || packet.pts > s.videoMaxPts) s.videoMaxPts = packet.pts;
            s.videoPts = true;
        }
    } else if (id >= 0xE1) {
        AddOnce(s.otherVideo, id);
    } else if (id >= 0xC0) {
        AudioStream& a = AudioOf(s, id, -1);
        a.codec = AudioCodec::Mpeg;
        if (!a.headerFound) ReadMpegAudioHeader(a, payload, n);
    } else if (id == 0xBD && packet.subStreamId >= 0) {
        int sub = packet.subStreamId;
        if (sub >= 0x80 && sub <= 0x8F) {
            AudioStream& a = AudioOf(s, id, sub);
            a.codec = sub <= 0x87 ? AudioCodec::Ac3 : AudioCodec::Dts;
            // Skip the sub-stream byte, the frame count and the first access unit pointer.
            if (a.codec == AudioCodec::Ac3 && !a.headerFound && n > 4)
                ReadAc3Header(a, payload + 4, n - 4);
        } else if (sub >= 0xA0 && sub <= 0xA7) {
            AudioOf(s, id, sub).codec = AudioCodec::Lpcm;
        } else {
            AddOnce(s.privateSubStreams, sub);
        }
    }
}

// Reads the whole file; false with the reason when it is no readable program stream.
bool Read(const std::string& path, const std::atomic<int>* cancel, Survey& s, MpegFacts& facts,
          std::string& reason) {
    ProgramStreamReader reader;
    if (!reader.Open(path)) {
        facts.fileSize = reader.size();
        reason = reader.error();
        return false;
    }
    facts.fileSize = reader.size();
    QuietLog quiet;
    PsPack pack;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed) != 0) {
            reason = "Cancelled.";
            return false;
        }
        PsResult r = reader.Next(pack);
        if (r == PsResult::End) break;
        if (r == PsResult::Error) {
            reason = reader.error();
            return false;
        }
        if (s.version == 0)
            s.version = pack.version;
        else if (s.version != pack.version)
            s.mixedVersions = true;
        // The builder's parser reads the sequence header of every video stream; a pack it does
        // not understand only leaves out that pack's facts.
        ParsePacket(pack.bytes.data(), pack.bytes.size(), true, s.scan, quiet.log);
        for (const PsPacket& packet : pack.packets)
            Look(s, pack, packet);
    }
    return true;
}

bool PictureFits(DiscKind kind, int w, int h, double rate) {
    bool ntsc = Near(rate, kNtscRate) || Near(rate, kFilmRate);
    bool pal = Near(rate, 25);
    switch (kind) {
    case DiscKind::Vcd:
        return w == 352 && ((h == 240 && ntsc) || (h == 288 && pal));
    case DiscKind::Svcd:
        return (w == 480 && h == 480 && Near(rate, kNtscRate)) || (w == 480 && h == 576 && pal);
    case DiscKind::Dvd:
        if ((w == 720 || w == 704 || w == 352) && ((h == 480 && ntsc) || (h == 576 && pal)))
            return true;
        return w == 352 && ((h == 240 && ntsc) || (h == 288 && pal));
    }
    return false;
}

const char* PictureRule(DiscKind kind) {
    switch (kind) {
    case DiscKind::Vcd:
        return "352x240 at 29.97 or 23.976 frames/s, or 352x288 at 25";
    case DiscKind::Svcd:
        return "480x480 at 29.97 frames/s, or 480x576 at 25";
    case DiscKind::Dvd:
        return "720, 704 or 352 by 480 at 29.97 or 23.976 frames/s or by 576 at 25, or 352x240 "
               "or 352x288";
    }
    return "";
}

const char* CodecName(const AudioStream& a) {
    switch (a.codec) {
    case AudioCodec::Ac3:
        return "AC-3";
    case AudioCodec::Lpcm:
        return "LPCM";
    case AudioCodec::Dts:
        return "DTS";
    default:
        break;
    }
    if (a.mpegVersion == 1 && a.layer == 2) return "MPEG-1 Layer II";
    static const char* const kNames[] = {
        "MPEG-1 Layer I",   "MPEG-1 Layer II",   "MPEG-1 Layer III",
        "MPEG-2 Layer I",   "MPEG-2 Layer II",   "MPEG-2 Layer III",
        "MPEG-2.5 Layer I", "MPEG-2.5 Layer II", "MPEG-2.5 Layer III"};
    int row = a.mpegVersion == 1 ? 0 : a.mpegVersion == 2 ? 1 : 2;
    int layer = a.layer >= 1 && a.layer <= 3 ? a.layer : 2;
    return kNames[row * 3 + layer - 1];
}

std::string CheckAudio(DiscKind kind, const DiscRules& rules, const Survey& s) {
    if (s.audio.empty()) return "The file has no audio stream.";
    if (static_cast<int>(s.audio.size()) > rules.maxAudioStreams)
        return Format("The file has %d audio streams, but %s takes at most %d.",
                      static_cast<int>(s.audio.size()), rules.name, rules.maxAudioStreams);
    const int wantedRate = kind == DiscKind::Dvd ? 48000 : 44100;
    for (const AudioStream& a : s.audio) {
        bool mp2 = a.codec == AudioCodec::Mpeg && a.mpegVersion == 1 && a.layer == 2;
        bool codecOk = a.codec == AudioCodec::Ac3 ? kind == DiscKind::Dvd : mp2;
        if (a.codec == AudioCodec::Lpcm || a.codec == AudioCodec::Dts ||
            (a.headerFound && !codecOk))
            return Format("The audio stream %s is %s, but %s needs MPEG-1 Layer II%s audio.",
                          a.Name().c_str(), CodecName(a), rules.name,
                          kind == DiscKind::Dvd ? " or AC-3" : "");
        if (!a.headerFound)
            return Format("The audio stream %s has no readable frame header.", a.Name().c_str());
        if (a.samplingRate != wantedRate)
            return Format("The audio stream %s is sampled at %g kHz, but %s needs %g kHz.",
                          a.Name().c_str(), a.samplingRate / 1000.0, rules.name,
                          wantedRate / 1000.0);
    }
    return "";
}

// The facts of the video stream 0xE0, as far as they were read.
void FillFacts(const Survey& s, MpegFacts& facts) {
    const MpegVideoInfo& v = s.scan.stream.video[0];
    if (!v.seen) return;
    facts.width = static_cast<int>(v.hsize);
    facts.height = static_cast<int>(v.vsize);
    facts.frameRate = v.frameRate;
    if (s.video.pictures > 0 && v.frameRate > 0)
        facts.seconds = s.video.pictures / v.frameRate;
    else if (s.videoPts)
        facts.seconds = static_cast<double>(s.videoMaxPts - s.videoMinPts) / 90000.0;

    const std::uint32_t field = v.bitRate / 400;
    if (field == kVariableBitRate && s.video.bitRateExtension == 0) {
        // A variable rate stream: judged by its average over the playing time.
        facts.bitRateMeasured = true;
        facts.bitRate = facts.seconds > 0
                            ? static_cast<std::int64_t>(std::llround(
                                  static_cast<double>(s.video.bytes) * 8.0 / facts.seconds))
                            : 0;
    } else {
        facts.bitRate =
            static_cast<std::int64_t>((std::uint64_t(s.video.bitRateExtension) << 18) | field) *
            400;
    }
}

std::string CheckRules(DiscKind kind, const Survey& s, const MpegFacts& facts) {
    const DiscRules& rules = RulesOf(kind);
    if (s.mixedVersions) return "The file mixes MPEG-1 and MPEG-2 packs.";
    if (!s.video.sequenceSeen || !s.scan.stream.video[0].seen)
        return "The file has no video stream.";
    if (!s.otherVideo.empty())
        return Format("The file has %d video streams, but %s takes one.",
                      1 + static_cast<int>(s.otherVideo.size()), rules.name);

    const int videoVersion = s.video.extensionSeen ? 2 : 1;
    if (s.version != rules.version)
        return Format("The file is an MPEG-%d program stream, but %s needs MPEG-%d.", s.version,
                      rules.name, rules.version);
    if (videoVersion != rules.version)
        return Format("The video is MPEG-%d, but %s needs MPEG-%d video.", videoVersion, rules.name,
                      rules.version);
    if (!PictureFits(kind, facts.width, facts.height, facts.frameRate))
        return Format("The picture is %dx%d at %s frames/s, but %s needs %s.", facts.width,
                      facts.height, RateText(facts.frameRate).c_str(), rules.name,
                      PictureRule(kind));
    if (facts.bitRate > rules.maxVideoBitRate)
        return Format("The video bit rate is %lld bit/s%s, but %s allows at most %lld bit/s.",
                      static_cast<long long>(facts.bitRate),
                      facts.bitRateMeasured ? " (measured; the header says variable)" : "",
                      rules.name, static_cast<long long>(rules.maxVideoBitRate));

    std::string audio = CheckAudio(kind, rules, s);
    if (!audio.empty()) return audio;

    for (int sub : s.privateSubStreams) {
        if (kind == DiscKind::Svcd && sub >= kMpegOgtChannels)
            return Format("The file carries subtitles on channel %d, but an SVCD has channels 0 "
                          "to %d.",
                          sub, kMpegOgtChannels - 1);
        if (kind == DiscKind::Vcd)
            return "The file carries a private stream (such as subtitles), which a VCD cannot "
                   "hold.";
        // DVD sub-pictures (0x20..0x3F) and other private data do not matter here.
    }
    return "";
}

} // namespace

MpegCheckResult CheckMpegFile(const std::string& path, DiscKind kind,
                              const std::atomic<int>* cancel) {
    MpegCheckResult result;
    Survey survey;
    bool read = Read(path, cancel, survey, result.facts, result.reason);
    FillFacts(survey, result.facts);
    if (!read) return result;
    result.reason = CheckRules(kind, survey, result.facts);
    result.ok = result.reason.empty();
    return result;
}

} // namespace engines
