#include "engines/dvd/dvd_mediainfo.h"

#include <charconv>
#include <cstdio>

namespace engines {

namespace {

// 128 + ENOMEDIUM: dvd+rw-mediainfo's status for an empty drive.
constexpr int kExitNoMedium = 251;

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// "Key:   value" -> key and value, both trimmed; false for lines without a colon.
bool SplitField(const std::string& line, std::string& key, std::string& value) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) return false;
    key = Trim(line.substr(0, colon));
    value = Trim(line.substr(colon + 1));
    return true;
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// "1Bh, DVD+R" -> 0x1B and "DVD+R".
bool ParseMountedMedia(const std::string& value, int& profile, std::string& name) {
    unsigned v = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v, 16);
    if (ec != std::errc() || end == value.data() || end == value.data() + value.size() ||
        (*end != 'h' && *end != 'H') || v > 0xFFFF)
        return false;
    profile = static_cast<int>(v);
    std::size_t comma = value.find(',');
    name = comma == std::string::npos ? std::string() : Trim(value.substr(comma + 1));
    return true;
}

// "8.0x1385=11080KB/s" -> 11080.
bool ParseSpeed(const std::string& value, std::int32_t& kbs) {
    std::size_t eq = value.find('=');
    if (eq == std::string::npos || eq + 1 >= value.size()) return false;
    auto [end, ec] = std::from_chars(value.data() + eq + 1, value.data() + value.size(), kbs);
    return ec == std::errc() && kbs >= 0;
}

// "192*2048=393216" -> 192.
bool ParseSectors(const std::string& value, std::uint64_t& sectors) {
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), sectors);
    return ec == std::errc() && end != value.data() + value.size() && *end == '*';
}

} // namespace

DvdMediaInfo ParseMediaInfo(const std::vector<std::string>& lines, int exitStatus) {
    DvdMediaInfo info;
    std::string firstError;
    bool sawProfile = false;
    for (const std::string& raw : lines) {
        std::string line = Trim(raw);
        if (line.find("no media mounted") != std::string::npos) {
            info.state = DvdMediaInfo::State::kNoMedium;
            return info;
        }
        if (line.find("non-DVD media mounted") != std::string::npos) {
            info.state = DvdMediaInfo::State::kNotDvd;
            return info;
        }
        if (firstError.empty() &&
            (StartsWith(line, ":-(") || StartsWith(line, ":-[") ||
             line.find("unable to") != std::string::npos || StartsWith(line, "usage:")))
            firstError = line;
        std::string key, value;
        if (!SplitField(line, key, value)) continue;
        if (key == "Mounted Media") {
            sawProfile = ParseMountedMedia(value, info.profile, info.mediaName);
        } else if (key == "Media ID") {
            info.mediaId = value;
        } else if (key == "Disc status") {
            info.discStatus = value;
        } else if (key == "READ CAPACITY") {
            ParseSectors(value, info.readCapacity);
        } else if (StartsWith(key, "Write Speed #")) {
            std::int32_t kbs = 0;
            if (ParseSpeed(value, kbs)) info.writeSpeeds.push_back(kbs);
        }
    }
    if (exitStatus == kExitNoMedium) {
        info.state = DvdMediaInfo::State::kNoMedium;
        return info;
    }
    if (exitStatus != 0 || !sawProfile) {
        info.state = DvdMediaInfo::State::kFailed;
        if (!firstError.empty()) {
            info.errorText = firstError;
        } else {
            char text[96];
            std::snprintf(text, sizeof text, "dvd+rw-mediainfo ended with status %d%s", exitStatus,
                          sawProfile ? "" : " and named no medium");
            info.errorText = text;
        }
        return info;
    }
    info.state = DvdMediaInfo::State::kMedium;
    return info;
}

} // namespace engines
