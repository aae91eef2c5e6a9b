// Media helpers for the DVD back end tests: temporary folders, elementary streams cut from the
// DVD fixtures with ffmpeg, and what ffprobe and lsdvd read from our output.
#pragma once

#include <string>
#include <vector>

namespace dvdmedia {

// A private folder, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Runs a shell command, returns its output (stdout and stderr) and sets *status to its exit status.
std::string Shell(const std::string& command, int* status = nullptr);
// The text between single quotes for the shell.
std::string Quote(const std::string& text);

// Writes base.m2v and base.mpa (MP2 or AC-3, whatever the fixture carries: the name is the
// burner's) from a DVD fixture, played `loops` times over. False when ffmpeg fails.
bool MakeElementaryStreams(const std::string& fixture, const std::string& base, int loops = 1);

struct ProbedStreams {
    bool ok = false;
    int videoStreams = 0, audioStreams = 0;
    long videoFrames = 0, audioFrames = 0;
    std::string videoCodec, audioCodec;
};
// What ffprobe reads from a file (frames counted by decoding).
ProbedStreams Probe(const std::string& path);

struct DvdTitle {
    int chapters = 0;
    double seconds = 0;
    std::string format, aspect, displayFormat; // "PAL", "16/9", "Letterbox" as lsdvd prints them
};
struct DvdInfo {
    bool ok = false;
    std::vector<DvdTitle> titles;
};
// What lsdvd -v reads from a VIDEO_TS folder's parent.
DvdInfo ReadDvd(const std::string& folder);

// The stderr part and the exit status of a recorded tool run (tests/engines/transcripts/).
struct Transcript {
    bool ok = false;
    std::string stderrText;
    int exitStatus = 0;
};
Transcript ReadTranscript(const std::string& name);
std::string TranscriptPath(const std::string& name);

bool Exists(const std::string& path);
long long FileSize(const std::string& path);

} // namespace dvdmedia
