#include "vcd_xml_writer.h"

#include "platform/temp_folder.h"
#include "vcdbuild/videocd_xml.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct DocumentKind {
    const char* cls;
    const char* version;
};

constexpr DocumentKind kKinds[] = {
    {"vcd", "1.0"}, {"vcd", "1.1"}, {"vcd", "2.0"}, {"svcd", "1.0"}, {"hqvcd", "1.0"},
};

// Characters written as "&#" + three decimal digits + ";". The ampersand and the Latin-1 letters
// and signs are the historical table; the markup characters and the white-space controls are
// added so that attribute values and the label survive the parser unchanged (a raw tab or line
// break in an attribute would come back as a blank).
constexpr char32_t kReferenced[] = {
    0x09, 0x0A, 0x0D, 0x22, 0x26, 0x27, 0x3C, 0x3E,                         //
    0xA1, 0xA2, 0xA3, 0xA5, 0xAA, 0xBA, 0xBC, 0xBD, 0xBF, 0xC4, 0xC5, 0xC6, //
    0xC7, 0xC9, 0xD1, 0xD6, 0xDC, 0xE0, 0xE1, 0xE2, 0xE4, 0xE5, 0xE6, 0xE7, //
    0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF1, 0xF2, 0xF3, 0xF4, //
    0xF6, 0xF9, 0xFA, 0xFB, 0xFC, 0xFF,
};

bool IsReferenced(char32_t c) {
    return std::find(std::begin(kReferenced), std::end(kReferenced), c) != std::end(kReferenced);
}

// Decodes one UTF-8 character at text[pos]; advances pos. False on a malformed sequence
// (truncated, bad continuation byte, overlong form, surrogate, beyond U+10FFFF).
bool DecodeUtf8(std::string_view text, std::size_t& pos, char32_t& out) {
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) {
        out = b0;
        ++pos;
        return true;
    }
    std::size_t length;
    char32_t c, min;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (text.size() - pos < length) return false;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) return false;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out = c;
    pos += length;
    return true;
}

// Characters of XML 1.0 (production Char) that may appear at all, even as a reference.
bool IsXmlChar(char32_t c) {
    if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
    return c != 0xFFFE && c != 0xFFFF;
}

} // namespace

std::string CVcdXmlWriter::FormatLine(int indent, const char* format, ...) {
    std::string line(static_cast<std::size_t>(std::max(indent, 0)), ' ');
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        const std::size_t start = line.size();
        line.resize(start + static_cast<std::size_t>(n) + 1);
        std::vsnprintf(line.data() + start, static_cast<std::size_t>(n) + 1, format, args);
        line.resize(start + static_cast<std::size_t>(n));
    }
    va_end(args);
    return line;
}

std::optional<std::string> CVcdXmlWriter::EscapeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        char32_t c;
        if (!DecodeUtf8(text, pos, c) || !IsXmlChar(c) || c == 0) return std::nullopt;
        if (IsReferenced(c)) {
            char reference[16];
            std::snprintf(reference, sizeof reference, "&#%03u;", static_cast<unsigned>(c));
            out += reference;
        } else {
            out.append(text.substr(start, pos - start));
        }
    }
    return out;
}

std::optional<std::string> CVcdXmlWriter::BuildDocument() {
    error.clear();
    if (kind < 1 || kind > 5) {
        error = "Unknown VideoCD XML document kind " + std::to_string(kind) + ".";
        return std::nullopt;
    }
    const DocumentKind& k = kKinds[kind - 1];

    const auto label = EscapeEntities(volumeId);
    if (!label) {
        error = "The disc label is not valid UTF-8 text or holds a control character; the "
                "VideoCD XML project cannot carry it.";
        return std::nullopt;
    }
    std::vector<std::string> paths;
    paths.reserve(sources.size());
    for (const auto& source : sources) {
        auto path = EscapeEntities(source);
        if (!path) {
            error = "The file name \"" + source +
                    "\" is not valid UTF-8 text or holds a control character; the VideoCD XML "
                    "project cannot carry it. Please rename the file.";
            return std::nullopt;
        }
        paths.push_back(std::move(*path));
    }

    const int count = static_cast<int>(sources.size());
    std::string text;
    auto add = [&text](std::string line) {
        text += line;
        text += "\r\n";
    };
    add(FormatLine(0, "<?xml version=\"1.0\"?>"));
    add(FormatLine(0, "<!DOCTYPE videocd PUBLIC \"%s\" \"%s\">", VIDEOCD_DTD_PUBLIC_ID,
                   VIDEOCD_DTD_SYSTEM_ID));
    add(FormatLine(0, "<videocd xmlns=\"%s\" class=\"%s\" version=\"%s\">", VIDEOCD_XML_NAMESPACE,
                   k.cls, k.version));
    add(FormatLine(2, "<info>"));
    add(FormatLine(4, "<album-id/>"));
    add(FormatLine(4, "<volume-count>%d</volume-count>", count));
    add(FormatLine(4, "<volume-number>%d</volume-number>", count));
    add(FormatLine(4, "<restriction>%d</restriction>", 0));
    add(FormatLine(2, "</info>"));
    add(FormatLine(2, "<pvd>"));
    add(FormatLine(4, "<volume-id>%s</volume-id>", label->c_str()));
    add(FormatLine(4, "<system-id>%s</system-id>", "CD-RTOS CD-BRIDGE"));
    add(FormatLine(4, "<application-id>%s</application-id>", "Orvanta DVD Creator"));
    add(FormatLine(4, "<preparer-id/>"));
    add(FormatLine(4, "<publisher-id>%s</publisher-id>", "Tavoe Software Inc."));
    add(FormatLine(2, "</pvd>"));
    add(FormatLine(2, "<sequence-items>"));
    for (int i = 0; i < count; ++i)
        add(FormatLine(4, "<sequence-item src=\"%s\" id=\"seq_%d_movie\"/>",
                       paths[static_cast<std::size_t>(i)].c_str(), i));
    add(FormatLine(2, "</sequence-items>"));
    add(FormatLine(0, "</videocd>"));
    return text;
}

int CVcdXmlWriter::WriteFile(const std::string& path) {
    const auto text = BuildDocument();
    if (!text) return -1;

    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "Cannot open \"" + path + "\" for writing: " + std::strerror(errno) + ".";
        return -1;
    }
    std::size_t done = 0;
    while (done < text->size()) {
        const ssize_t n = ::write(fd, text->data() + done, text->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (done != text->size() || !closed) {
        error = "Cannot write \"" + path +
                "\": " + std::strerror(done != text->size() ? writeErrno : errno) + ".";
        return -1;
    }
    return done != 0 ? 0 : -1;
}

std::string VcdXmlPathIn(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder + "vcd.xml";
    return folder + "/vcd.xml";
}

std::string VcdXmlPathIn(const platform::PrivateTempFolder& folder) {
    return folder.Ok() ? VcdXmlPathIn(folder.Path()) : std::string();
}
