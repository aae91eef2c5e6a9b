#include "engines/checks/program_stream.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace engines {

namespace {

constexpr std::uint32_t kPackStart = 0x000001BA;
constexpr std::uint32_t kProgramEnd = 0x000001B9;
constexpr std::size_t kReadChunk = 256 * 1024;
// Far beyond any real pack (DVD 2048, VCD 2324 bytes); keeps a broken file from growing one pack
// without end.
constexpr std::size_t kMaxPackLength = 4 * 1024 * 1024;

std::uint32_t Load32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

std::uint64_t TimeStamp(const std::uint8_t* p) {
    return (std::uint64_t(p[0] & 0x0E) << 29) | (std::uint64_t(p[1]) << 22) |
           (std::uint64_t(p[2] & 0xFE) << 14) | (std::uint64_t(p[3]) << 7) | (p[4] >> 1);
}

bool CarriesElementaryData(std::uint8_t id) {
    return id == 0xBD || (id >= 0xC0 && id <= 0xEF);
}

} // namespace

ProgramStreamReader::~ProgramStreamReader() = default;

bool ProgramStreamReader::Open(const std::string& path) {
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) {
        error_ = "The file cannot be opened.";
        return false;
    }
    struct stat st {};
    if (fstat(fileno(file_.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = "The file cannot be read.";
        return false;
    }
    size_ = static_cast<std::int64_t>(st.st_size);
    if (size_ == 0) {
        error_ = "The file is empty.";
        return false;
    }
    if (!Ensure(4)) {
        error_ = readError_ ? "The file cannot be read."
                            : "The file is too short to be an MPEG program stream.";
        return false;
    }
    const std::uint8_t* p = At(0);
    std::uint32_t code = Load32(p);
    if (code == kPackStart) return true;
    if (std::memcmp(p, "RIFF", 4) == 0)
        error_ = "The file is a RIFF file (such as a VideoCD .dat), not a plain MPEG program "
                 "stream.";
    else if (code == 0x000001B3)
        error_ = "The file is an elementary video stream, not a program stream with video and "
                 "audio.";
    else if (p[0] == 0xFF && (p[1] & 0xE0) == 0xE0)
        error_ = "The file is an elementary audio stream, not a program stream with video and "
                 "audio.";
    else
        error_ = "The file is not an MPEG program stream.";
    return false;
}

bool ProgramStreamReader::Ensure(std::size_t n) {
    if (buffer_.size() - pos_ >= n) return true;
    if (!file_ || readError_) return false;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos_));
    fileBase_ += static_cast<std::int64_t>(pos_);
    pos_ = 0;
    while (buffer_.size() < n) {
        std::size_t old = buffer_.size();
        buffer_.resize(old + std::max(n - old, kReadChunk));
        std::size_t got = std::fread(buffer_.data() + old, 1, buffer_.size() - old, file_.get());
        buffer_.resize(old + got);
        if (got == 0) {
            readError_ = std::ferror(file_.get()) != 0;
            return false;
        }
    }
    return true;
}

bool ProgramStreamReader::Fail(const char* format, long long offset) {
    char text[200];
    std::snprintf(text, sizeof text, format, offset);
    error_ = text;
    return false;
}

bool ProgramStreamReader::Resync() {
    while (Ensure(4)) {
        if (Load32(At(0)) == kPackStart) return true;
        if (*At(0) != 0) ++skipped_;
        ++pos_;
    }
    for (; pos_ < buffer_.size(); ++pos_)
        if (buffer_[pos_] != 0) ++skipped_;
    return false;
}

PsResult ProgramStreamReader::Next(PsPack& pack) {
    pack.bytes.clear();
    pack.packets.clear();
    pack.programEnd = false;
    pack.version = 0;

    for (;;) {
        if (!Ensure(4)) {
            if (readError_) {
                Fail("The file cannot be read at byte %lld.", position());
                return PsResult::Error;
            }
            Resync(); // counts a non-zero tail
            return PsResult::End;
        }
        std::uint32_t code = Load32(At(0));
        if (code == kPackStart) break;
        if (code == kProgramEnd) {
            pos_ += 4; // streams put one after another may each end with it
            continue;
        }
        if (!Resync()) return PsResult::End;
    }

    pack.offset = position();
    if (!Ensure(5)) {
        Fail("The file is cut short inside the pack header at byte %lld.", pack.offset);
        return PsResult::Error;
    }
    std::size_t len = 0;
    std::uint8_t kind = *At(4);
    if ((kind >> 6) == 1) {
        if (!Ensure(14) || !Ensure(14 + (*At(13) & 7))) {
            Fail("The file is cut short inside the pack header at byte %lld.", pack.offset);
            return PsResult::Error;
        }
        len = 14 + (*At(13) & 7);
        pack.version = 2;
    } else if ((kind >> 4) == 2) {
        if (!Ensure(12)) {
            Fail("The file is cut short inside the pack header at byte %lld.", pack.offset);
            return PsResult::Error;
        }
        len = 12;
        pack.version = 1;
    } else {
        Fail("The pack header at byte %lld is neither MPEG-1 nor MPEG-2.", pack.offset);
        return PsResult::Error;
    }

    struct Found {
        std::size_t start;
        std::size_t length;
        std::uint8_t id;
    };
    std::vector<Found> found;
    while (Ensure(len + 4)) {
        if (len > kMaxPackLength) {
            Fail("The pack at byte %lld is far too long.", pack.offset);
            return PsResult::Error;
        }
        std::uint32_t code = Load32(At(len));
        if (code == kPackStart) break;
        if (code == kProgramEnd) {
            pack.programEnd = true;
            len += 4;
            break;
        }
        if ((code >> 8) != 1 || (code & 0xFF) < 0xBB) break; // not a packet: the next call resyncs
        if (!Ensure(len + 6)) {
            Fail("The file is cut short inside a packet at byte %lld.",
                 pack.offset + static_cast<long long>(len));
            return PsResult::Error;
        }
        std::size_t packetLength = 6 + ((std::size_t(*At(len + 4)) << 8) | *At(len + 5));
        if (!Ensure(len + packetLength)) {
            if (readError_)
                Fail("The file cannot be read at byte %lld.", position());
            else
                Fail("The file is cut short inside the packet at byte %lld.",
                     pack.offset + static_cast<long long>(len));
            return PsResult::Error;
        }
        std::uint8_t id = static_cast<std::uint8_t>(code & 0xFF);
        if (CarriesElementaryData(id)) found.push_back({len, packetLength, id});
        len += packetLength;
    }
    if (readError_) {
        Fail("The file cannot be read at byte %lld.", position());
        return PsResult::Error;
    }
    // A pack header with less than a start code after it at the end of the file ends the stream.
    len = std::min(len, buffer_.size() - pos_);

    pack.bytes.assign(At(0), At(0) + len);
    pos_ += len;
    for (const Found& f : found)
        if (!ParsePes(pack, f.start, f.length, f.id)) return PsResult::Error;
    return PsResult::Pack;
}

bool ProgramStreamReader::ParsePes(PsPack& pack, std::size_t start, std::size_t n,
                                   std::uint8_t id) {
    const std::uint8_t* p = pack.bytes.data() + start;
    const long long at = pack.offset + static_cast<long long>(start);
    PsPacket packet;
    packet.streamId = id;
    std::size_t i = 6;
    if (n > 6 && (p[6] >> 6) == 2) {
        if (n < 9 || 9 + std::size_t(p[8]) > n)
            return Fail("The packet at byte %lld is broken.", at);
        std::uint8_t flags = p[7] >> 6;
        if (flags & 2) {
            if (p[8] < 5) return Fail("The packet at byte %lld is broken.", at);
            packet.hasPts = true;
            packet.pts = TimeStamp(p + 9);
        }
        i = 9 + p[8];
    } else {
        while (i < n && p[i] == 0xFF && i < 6 + 16)
            ++i;
        if (i < n && (p[i] >> 6) == 1) i += 2; // STD buffer size
        if (i >= n) return Fail("The packet at byte %lld is broken.", at);
        if ((p[i] >> 4) == 2 || (p[i] >> 4) == 3) {
            std::size_t stamps = (p[i] >> 4) == 2 ? 5 : 10;
            if (i + stamps > n) return Fail("The packet at byte %lld is broken.", at);
            packet.hasPts = true;
            packet.pts = TimeStamp(p + i);
            i += stamps;
        } else if (p[i] == 0x0F) {
            i += 1;
        } else {
            return Fail("The packet at byte %lld is broken.", at);
        }
    }
    packet.payloadOffset = start + i;
    packet.payloadLength = n - i;
    if (id == 0xBD && i < n) packet.subStreamId = p[i];
    pack.packets.push_back(packet);
    return true;
}

} // namespace engines
