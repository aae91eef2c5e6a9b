#include "image_files.h"

#include "bincue_sink.h"
#include "mpeg_packet_parser.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>

namespace imgtest {

using namespace mpegtest;

namespace {

Bytes StillPicture(bool sequenceEnd) {
    Bytes es = Concat({SequenceHeader(704, 480, 1, 4), GopHeader(), PictureHeader(1)});
    if (sequenceEnd) es = Concat({es, Bytes{0, 0, 1, 0xB7}});
    return es;
}

} // namespace

Bytes MakePacks(const std::vector<PackSpec>& packs, int version) {
    Bytes out;
    out.reserve(packs.size() * kMpegPackSize);
    for (const PackSpec& spec : packs) {
        Bytes pack = version == 2 ? PackHeaderV2() : PackHeaderV1();
        const double pts = 1.0 + spec.time;
        switch (spec.kind) {
        case PackKind::Padding:
            break;
        case PackKind::Aps: {
            Bytes es = Concat({SequenceHeader(352, 240, 1, 4), GopHeader(), PictureHeader(1)});
            pack = Concat({pack, Pes(0xE0, version, pts, es)});
            break;
        }
        case PackKind::Audio:
        case PackKind::Audio1:
            pack = Concat({pack, Pes(spec.kind == PackKind::Audio ? 0xC0 : 0xC1, version, pts,
                                     Concat({AudioFrameHeader(2, 11, 0, 0), Bytes(64, 0x55)}))});
            break;
        case PackKind::Still:
            pack = Concat({pack, Pes(0xE1, version, pts, StillPicture(true))});
            break;
        case PackKind::HiRes:
            pack = Concat({pack, Pes(0xE2, version, pts, StillPicture(false))});
            break;
        case PackKind::Private: {
            // Fills the whole pack, so that no padding packet gives it a type.
            const std::size_t body = kMpegPackSize - pack.size() - 6;
            pack = Concat({pack, Packet(0xBF, Bytes(body, 0x11))});
            break;
        }
        }
        pack = PadTo(pack, kMpegPackSize);
        out.insert(out.end(), pack.begin(), pack.end());
    }
    return out;
}

std::vector<PackSpec> ApsAt(std::uint32_t count,
                            const std::vector<std::pair<std::uint32_t, double>>& aps) {
    std::vector<PackSpec> packs(count);
    for (const auto& [pack, time] : aps)
        packs.at(pack) = {PackKind::Aps, time};
    return packs;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/pellam_image_XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int AddSequence(CVcdObj& project, const std::string& path, const char* id) {
    auto source = std::make_unique<CVcdMpegSource>(project.log, path.c_str());
    return project.AddSequence(source, id, nullptr);
}

int AddSegment(CVcdObj& project, const std::string& path, const char* id) {
    auto source = std::make_unique<CVcdMpegSource>(project.log, path.c_str());
    return project.AddSegment(source, id);
}

int AddFile(CVcdObj& project, const std::string& isoPath, const std::string& hostPath, bool raw) {
    auto stream = std::make_unique<CVcdStream>(project.log, hostPath.c_str(), VCD_STREAM_READ);
    return project.AddFile(isoPath.c_str(), stream, raw);
}

BinCue::BinCue(CVcdLog& log, const TempDir& dir)
    : binPath(dir.File("VideoCD.bin")), cuePath(dir.File("VideoCD.cue")) {
    cue = std::make_unique<CVcdBinCue>(log, cuePath.c_str());
    bin = std::make_unique<CVcdBinCue>(log, binPath.c_str());
    pair.sinkA = cue.get();
    pair.sinkB = bin.get();
}

std::ostream& operator<<(std::ostream& os, const Subheader& s) {
    char text[64];
    std::snprintf(text, sizeof text, "{file %d, channel %d, submode 0x%02x, coding 0x%02x}", s.file,
                  s.channel, s.submode, s.coding);
    return os << text;
}

BinImage::BinImage(const std::string& path) : data_(mpegtest::ReadFile(path)) {}

Subheader BinImage::Sub(std::uint32_t lsn) const {
    if (lsn >= sectors()) return {};
    const std::uint8_t* s = Sector(lsn) + 16;
    return {s[0], s[1], s[2], s[3]};
}

void BinImage::ExtractForm1(std::uint32_t first, std::uint32_t count,
                            const std::string& out) const {
    Bytes iso;
    for (std::uint32_t lsn = first; lsn < first + count && lsn < sectors(); ++lsn)
        iso.insert(iso.end(), Sector(lsn) + 24, Sector(lsn) + 24 + 2048);
    WriteFile(out, iso);
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RunTool(const std::string& command) {
    std::string out;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

} // namespace imgtest
