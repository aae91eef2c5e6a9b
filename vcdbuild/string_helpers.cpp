#include "string_helpers.h"

namespace {

unsigned char Upper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// strcasecmp folds to lower case, which puts '_' before the letters.
unsigned char Lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace

std::vector<std::string> StrSplit(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::size_t StrCount(const std::vector<std::string>& parts) {
    return parts.size();
}

std::string StrJoin(const std::vector<std::string>& parts, std::size_t count, char separator) {
    std::string joined;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i) joined += separator;
        joined += parts[i];
    }
    return joined;
}

std::string StrUpper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        c = static_cast<char>(Upper(static_cast<unsigned char>(c)));
    return upper;
}

int StrCaseCompare(const std::string& a, const std::string& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int d =
            Lower(static_cast<unsigned char>(a[i])) - Lower(static_cast<unsigned char>(b[i]));
        if (d) return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::vector<std::uint8_t> ZeroAlloc(std::size_t size) {
    return std::vector<std::uint8_t>(size, 0);
}

std::vector<std::uint8_t> ByteCopy(const std::uint8_t* data, std::size_t size) {
    if (!data) return {};
    return std::vector<std::uint8_t>(data, data + size);
}
