// ffprobe readings, byte patches and temporary folders for the MPEG check and demultiplexer tests.
#pragma once

#include <string>
#include <vector>

namespace mpegprobe {

std::string Fixture(const std::string& name);

// A private folder, removed with everything in it when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

bool HaveFfprobe();
// ffprobe's values, one per line of -of default=nw=1:nk=1, for `args` (-show_entries ...).
std::vector<std::string> ProbeValues(const std::string& args, const std::string& path);
// The first of them, "" when ffprobe printed nothing.
std::string ProbeValue(const std::string& args, const std::string& path);
// "30000/1001" as a number; -1 when it is none.
double Rational(const std::string& text);
// Sum of the sizes of the packets ffprobe reads from the stream (e.g. "v:0").
long long PacketBytes(const std::string& stream, const std::string& path);

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace mpegprobe
