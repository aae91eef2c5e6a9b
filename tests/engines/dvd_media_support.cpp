#include "dvd_media_support.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dvdmedia {

TempDir::TempDir() {
    char pattern[] = "/tmp/pellam-dvd-XXXXXX";
    if (::mkdtemp(pattern)) path_ = pattern;
}

TempDir::~TempDir() {
    if (!path_.empty()) Shell("rm -rf " + Quote(path_));
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string Shell(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return out;
    }
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    int raw = ::pclose(pipe);
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

bool MakeElementaryStreams(const std::string& fixture, const std::string& base, int loops) {
    std::string probe =
        Shell("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name "
              "-of csv=p=0 " +
              Quote(fixture));
    std::string audioFormat = probe.find("ac3") != std::string::npos ? "ac3" : "mp2";
    int status = 0;
    Shell("ffmpeg -v error -y -stream_loop " + std::to_string(loops - 1) + " -i " + Quote(fixture) +
              " -map 0:v -c copy -f mpeg2video " + Quote(base + ".m2v") + " -map 0:a -c copy -f " +
              audioFormat + " " + Quote(base + ".mpa"),
          &status);
    return status == 0;
}

ProbedStreams Probe(const std::string& path) {
    ProbedStreams p;
    int status = 0;
    std::string out = Shell("ffprobe -v error -count_frames -show_entries "
                            "stream=codec_type,codec_name,nb_read_frames -of csv=p=0 " +
                                Quote(path),
                            &status);
    if (status != 0) return p;
    p.ok = true;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ','))
            f.push_back(field);
        if (f.size() < 3) continue;
        long frames = std::atol(f[2].c_str());
        if (f[1] == "video") {
            ++p.videoStreams;
            p.videoFrames += frames;
            p.videoCodec = f[0];
        } else if (f[1] == "audio") {
            ++p.audioStreams;
            p.audioFrames += frames;
            p.audioCodec = f[0];
        }
    }
    return p;
}

DvdInfo ReadDvd(const std::string& folder) {
    DvdInfo info;
    int status = 0;
    std::string out = Shell("lsdvd -v " + Quote(folder), &status);
    static const std::regex title(
        R"(Title: (\d+), Length: (\d+):(\d+):(\d+)\.(\d+) Chapters: (\d+))"
        R"([^\n]*\n[^\n]*Format: ([^,]+), Aspect ratio: ([^,]+),[^\n]*DF: ([^\n]*))");
    for (std::sregex_iterator it(out.begin(), out.end(), title), end; it != end; ++it) {
        const std::smatch& m = *it;
        DvdTitle t;
        t.seconds = std::stoi(m[2]) * 3600.0 + std::stoi(m[3]) * 60.0 + std::stoi(m[4]) +
                    std::stoi(m[5]) / 1000.0;
        t.chapters = std::stoi(m[6]);
        t.format = m[7];
        t.aspect = m[8];
        t.displayFormat = m[9];
        info.titles.push_back(t);
    }
    info.ok = status == 0 && !info.titles.empty();
    return info;
}

std::string TranscriptPath(const std::string& name) {
    return std::string(PELLAM_SOURCE_DIR) + "/tests/engines/transcripts/" + name;
}

Transcript ReadTranscript(const std::string& name) {
    Transcript t;
    std::ifstream in(TranscriptPath(name), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    const std::string statusKey = "# exit status: ", begin = "=== stderr ===\n",
                      end = "=== end ===";
    std::size_t status = text.find(statusKey), from = text.find(begin);
    std::size_t to = from == std::string::npos ? from : text.rfind(end);
    if (status == std::string::npos || from == std::string::npos || to == std::string::npos ||
        to < from)
        return t;
    t.exitStatus = std::atoi(text.c_str() + status + statusKey.size());
    t.stderrText = text.substr(from + begin.size(), to - from - begin.size());
    t.ok = true;
    return t;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

long long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

} // namespace dvdmedia
