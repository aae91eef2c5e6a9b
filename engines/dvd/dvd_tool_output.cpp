#include "engines/dvd/dvd_tool_output.h"

#include <cctype>
#include <charconv>

namespace engines {

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

void SkipBlanks(const std::string& s, std::size_t& i) {
    while (i < s.size() && s[i] == ' ')
        ++i;
}

bool ReadNumber(const std::string& s, std::size_t& i, std::uint64_t& value) {
    auto [end, ec] = std::from_chars(s.data() + i, s.data() + s.size(), value);
    if (ec != std::errc()) return false;
    i = static_cast<std::size_t>(end - s.data());
    return true;
}

// "12.34" at i, as a whole number in units of 10^-decimals (digits beyond are dropped).
bool ReadFixed(const std::string& s, std::size_t& i, int decimals, std::uint64_t& value) {
    std::uint64_t whole = 0;
    if (i >= s.size() || !IsDigit(s[i]) || !ReadNumber(s, i, whole) || whole > 1000000)
        return false;
    std::uint64_t fraction = 0;
    int digits = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            if (digits < decimals) {
                fraction = fraction * 10 + static_cast<std::uint64_t>(s[i] - '0');
                ++digits;
            }
            ++i;
        }
    }
    for (; digits < decimals; ++digits)
        fraction *= 10;
    std::uint64_t scale = 1;
    for (int d = 0; d < decimals; ++d)
        scale *= 10;
    value = whole * scale + fraction;
    return true;
}

} // namespace

bool ParseGrowisofsProgress(const std::string& line, std::uint64_t& done, std::uint64_t& total) {
    std::size_t i = 0;
    SkipBlanks(line, i);
    std::uint64_t d = 0, t = 0;
    if (i >= line.size() || !IsDigit(line[i]) || !ReadNumber(line, i, d)) return false;
    if (i >= line.size() || line[i] != '/') return false;
    ++i;
    if (i >= line.size() || !IsDigit(line[i]) || !ReadNumber(line, i, t)) return false;
    SkipBlanks(line, i);
    if (i >= line.size() || line[i] != '(') return false;
    ++i;
    SkipBlanks(line, i);
    std::uint64_t percent = 0;
    if (!ReadFixed(line, i, 1, percent)) return false;
    if (i + 1 >= line.size() || line[i] != '%' || line[i + 1] != ')') return false;
    if (t == 0 || d > t) return false;
    done = d;
    total = t;
    return true;
}

bool ParsePercentDone(const std::string& line, std::uint32_t& hundredths) {
    std::size_t i = 0;
    SkipBlanks(line, i);
    std::uint64_t value = 0;
    if (!ReadFixed(line, i, 2, value)) return false;
    if (line.compare(i, 6, "% done") != 0 || value > 10000) return false;
    hundredths = static_cast<std::uint32_t>(value);
    return true;
}

bool ParseFormatProgress(const std::string& line, std::uint32_t& tenths) {
    bool found = false;
    for (std::size_t p = line.find('%'); p != std::string::npos; p = line.find('%', p + 1)) {
        std::size_t start = p;
        while (start > 0 && (IsDigit(line[start - 1]) || line[start - 1] == '.'))
            --start;
        if (start == p || !IsDigit(line[start])) continue;
        std::size_t i = start;
        std::uint64_t value = 0;
        if (!ReadFixed(line, i, 1, value) || i != p || value > 1000) continue;
        tenths = static_cast<std::uint32_t>(value);
        found = true;
    }
    return found;
}

bool IsClosingLine(const std::string& line) {
    static const char* const kSteps[] = {": flushing cache",   ": closing track",
                                         ": closing session",  ": closing disc",
                                         ": writing lead-out", ": updating RMA"};
    for (const char* step : kSteps) {
        std::string s(step);
        if (line.size() >= s.size() && line.compare(line.size() - s.size(), s.size(), s) == 0)
            return true;
    }
    return false;
}

bool IsErrorLine(const std::string& line) {
    return line.find(":-(") != std::string::npos || line.find(":-[") != std::string::npos ||
           line.rfind("FATAL:", 0) == 0;
}

} // namespace engines
