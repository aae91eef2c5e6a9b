#include "engines/dvdauthor/dvdauthor_output.h"

#include "engines/dvdauthor/author_dvd.h"

#include <algorithm>

namespace engines {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The decimal number that starts at text[at], moving at past it; nullopt when no digit is there
// or it does not fit.
std::optional<std::uint64_t> NumberAt(const std::string& text, std::size_t& at) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return std::nullopt;
    std::uint64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (value > (UINT64_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
    }
    return value;
}

// Share of the image stage: fixing the VOBUs, then the table of contents; 100 only once the
// folder is complete, which the caller decides.
constexpr int kFixedVobus = 90;
constexpr int kTableOfContents = 95;

} // namespace

std::optional<AuthorProgress> DvdauthorOutput::MoveTo(unsigned stage, int percent) {
    percent = std::clamp(percent, 0, 100);
    if (stage < last_.stage || (stage == last_.stage && percent <= last_.percent))
        return std::nullopt;
    last_ = {stage, percent};
    return last_;
}

std::optional<AuthorProgress> DvdauthorOutput::Feed(const std::string& line) {
    if (StartsWith(line, "ERR:")) {
        if (error_.empty()) {
            std::size_t text = line.find_first_not_of(' ', 4);
            error_ = text == std::string::npos ? "ERR:" : line.substr(text);
        }
        return std::nullopt;
    }
    // "STAT: VOBU 16 at 8MB, 1 PGCs": megabytes of VOB written so far.
    if (StartsWith(line, "STAT: VOBU ")) {
        std::size_t at = line.find(" at ");
        if (at == std::string::npos) return std::nullopt;
        at += 4;
        std::optional<std::uint64_t> mb = NumberAt(line, at);
        if (!mb || line.compare(at, 2, "MB") != 0) return std::nullopt;
        int percent = 99;
        if (total_ > 0 && *mb < (UINT64_MAX >> 20) / 100) {
            std::uint64_t p = (*mb << 20) * 100 / total_;
            percent = static_cast<int>(std::min<std::uint64_t>(p, 99));
        }
        if (last_.stage > kAuthorBuildingVobs) return std::nullopt;
        return MoveTo(kAuthorBuildingVobs, percent);
    }
    if (StartsWith(line, "STAT: Processing ")) {
        if (last_.stage == 0) return MoveTo(kAuthorBuildingVobs, 0);
        return std::nullopt;
    }
    // The VOBs are written; what follows builds the IFO files.
    if (StartsWith(line, "CHAPTERS: ") || StartsWith(line, "INFO: Generating VTS"))
        return MoveTo(kAuthorCreatingImage, 0);
    // "STAT: fixing VOBU at 8MB (17/76, 21%)"
    if (StartsWith(line, "STAT: fixing VOBU ")) {
        std::size_t comma = line.rfind(", ");
        if (comma == std::string::npos) return std::nullopt;
        std::size_t at = comma + 2;
        std::optional<std::uint64_t> p = NumberAt(line, at);
        if (!p || *p > 100 || line.compare(at, 1, "%") != 0) return std::nullopt;
        return MoveTo(kAuthorCreatingImage, static_cast<int>(*p) * kFixedVobus / 100);
    }
    if (StartsWith(line, "STAT: fixed ")) return MoveTo(kAuthorCreatingImage, kFixedVobus);
    if (StartsWith(line, "INFO: dvdauthor creating table of contents"))
        return MoveTo(kAuthorCreatingImage, kTableOfContents);
    return std::nullopt;
}

} // namespace engines
