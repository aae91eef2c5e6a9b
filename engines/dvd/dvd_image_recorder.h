// The Image Recorder: a writer that records the disc as a DVD-Video UDF/ISO 9660 image file under
// $HOME/Pellam/discs/ instead of burning it.
#pragma once

#include "engines/dvd/dvd_engine.h"

#include <string>

namespace engines {

extern const char kDvdRecorderVendor[];  // "Pellam"
extern const char kDvdRecorderProduct[]; // "Image Recorder"
constexpr DvdDeviceAddress kDvdRecorderAddress{0xFF, 0xFF, 0xFF, 0xFF};

// $HOME/Pellam/discs/, with its trailing slash.
std::string DvdDiscsFolder();

// Makes the folder when needed and creates a new empty file for the label there ("LABEL.iso",
// else "LABEL (2).iso", ...), so that no image is ever overwritten. False with errorText set
// when no file could be made.
bool ReserveDvdImageFile(const std::string& folder, const std::string& label, std::string& path,
                         std::string& errorText);

} // namespace engines
