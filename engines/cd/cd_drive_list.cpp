#include "engines/cd/cd_drive_list.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace engines {

namespace {

constexpr char kFirstLetter = 'D';
constexpr std::size_t kMaxEntries = 26;
constexpr std::size_t kTextLimit = 49; // a device list entry holds 50 bytes with its zero

std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    std::size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> Fields(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return Trim(line);
}

// "sr10" sorts after "sr9".
bool DriveOrder(const CdromInfoColumn& a, const CdromInfoColumn& b) {
    auto split = [](const std::string& n) {
        std::size_t d = n.find_first_of("0123456789");
        std::string stem = d == std::string::npos ? n : n.substr(0, d);
        long num = d == std::string::npos ? -1 : std::strtol(n.c_str() + d, nullptr, 10);
        return std::make_pair(stem, num);
    };
    return split(a.name) < split(b.name);
}

bool SafeName(const std::string& name) {
    if (name.empty() || name.size() > 32) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

} // namespace

std::vector<CdromInfoColumn> ParseCdromInfo(const std::string& text) {
    std::vector<CdromInfoColumn> columns;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, colon));
        const std::vector<std::string> values = Fields(line.substr(colon + 1));
        if (key == "drive name") {
            columns.clear();
            for (const std::string& v : values)
                if (SafeName(v)) columns.push_back({v, 0});
            continue;
        }
        std::uint32_t bit = 0;
        if (key == "Can write CD-R") bit = kCdCapWriteCdR;
        if (key == "Can write CD-RW") bit = kCdCapWriteCdRw;
        if (key == "Can read DVD") bit = kCdCapReadDvd;
        if (key == "Can write DVD-R") bit = kCdCapWriteDvdR;
        if (key == "Can write DVD-RAM") bit = kCdCapWriteDvdRam;
        if (bit == 0) continue;
        // A row shorter than the name row leaves the missing drives without the capability.
        for (std::size_t i = 0; i < values.size() && i < columns.size(); ++i)
            if (values[i] == "1") columns[i].capabilities |= bit;
    }
    for (CdromInfoColumn& c : columns)
        c.capabilities |= kCdCapReadCd;
    std::stable_sort(columns.begin(), columns.end(), DriveOrder);
    return columns;
}

std::vector<CdDrive> DiscoverCdDrives(const CdDrivePaths& paths) {
    std::ifstream in(paths.cdromInfo);
    std::stringstream text;
    text << in.rdbuf();

    std::vector<CdDrive> drives;
    char letter = kFirstLetter;
    for (const CdromInfoColumn& c : ParseCdromInfo(text.str())) {
        if (drives.size() + 1 >= kMaxEntries || letter > 'Y')
            break; // keep a place for the recorder
        CdDrive d;
        d.letter = letter++;
        d.name = c.name;
        d.devicePath = paths.devDir + "/" + c.name;
        d.capabilities = c.capabilities;
        const std::string dev = paths.sysBlock + "/" + c.name + "/device/";
        std::string product =
            Trim(ReadFirstLine(dev + "vendor") + " " + ReadFirstLine(dev + "model"));
        if (product.empty()) product = "CD/DVD drive";
        d.text = std::string(1, d.letter) + ": " + product + " (" + c.name + ")";
        if (d.text.size() > kTextLimit) d.text.resize(kTextLimit);
        drives.push_back(d);
    }
    CdDrive recorder;
    recorder.letter = letter;
    recorder.name = "recorder";
    recorder.text = std::string(1, letter) + ": Pellam Image Recorder";
    recorder.capabilities = kCdCapReadCd | kCdCapWriteCdR | kCdCapWriteCdRw;
    recorder.imageRecorder = true;
    // Listed first, so that the writer list, which starts on the last writer holding a blank
    // disc, picks a real drive whenever there is one, and the recorder only when there is none.
    drives.insert(drives.begin(), recorder);
    return drives;
}

} // namespace engines
