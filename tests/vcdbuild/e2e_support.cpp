#include "e2e_support.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#ifndef PELLAM_VCDBUILD
#define PELLAM_VCDBUILD ""
#endif

namespace e2e {

// ---- project documents ----

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

void Element(std::ostringstream& x, const char* name, const std::string& text) {
    if (!text.empty()) x << "<" << name << ">" << XmlEscape(text) << "</" << name << ">";
}

void FileElement(std::ostringstream& x, const FileXml& f) {
    x << "<file src=\"" << XmlEscape(f.src) << "\"" << (f.mixed ? " format=\"mixed\"" : "") << ">";
    Element(x, "name", f.name);
    x << "</file>\n";
}

} // namespace

std::string ProjectXml::Render() const {
    std::ostringstream x;
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE videocd PUBLIC \"-//Orvanta//DTD VideoCD//EN\" "
         "\"http://pellam.org/xml/videocd/1.0/videocd.dtd\">\n"
         "<videocd xmlns=\"http://pellam.org/xml/videocd/1.0\" class=\""
      << cls << "\" version=\"" << version << "\">\n";
    for (const auto& [name, value] : options)
        x << "<option name=\"" << XmlEscape(name) << "\" value=\"" << XmlEscape(value) << "\"/>\n";
    x << "<info>";
    Element(x, "album-id", albumId);
    x << "<volume-count>1</volume-count><volume-number>1</volume-number></info>\n<pvd>";
    Element(x, "volume-id", volumeId);
    Element(x, "application-id", applicationId);
    Element(x, "publisher-id", publisherId);
    x << "</pvd>\n";
    if (!files.empty()) {
        x << "<filesystem>\n";
        std::vector<std::string> folders;
        for (const auto& f : files)
            if (!f.folder.empty() &&
                std::find(folders.begin(), folders.end(), f.folder) == folders.end())
                folders.push_back(f.folder);
        for (const auto& folder : folders) {
            x << "<folder><name>" << XmlEscape(folder) << "</name>\n";
            for (const auto& f : files)
                if (f.folder == folder) FileElement(x, f);
            x << "</folder>\n";
        }
        for (const auto& f : files)
            if (f.folder.empty()) FileElement(x, f);
        x << "</filesystem>\n";
    }
    if (!segments.empty()) {
        x << "<segment-items>\n";
        for (const auto& s : segments) {
            x << "<segment-item src=\"" << XmlEscape(s.src) << "\" id=\"" << s.id << "\">";
            for (double p : s.pauses)
                x << "<auto-pause>" << Num(p) << "</auto-pause>";
            x << "</segment-item>\n";
        }
        x << "</segment-items>\n";
    }
    x << "<sequence-items>\n";
    for (const auto& s : sequences) {
        x << "<sequence-item src=\"" << XmlEscape(s.src) << "\"";
        if (!s.id.empty()) x << " id=\"" << s.id << "\"";
        x << ">";
        if (!s.defaultEntry.empty()) x << "<default-entry id=\"" << s.defaultEntry << "\"/>";
        for (const auto& e : s.entries) {
            x << "<entry";
            if (!e.id.empty()) x << " id=\"" << e.id << "\"";
            x << ">" << Num(e.time) << "</entry>";
        }
        for (double p : s.pauses)
            x << "<auto-pause>" << Num(p) << "</auto-pause>";
        x << "</sequence-item>\n";
    }
    x << "</sequence-items>\n";
    if (!pbc.empty()) x << "<pbc>\n" << pbc << "</pbc>\n";
    x << "</videocd>\n";
    return x.str();
}

// ---- processes ----

namespace {

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Reads both pipes to their end; calls `onOut` after every chunk of standard output.
template <typename F> void Drain(int outFd, int errFd, RunResult& r, F onOut) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    char buf[4096];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
            if (i == 0) onOut(r.out);
        }
    }
}

template <typename F>
RunResult Spawn(const std::vector<std::string>& args, const std::string& cwd, bool smallPipe,
                F onOut) {
    RunResult r;
    const std::string program = PELLAM_VCDBUILD;
    int out[2], err[2];
    if (program.empty() || ::pipe(out) != 0) return r;
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return r;
    }
    // A small pipe keeps the command close behind what has been read of its output.
    if (smallPipe) ::fcntl(out[0], F_SETPIPE_SZ, 4096);
    auto argv = Argv(program, args);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        ::close(out[1]);
        ::close(err[1]);
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (pid < 0) {
        ::close(out[0]);
        ::close(err[0]);
        return r;
    }
    Drain(out[0], err[0], r, [&](const std::string& text) { onOut(pid, text); });
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    return r;
}

} // namespace

RunResult RunVcdbuild(const std::vector<std::string>& args, const std::string& cwd) {
    return Spawn(args, cwd, false, [](pid_t, const std::string&) {});
}

RunResult RunVcdbuildAndInterrupt(const std::vector<std::string>& args, const std::string& marker,
                                  bool* markerSeen) {
    bool sent = false;
    RunResult r = Spawn(args, "", true, [&](pid_t pid, const std::string& text) {
        if (!sent && text.find(marker) != std::string::npos) {
            ::kill(pid, SIGINT);
            sent = true;
        }
    });
    if (markerSeen) *markerSeen = sent;
    return r;
}

ShellResult Shell(const std::string& command) {
    ShellResult r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int status = ::pclose(p);
    if (status != -1 && WIFEXITED(status)) r.status = WEXITSTATUS(status);
    return r;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool Have(const char* tool) {
    return Shell(std::string("command -v ") + tool + " >/dev/null").status == 0;
}

// ---- files ----

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

std::vector<std::string> ListTree(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        out.push_back(it->path().lexically_relative(dir).string());
    std::sort(out.begin(), out.end());
    return out;
}

// ---- cd-info's report ----

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(" \r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// The text after "key :" at the start of a line, or nothing.
std::optional<std::string> Field(const std::string& line, const char* key) {
    if (line.rfind(key, 0) != 0) return std::nullopt;
    std::size_t colon = line.find(':', std::strlen(key));
    if (colon == std::string::npos) return std::nullopt;
    if (Trim(line.substr(std::strlen(key), colon - std::strlen(key))) != "") return std::nullopt;
    return Trim(line.substr(colon + 1));
}

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string t; in >> t;)
        w.push_back(t);
    return w;
}

} // namespace

CdInfo ParseCdInfo(const std::string& report) {
    CdInfo info;
    std::istringstream in(report);
    std::string line, dir;
    bool inTracks = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("CD-ROM Track List", 0) == 0) {
            inTracks = true;
            continue;
        }
        if (inTracks) {
            auto w = Words(line);
            if (w.size() >= 3 && w[0].back() == ':' &&
                std::isdigit(static_cast<unsigned char>(w[0][0]))) {
                int n = std::atoi(w[0].c_str());
                auto lsn = static_cast<std::uint32_t>(std::strtoul(w[2].c_str(), nullptr, 10));
                if (w.size() >= 4 && w[3] == "leadout")
                    info.leadout = lsn;
                else
                    info.tracks.push_back({n, lsn, w.size() >= 4 ? w[3] : ""});
                continue;
            }
            if (w.empty() || w[0] != "#:") inTracks = false;
        }
        if (line.rfind("ISO 9660: ", 0) == 0) {
            info.isoBlocks =
                static_cast<std::uint32_t>(std::strtoul(line.c_str() + 10, nullptr, 10));
            std::size_t a = line.find('`'), b = line.rfind('\'');
            if (a != std::string::npos && b != std::string::npos && b > a)
                info.label = line.substr(a + 1, b - a - 1);
            continue;
        }
        if (auto v = Field(line, "Application")) info.application = *v;
        if (auto v = Field(line, "Preparer")) info.preparer = *v;
        if (auto v = Field(line, "Publisher")) info.publisher = *v;
        if (auto v = Field(line, "System")) info.system = *v;
        if (auto v = Field(line, "Volume")) info.volume = *v;
        if (line.rfind("XA sectors", 0) == 0) info.xaKind = Trim(line.substr(10));
        // Folder headers: "/:" for the root, "/EXT/:" below it.
        if (line.size() >= 2 && line[0] == '/' && line.back() == ':' &&
            line[line.size() - 2] == '/') {
            dir = Upper(line.substr(1, line.size() - 2));
            if (!dir.empty()) info.dirs.insert(dir.substr(0, dir.size() - 1));
            continue;
        }
        if (line == "/:") {
            dir.clear();
            continue;
        }
        // "  ---2-xrxrxr 0 0 [fn 01] [LSN    450]    378812 (   333824) Jul 14 1978 00:00:00  x"
        std::size_t fn = line.find("[fn ");
        std::size_t lsnAt = line.find("[LSN ");
        if (fn == std::string::npos || lsnAt == std::string::npos) continue;
        std::string attrs = Trim(line.substr(0, line.find(' ', 2)));
        if (attrs.empty() || attrs[0] == 'd') continue;
        std::size_t close = line.find(']', lsnAt);
        if (close == std::string::npos) continue;
        CdFile f;
        f.fileNumber = std::atoi(line.c_str() + fn + 4);
        f.lsn = static_cast<std::uint32_t>(std::strtoul(line.c_str() + lsnAt + 5, nullptr, 10));
        f.form2 = attrs.size() > 3 && attrs[3] == '2';
        std::string rest = line.substr(close + 1);
        auto w = Words(rest);
        if (w.empty()) continue;
        f.size = std::strtoull(w[0].c_str(), nullptr, 10);
        std::size_t paren = rest.find('(');
        if (paren != std::string::npos && paren < rest.find_first_of("ADFJMNOS"))
            f.size = std::strtoull(rest.c_str() + paren + 1, nullptr, 10);
        info.files[dir + Upper(w.back())] = f;
    }
    return info;
}

std::string Describe(const std::map<std::string, CdFile>& files) {
    std::ostringstream o;
    for (const auto& [path, f] : files)
        o << "  " << path << " lsn " << f.lsn << " size " << f.size << (f.form2 ? " form2" : "")
          << "\n";
    return o.str();
}

// ---- sectors and packs ----

Bytes Form2Payload(const Bytes& bin, std::uint32_t first, std::uint32_t count) {
    Bytes out;
    out.reserve(std::size_t{count} * 2324);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t at = (std::size_t{first} + i) * 2352 + 24;
        if (at + 2324 > bin.size()) break;
        out.insert(out.end(), bin.begin() + static_cast<std::ptrdiff_t>(at),
                   bin.begin() + static_cast<std::ptrdiff_t>(at + 2324));
    }
    return out;
}

Bytes PadToPacks(const Bytes& data) {
    Bytes out = data;
    out.resize((data.size() + 2323) / 2324 * 2324, 0);
    return out;
}

namespace {

std::uint32_t Be16(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 8 | p[1];
}

double PtsOf(const std::uint8_t* p) {
    std::uint64_t v = std::uint64_t{(p[0] >> 1) & 7u} << 30 | std::uint64_t{p[1]} << 22 |
                      std::uint64_t{static_cast<unsigned>(p[2] >> 1)} << 15 |
                      std::uint64_t{p[3]} << 7 | (p[4] >> 1);
    return static_cast<double>(v) / 90000.0;
}

// The payload offset of a PES packet body of `n` bytes and its PTS, or -1.
long PesHeader(const std::uint8_t* b, std::size_t n, std::optional<double>& pts) {
    if (n >= 3 && (b[0] & 0xC0) == 0x80) { // MPEG-2
        std::size_t len = 3u + b[2];
        if ((b[1] & 0x80) && n >= 8) pts = PtsOf(b + 3);
        return len <= n ? static_cast<long>(len) : -1;
    }
    std::size_t i = 0;
    while (i < n && b[i] == 0xFF)
        ++i;
    if (i < n && (b[i] & 0xC0) == 0x40) i += 2;
    if (i >= n) return -1;
    if ((b[i] & 0xF0) == 0x20) {
        if (i + 5 > n) return -1;
        pts = PtsOf(b + i);
        return static_cast<long>(i + 5);
    }
    if ((b[i] & 0xF0) == 0x30) {
        if (i + 10 > n) return -1;
        pts = PtsOf(b + i);
        return static_cast<long>(i + 10);
    }
    return b[i] == 0x0F ? static_cast<long>(i + 1) : -1;
}

} // namespace

PackFacts ReadPack(const std::uint8_t* p, std::size_t size) {
    PackFacts f;
    if (size < 12 || Be16(p) != 0 || p[2] != 1 || p[3] != 0xBA) return f;
    std::size_t pos = (p[4] & 0xC0) == 0x40 ? 14u + (p[13] & 7u) : 12u;
    // Order of the sequence header, GOP and I-picture on stream 0xE0, across its packets.
    int stage = 0;
    while (pos + 6 <= size) {
        if (p[pos] != 0 || p[pos + 1] != 0 || p[pos + 2] != 1) break;
        std::uint8_t id = p[pos + 3];
        if (id == 0xB9) break;
        std::size_t len = Be16(p + pos + 4);
        const std::uint8_t* body = p + pos + 6;
        if (pos + 6 + len > size) break;
        if (id == 0xBB) {
            for (std::size_t i = 6; i + 3 <= len && (body[i] & 0x80); i += 3) {
                if (body[i] >= 0xE0 && body[i] <= 0xE2) f.video[body[i] - 0xE0] = true;
                if (body[i] >= 0xC0 && body[i] <= 0xC2) f.audio[body[i] - 0xC0] = true;
            }
        } else if ((id >= 0xC0 && id <= 0xC2) || (id >= 0xE0 && id <= 0xE2) || id == 0xBD) {
            std::optional<double> pts;
            long off = PesHeader(body, len, pts);
            if (pts) f.lastPts = pts;
            if (id >= 0xC0 && id <= 0xC2) f.audio[id - 0xC0] = true;
            if (id >= 0xE0 && id <= 0xE2 && off >= 0) {
                f.video[id - 0xE0] = true;
                const std::uint8_t* v = body + off;
                std::size_t vn = len - static_cast<std::size_t>(off);
                for (std::size_t i = 0; i + 4 <= vn; ++i) {
                    if (v[i] != 0 || v[i + 1] != 0 || v[i + 2] != 1) continue;
                    std::uint8_t code = v[i + 3];
                    if (code == 0xB7) f.sequenceEnd = true;
                    if (code == 0xB2 && i + 6 <= vn && v[i + 4] == 0x10 && v[i + 5] == 0x0E)
                        f.scanRecords.push_back(static_cast<std::size_t>(v + i + 4 - p));
                    if (id != 0xE0) continue;
                    if (code == 0xB3 && stage == 0) stage = 1;
                    if (code == 0xB8 && stage == 1) stage = 2;
                    if (code == 0x00 && stage == 2 && i + 6 <= vn && ((v[i + 5] >> 3) & 7) == 1) {
                        stage = 3;
                        f.videoPts = pts ? pts : f.lastPts;
                    }
                }
            }
        }
        pos += 6 + len;
    }
    f.accessPoint = stage == 3 && f.videoPts.has_value();
    return f;
}

std::vector<PackFacts> ReadPacks(const Bytes& stream) {
    std::vector<PackFacts> out;
    for (std::size_t at = 0; at + 2324 <= stream.size(); at += 2324)
        out.push_back(ReadPack(stream.data() + at));
    return out;
}

std::string FfprobeFrames(const std::string& path) {
    return Shell("ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames "
                 "-of csv=p=0 " +
                 Quote(path))
        .out;
}

std::vector<std::string> MplayerFrames(const std::string& source, const std::string& workDir) {
    const std::string sums = workDir + "/frames.md5";
    std::filesystem::remove(sums);
    Shell("mplayer -really-quiet -benchmark -nosound -noconfig all -vo md5sum:outfile=" + sums +
          " " + Quote(source) + " </dev/null >/dev/null");
    std::vector<std::string> lines;
    std::ifstream in(sums);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

} // namespace e2e
