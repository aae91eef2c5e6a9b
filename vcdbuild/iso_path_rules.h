// The naming rules the project applies to folder and file paths of the ISO 9660 track: level 1
// (8.3, upper case) under the VideoCD system folders, level 2 elsewhere.
#pragma once

#include "vcd_log.h"

#include <string>

// True when the first "/"-separated component is a system folder (CDDA, CDI, EXT, KARAOKE,
// MPEG2, MPEGAV, SEGMENT, SVCD, VCD), ignoring case.
bool IsSystemPath(const char* path);

// 1 valid, 0 invalid (reported as errors). A null or empty path is invalid.
int CheckDirPath(CVcdLog& log, const char* path);
int CheckFilePath(CVcdLog& log, const char* path);

// "name;version", the record name of a file.
std::string VersionedName(const std::string& name, int version);

inline constexpr long kIsoMaxPathLength = 255;
inline constexpr long kIsoMaxFilePathLength = 249;
inline constexpr int kIsoLevel1NameLength = 8;
inline constexpr int kIsoLevel2NameLength = 31;
inline constexpr int kIsoExtensionLength = 3;
