#include "engines/dvdauthor/dvdauthor_project.h"

#include <cstdint>

namespace engines {

namespace {

// Length of the UTF-8 sequence at text[i], 0 when it is not valid (overlong forms, surrogates
// and code points above U+10FFFF included).
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    std::uint8_t c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
        return 0;
    return n;
}

} // namespace

std::string XmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
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
        case '\'':
            out += "&apos;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool StartsSourceFile(const std::string& segmentPath) {
    std::size_t slash = segmentPath.rfind('/');
    std::string name = slash == std::string::npos ? segmentPath : segmentPath.substr(slash + 1);
    const std::string ext = ".mpg";
    if (name.size() <= ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0)
        return true;
    std::string stem = name.substr(0, name.size() - ext.size());
    std::size_t underscore = stem.rfind('_');
    if (underscore == std::string::npos || underscore + 1 == stem.size()) return true;
    std::string digits = stem.substr(underscore + 1);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return true;
    return std::stol(digits) <= 1;
}

bool IsPlainVobPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    char last = path.back();
    if (last == '|' || last == ' ' || last == '\t') return false;
    for (std::size_t i = 0; i < path.size();) {
        std::uint8_t c = static_cast<std::uint8_t>(path[i]);
        if (c < 0x20 || c == 0x7F) return false;
        std::size_t n = Utf8Length(path, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string MakeDvdauthorXml(const DvdauthorProject& project) {
    const char* format = project.pal ? "pal" : "ntsc";
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    // The format on the root element gives the menu manager its video format.
    xml += std::string("<dvdauthor format=\"") + format + "\">\n";
    xml += "  <vmgm />\n";
    xml += "  <titleset>\n";
    xml += "    <titles>\n";
    xml += std::string("      <video format=\"") + format + "\" aspect=\"" +
           (project.wide ? "16:9" : "4:3") + "\"";
    if (project.wide)
        xml += project.letterBox ? " widescreen=\"nopanscan\"" : " widescreen=\"noletterbox\"";
    xml += " />\n";
    xml += "      <pgc>\n";
    for (std::size_t i = 0; i < project.vobs.size(); ++i) {
        bool chapter = i == 0 || i >= project.chapterAt.size() || project.chapterAt[i];
        xml += "        <vob file=\"" + XmlEscape(project.vobs[i]) + "\"";
        // dvdauthor starts a chapter at every vob unless its cell says otherwise.
        xml += chapter ? " />\n" : "><cell chapter=\"0\" /></vob>\n";
    }
    xml += "      </pgc>\n";
    xml += "    </titles>\n";
    xml += "  </titleset>\n";
    xml += "</dvdauthor>\n";
    return xml;
}

} // namespace engines
