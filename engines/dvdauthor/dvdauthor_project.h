// The dvdauthor control file for one authoring: one title set with one title that plays every
// segment in order, a chapter where a source file begins.
#pragma once

#include <string>
#include <vector>

namespace engines {

struct DvdauthorProject {
    std::vector<std::string> vobs; // as dvdauthor is to open them, in order
    std::vector<bool> chapterAt;   // per vob: a chapter begins with it
    bool pal = false;
    bool wide = false;      // 16:9
    bool letterBox = false; // for 16:9: letterboxed on a 4:3 screen, else panned and scanned
};

// Text for an XML attribute value between double quotes.
std::string XmlEscape(const std::string& text);

// True when the segment's name is NNN_1.mpg or has no segment number: the first segment of a
// source file. NNN_2.mpg, NNN_3.mpg ... carry on the file before them.
bool StartsSourceFile(const std::string& segmentPath);

// True when dvdauthor reads the path as the file it is: absolute, valid UTF-8 without control
// characters (XML cannot carry them), and without the trailing '|' or outer blanks that
// dvdauthor takes for a shell command to read from.
bool IsPlainVobPath(const std::string& path);

std::string MakeDvdauthorXml(const DvdauthorProject& project);

} // namespace engines
