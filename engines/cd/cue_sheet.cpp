#include "engines/cd/cue_sheet.h"

namespace engines {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

bool ParseCueSheet(const std::string& text, CueSheet& sheet) {
    sheet = CueSheet{};
    sheet.text = text;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::size_t i = pos;
        while (i < end && IsBlank(text[i]))
            ++i;
        if (end - i > 5 && text.compare(i, 4, "FILE") == 0 && IsBlank(text[i + 4])) {
            i += 5;
            while (i < end && IsBlank(text[i]))
                ++i;
            std::size_t start = i, stop = i;
            if (i < end && text[i] == '"') {
                start = i + 1;
                stop = text.find('"', start);
                if (stop == std::string::npos || stop > end) return false;
            } else {
                while (stop < end && !IsBlank(text[stop]))
                    ++stop;
            }
            if (stop == start) return false;
            sheet.files.push_back(text.substr(start, stop - start));
            sheet.nameSpans.emplace_back(start, stop - start);
        }
        pos = end;
        while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n'))
            ++pos;
    }
    return !sheet.files.empty();
}

std::string RenameCueFiles(const CueSheet& sheet, const std::vector<std::string>& names) {
    std::string out;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < sheet.nameSpans.size() && i < names.size(); ++i) {
        auto [start, length] = sheet.nameSpans[i];
        bool quoted = start > 0 && sheet.text[start - 1] == '"';
        std::size_t from = quoted ? start - 1 : start;
        std::size_t to = quoted ? start + length + 1 : start + length;
        out.append(sheet.text, pos, from - pos);
        out += '"' + names[i] + '"';
        pos = to;
    }
    out.append(sheet.text, pos, std::string::npos);
    return out;
}

std::string ResolveCueFile(const std::string& cuePath, const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    std::size_t slash = cuePath.rfind('/');
    if (slash == std::string::npos) return name;
    return cuePath.substr(0, slash + 1) + name;
}

} // namespace engines
