#include "project_builder.h"

#include "mpeg_packet_parser.h"

namespace projtest {

using namespace mpegtest;

Bytes MakeStream(const StreamSpec& spec) {
    const bool v2 = spec.version == 2;
    auto header = [&] { return v2 ? PackHeaderV2() : PackHeaderV1(); };
    Bytes out;
    out.reserve(static_cast<std::size_t>(spec.packs) * kMpegPackSize);
    for (std::uint32_t i = 0; i < spec.packs; ++i) {
        Bytes pack = header();
        if (i == 0 && spec.videoId != 0) {
            Bytes es = Concat({SequenceHeader(spec.width, spec.height, 1, spec.rateCode),
                               GopHeader(), PictureHeader(1)});
            pack = Concat({pack, Pes(spec.videoId, spec.version, 0.5, es)});
        }
        pack = PadTo(pack, kMpegPackSize);
        out.insert(out.end(), pack.begin(), pack.end());
    }
    return out;
}

const std::string& StreamFiles::Path(const StreamSpec& spec) {
    Key key{spec.packs, spec.version, spec.videoId, spec.width, spec.height, spec.rateCode};
    auto& file = files_[key];
    if (!file) file = std::make_unique<TempFile>(MakeStream(spec));
    return file->path();
}

std::string Fixture(const char* name) {
    return std::string(PELLAM_FIXTURES) + "/" + name;
}

int AddSequence(CVcdObj& project, const std::string& path, const char* id,
                const char* defaultEntryId) {
    auto source = std::make_unique<CVcdMpegSource>(project.log, path.c_str());
    return project.AddSequence(source, id, defaultEntryId);
}

int AddSegment(CVcdObj& project, const std::string& path, const char* id) {
    auto source = std::make_unique<CVcdMpegSource>(project.log, path.c_str());
    return project.AddSegment(source, id);
}

} // namespace projtest
