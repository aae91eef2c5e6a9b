// What the "Invalid MPEG file" dialog shows for a refused file: its two texts for the disc mode
// and, when the check gave one, the reason it was refused.
#pragma once

#include <string>

inline constexpr char kInvalidFileCaption[] = "Invalid MPEG file";

struct InvalidFileView {
    std::string caption = kInvalidFileCaption;
    std::string m_strFile; // the refused file
    std::string text1062;  // "The file: <path>\n is not a ... compatible mpeg file,..."
    std::string text1063;  // how to convert it
    std::string reason;    // the checker's words, empty when it gave none
};

// The path goes into the text as it stands, so a '%' in a file name is shown, not interpreted.
InvalidFileView MakeInvalidFileView(int discMode, const std::string& path,
                                    const std::string& reason);
