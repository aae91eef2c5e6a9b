// Writes the VideoCD XML project of a CD burn job: disc information, the primary volume
// descriptor and one sequence item per MPEG file, for the image builder to read back.
#pragma once

#include <cstdarg>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CVcdXmlWriter {
  public:
    CVcdXmlWriter() = default;

    // Builds the whole document and writes it to `path` (created with mode 0600, truncated when
    // it exists, never through a symbolic link). 0 on success, -1 on failure; on failure
    // `error` says why. A kind outside 1-5, or a label or path that XML cannot carry (bytes
    // that are not UTF-8, control characters), fails without touching any file.
    int WriteFile(const std::string& path);

    // The document text WriteFile writes; nullopt (and `error` set) when it cannot be made.
    std::optional<std::string> BuildDocument();

    // `indent` blanks followed by the printf-style expansion of `format`.
    static std::string FormatLine(int indent, const char* format, ...)
        __attribute__((format(printf, 2, 3)));

    // `text` as XML character data that parses back to exactly `text`: the ampersand and the
    // Latin-1 letters and signs of the reference table, the markup characters < > " ' and the
    // white-space controls tab, line feed and carriage return become numeric character
    // references; every other character is copied as its UTF-8 bytes. nullopt when `text` is
    // not valid UTF-8 or holds a character XML 1.0 does not allow (NUL, other C0 controls,
    // U+FFFE, U+FFFF).
    static std::optional<std::string> EscapeEntities(std::string_view text);

    int kind = 3; // 1 vcd 1.0, 2 vcd 1.1, 3 vcd 2.0, 4 svcd 1.0, 5 hqvcd 1.0
    std::vector<std::string> sources;
    std::string volumeId = "no_volume";

    // Why the last WriteFile or BuildDocument failed; empty after a success.
    std::string error;
};

namespace platform {
class PrivateTempFolder;
}

// The project's file name "vcd.xml" in `folder` (with or without its trailing slash).
std::string VcdXmlPathIn(const std::string& folder);
// The same in the user's private temporary folder; empty when that folder could not be made.
std::string VcdXmlPathIn(const platform::PrivateTempFolder& folder);
