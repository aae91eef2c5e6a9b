// Builds small VideoCD projects for tests: synthetic program streams of an exact pack count in
// temporary files, and one-call adding of sequences and segments over them.
#pragma once

#include "mpeg_pack_builder_support.h"
#include "vcd_project.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

namespace projtest {

struct StreamSpec {
    std::uint32_t packs = 1;
    int version = 1;             // MPEG-1 or MPEG-2 pack headers
    std::uint8_t videoId = 0xE0; // stream carrying the sequence header; 0 for no video
    unsigned width = 352;
    unsigned height = 240;
    unsigned rateCode = 4; // 4: 29.97 (NTSC), 3: 25 (PAL)
};

// A program stream of `packs` 2324-byte packs; the first one carries a sequence header of the
// given video stream, the others are padding.
mpegtest::Bytes MakeStream(const StreamSpec& spec);

// Temporary stream files, one per distinct spec, removed with the object.
class StreamFiles {
  public:
    const std::string& Path(const StreamSpec& spec);

  private:
    using Key = std::tuple<std::uint32_t, int, int, unsigned, unsigned, unsigned>;
    std::map<Key, std::unique_ptr<mpegtest::TempFile>> files_;
};

std::string Fixture(const char* name);

// Creates a source on `path` and adds it; the result of the project's operation.
int AddSequence(CVcdObj& project, const std::string& path, const char* id,
                const char* defaultEntryId = nullptr);
int AddSegment(CVcdObj& project, const std::string& path, const char* id);

} // namespace projtest
