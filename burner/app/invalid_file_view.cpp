#include "burner/app/invalid_file_view.h"

#include "burner/app/burner_startup.h"

InvalidFileView MakeInvalidFileView(int discMode, const std::string& path,
                                    const std::string& reason) {
    const char* kind = discMode == DISC_DVD ? "DVD" : discMode == DISC_SVCD ? "SVCD" : "VCD";
    InvalidFileView v;
    v.m_strFile = path;
    v.text1062 = "The file: " + path + "\n is not a " + kind +
                 " compatible mpeg file,Can't burn it directly to video disc.";
    v.text1063 = std::string("You need to convert it to ") + kind +
                 " format use the our Orvanta Video Converter or other video conerting tools.";
    v.reason = reason;
    return v;
}
