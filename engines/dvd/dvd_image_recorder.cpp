#include "engines/dvd/dvd_image_recorder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace engines {

const char kDvdRecorderVendor[] = "Pellam";
const char kDvdRecorderProduct[] = "Image Recorder";

namespace {

constexpr int kMaxCopies = 9999;

// A file name from the label: path separators and control characters become '_', and names
// that are empty or only dots are replaced.
std::string FileNameOf(const std::string& label) {
    std::string name;
    for (char c : label) {
        unsigned char u = static_cast<unsigned char>(c);
        name += (c == '/' || u < 0x20 || u == 0x7F) ? '_' : c;
    }
    if (name.find_first_not_of('.') == std::string::npos) name = "DVD";
    return name;
}

} // namespace

std::string DvdDiscsFolder() {
    const char* home = std::getenv("HOME");
    std::string base = home && *home ? home : "";
    if (base.empty()) {
        if (const passwd* pw = getpwuid(getuid())) base = pw->pw_dir ? pw->pw_dir : "";
    }
    if (base.empty()) base = "/tmp";
    if (base.back() != '/') base += '/';
    return base + "Pellam/discs/";
}

bool ReserveDvdImageFile(const std::string& folder, const std::string& label, std::string& path,
                         std::string& errorText) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        errorText = "Cannot make the folder " + folder + ": " + ec.message();
        return false;
    }
    std::string dir = folder;
    if (dir.empty() || dir.back() != '/') dir += '/';
    std::string name = FileNameOf(label);
    for (int copy = 1; copy <= kMaxCopies; ++copy) {
        std::string candidate =
            dir + name + (copy == 1 ? std::string() : " (" + std::to_string(copy) + ")") + ".iso";
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            close(fd);
            path = candidate;
            return true;
        }
        if (errno != EEXIST) {
            errorText = "Cannot create " + candidate + ": " + std::strerror(errno);
            return false;
        }
    }
    errorText = "Too many images named " + name + " in " + dir;
    return false;
}

} // namespace engines
