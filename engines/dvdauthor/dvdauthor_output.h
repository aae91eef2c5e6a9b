// Reading dvdauthor's output as it comes: the stage it is in with a rising percent, and whether
// it reported an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace engines {

struct AuthorProgress {
    unsigned stage = 0; // kAuthorBuildingVobs or kAuthorCreatingImage
    int percent = 0;
    bool operator==(const AuthorProgress&) const = default;
};

class DvdauthorOutput {
  public:
    // totalInputBytes: the size of all segments, against which the written VOB data is measured.
    explicit DvdauthorOutput(std::uint64_t totalInputBytes) : total_(totalInputBytes) {}

    // One line of output (ends stripped; '\r' ends a line). Returns the progress when this line
    // moved it: a later stage, or a higher percent in the same one.
    std::optional<AuthorProgress> Feed(const std::string& line);

    bool Failed() const { return !error_.empty(); }
    const std::string& ErrorText() const { return error_; } // the first "ERR:" line

  private:
    std::optional<AuthorProgress> MoveTo(unsigned stage, int percent);

    std::uint64_t total_;
    AuthorProgress last_{0, -1};
    std::string error_;
};

} // namespace engines
