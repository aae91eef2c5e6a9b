#include "mpeg_probe_support.h"

#include "engines/tools/tool_process.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace mpegprobe {

std::string Fixture(const std::string& name) {
    return std::string(PELLAM_FIXTURES) + "/" + name;
}

ScratchDir::ScratchDir() {
    char pattern[] = "/tmp/pellam mpeg %d_XXXXXX"; // a blank and a percent sign on purpose
    path_ = mkdtemp(pattern);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

bool HaveFfprobe() {
    return !engines::FindTool("ffprobe").empty();
}

std::vector<std::string> ProbeValues(const std::string& args, const std::string& path) {
    std::vector<std::string> argv = {"ffprobe", "-v", "error", "-of", "default=nw=1:nk=1"};
    std::istringstream words(args);
    for (std::string w; words >> w;)
        argv.push_back(w);
    argv.push_back(path);
    std::vector<std::string> out;
    if (engines::RunTool(argv, &out) != 0) return {};
    std::vector<std::string> values;
    for (const std::string& line : out)
        if (!line.empty()) values.push_back(line);
    return values;
}

std::string ProbeValue(const std::string& args, const std::string& path) {
    std::vector<std::string> values = ProbeValues(args, path);
    return values.empty() ? std::string() : values.front();
}

double Rational(const std::string& text) {
    double num = 0, den = 1;
    int n = std::sscanf(text.c_str(), "%lf/%lf", &num, &den);
    if (n < 1 || den == 0) return -1;
    return num / den;
}

long long PacketBytes(const std::string& stream, const std::string& path) {
    long long sum = 0;
    for (const std::string& v :
         ProbeValues("-select_streams " + stream + " -show_entries packet=size", path))
        sum += std::atoll(v.c_str());
    return sum;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace mpegprobe
