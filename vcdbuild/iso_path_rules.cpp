#include "iso_path_rules.h"

#include "iso9660_text.h"
#include "string_helpers.h"

#include <cstring>

namespace {

constexpr const char* kSystemFolders[] = {"CDDA",   "CDI",     "EXT",  "KARAOKE", "MPEG2",
                                          "MPEGAV", "SEGMENT", "SVCD", "VCD"};

bool InClass(int level, unsigned char c) {
    return level == 1 ? IsDChar(c) : IsLevel2Char(c);
}

} // namespace

bool IsSystemPath(const char* path) {
    if (!path) return false;
    const char* slash = std::strchr(path, '/');
    const std::string first = StrUpper(slash ? std::string(path, slash) : std::string(path));
    for (const char* folder : kSystemFolders)
        if (first == folder) return true;
    return false;
}

int CheckDirPath(CVcdLog& log, const char* path) {
    if (!path || !*path) return 0;
    const int level = IsSystemPath(path) ? 1 : 2;
    if (static_cast<long>(std::strlen(path)) > kIsoMaxPathLength) {
        log.Error("Pathname <%s> exceeds the max. allowed length of %ld chars.", path,
                  kIsoMaxPathLength);
        return 0;
    }
    for (std::string part : StrSplit(path, '/')) {
        if (part.empty() || part[0] == '.') {
            log.Error("sub-path should not start with '/', '.' or '\\0'");
            return 0;
        }
        if (level == 1) part = StrUpper(part);
        for (char c : part) {
            if (!InClass(level, static_cast<unsigned char>(c))) {
                log.Error("(sub)Path <%s> contains a non-ISO9660 level %d character (%c).",
                          part.c_str(), level, c);
                return 0;
            }
        }
        if (level == 1 && part.size() > kIsoLevel1NameLength) {
            log.Error("(sub)Path <%s> exceeds max. allowed length of 8chars.", part.c_str());
            return 0;
        }
        if (level == 2 && part.size() > kIsoLevel2NameLength) {
            log.Error("(sub)Path <%s> exceeds max. allowed length of %dchars.", part.c_str(),
                      kIsoLevel2NameLength);
            return 0;
        }
    }
    return 1;
}

int CheckFilePath(CVcdLog& log, const char* path) {
    if (!path || !*path) return 0;
    const char* lastSlash = std::strrchr(path, '/');
    int level = 2;
    if (lastSlash) {
        const std::string dir(path, lastSlash);
        if (!CheckDirPath(log, dir.c_str())) return 0;
        level = IsSystemPath(dir.c_str()) ? 1 : 2;
    }
    if (static_cast<long>(std::strlen(path)) > kIsoMaxFilePathLength) {
        log.Error("Length of path exceeds max. allowed length of %ldchars. (%s)",
                  kIsoMaxFilePathLength, path);
        return 0;
    }
    std::string name = lastSlash ? lastSlash + 1 : path;
    if (name.empty()) {
        // "VCD/" names a folder, not a file; the record would be nameless.
        log.Error("File <%s> has an empty name", path);
        return 0;
    }
    if (level == 1) name = StrUpper(name);

    int baseChars = 0;
    int extChars = 0;
    bool inExtension = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '.') {
            if (i == 0 || name[i - 1] == '.') {
                log.Error("File <%s> should not start with a dot '.'", name.c_str());
                return 0;
            }
            if (inExtension) {
                log.Error("File <%s> only may contain 1 extension.", name.c_str());
                return 0;
            }
            inExtension = true;
            continue;
        }
        if (!InClass(level, c)) {
            log.Error("File <%s> contains a _no_ ISO9660 level-%d character. ('%c')", name.c_str(),
                      level, name[i]);
            return 0;
        }
        if (inExtension)
            ++extChars;
        else
            ++baseChars;
        if (level == 1 && baseChars > kIsoLevel1NameLength) {
            log.Error("Length of file exceeds max. allowed length of %dchars. (%s)",
                      kIsoLevel1NameLength, name.c_str());
            return 0;
        }
        if (level == 2 && i >= static_cast<std::size_t>(kIsoLevel2NameLength)) {
            log.Error("Length of file exceeds max. allowed length of %dchars. (%s)",
                      kIsoLevel2NameLength, name.c_str());
            return 0;
        }
        if (extChars > kIsoExtensionLength) {
            log.Error("Length of file-extension exceeds max. allowed length of 3chars. (%s).",
                      name.c_str());
            return 0;
        }
    }
    return 1;
}

std::string VersionedName(const std::string& name, int version) {
    return name + ";" + std::to_string(version);
}
