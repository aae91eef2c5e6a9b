// The FILE lines of a cue sheet: which image files it names, and the same sheet naming others.
#pragma once

#include <string>
#include <vector>

namespace engines {

struct CueSheet {
    std::string text;               // the sheet as read, byte for byte
    std::vector<std::string> files; // FILE names as written, in order
    // Position and length of each name inside `text` (without the quotes).
    std::vector<std::pair<std::size_t, std::size_t>> nameSpans;
};

// False when the text has no FILE line or a FILE line without a name.
bool ParseCueSheet(const std::string& text, CueSheet& sheet);

// The sheet with its FILE names replaced, one per FILE line, quoted; everything else unchanged.
std::string RenameCueFiles(const CueSheet& sheet, const std::vector<std::string>& names);

// A FILE name resolved against the folder of the cue sheet (names are relative to it).
std::string ResolveCueFile(const std::string& cuePath, const std::string& name);

} // namespace engines
