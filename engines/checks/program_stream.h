// Reads an MPEG program stream file pack by pack: MPEG-1 and MPEG-2 pack headers, system headers
// and every PES packet with its stream, its private sub-stream and its time stamp. Shared by the
// compatibility check and the demultiplexer; the image builder's parser looks into the packs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace engines {

struct PsPacket {
    std::uint8_t streamId = 0;
    int subStreamId = -1;          // first payload byte of private stream 1, else -1
    std::size_t payloadOffset = 0; // into PsPack::bytes, after the PES header
    std::size_t payloadLength = 0;
    bool hasPts = false;
    std::uint64_t pts = 0; // 90 kHz
};

struct PsPack {
    std::int64_t offset = 0;         // of the pack header in the file
    int version = 0;                 // 1 or 2, by the pack header
    std::vector<std::uint8_t> bytes; // the whole pack, pack header first
    std::vector<PsPacket> packets;   // PES packets of stream ids 0xBD and 0xC0..0xEF
    bool programEnd = false;         // the pack is followed by the program end code
};

enum class PsResult { Pack, End, Error };

class ProgramStreamReader {
  public:
    ProgramStreamReader() = default;
    ~ProgramStreamReader();
    ProgramStreamReader(const ProgramStreamReader&) = delete;
    ProgramStreamReader& operator=(const ProgramStreamReader&) = delete;

    // False with error() set when the file cannot be read or does not start with a pack header.
    bool Open(const std::string& path);
    // The next pack; End after the last one; Error with error() set for a broken stream.
    PsResult Next(PsPack& pack);

    const std::string& error() const { return error_; }
    std::int64_t size() const { return size_; }
    std::int64_t position() const { return fileBase_ + static_cast<std::int64_t>(pos_); }
    // Bytes between packs that were skipped to find the next pack header.
    std::int64_t skippedBytes() const { return skipped_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    // Makes `n` bytes from the read position available; false at the end of the file.
    bool Ensure(std::size_t n);
    const std::uint8_t* At(std::size_t n) const { return buffer_.data() + pos_ + n; }
    bool ParsePes(PsPack& pack, std::size_t start, std::size_t length, std::uint8_t id);
    bool Fail(const char* format, long long offset);
    // Skips to the next pack start code; false when the rest of the file holds none.
    bool Resync();

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;       // read position in buffer_
    std::int64_t fileBase_ = 0; // file offset of buffer_[0]
    std::int64_t size_ = 0;
    std::int64_t skipped_ = 0;
    bool readError_ = false;
    std::string error_;
};

} // namespace engines
