// The engine's disc type codes for the MMC profile a drive reports ("Mounted Media: 1Bh, DVD+R"
// from dvd+rw-mediainfo), and what each profile allows.
#pragma once

#include <cstdint>

namespace engines {

// Codes 5 to 9 and 13 are the writable DVDs (see IsWritableDvdType).
enum DvdDiscTypeCode : std::int32_t {
    kDiscTypeNone = 0,        // no disc, or a profile we do not know
    kDiscTypeCdRom = 1,       // 08h, and any disc dvd+rw-mediainfo calls "non-DVD"
    kDiscTypeCdR = 2,         // 09h
    kDiscTypeCdRw = 3,        // 0Ah
    kDiscTypeDvdRom = 4,      // 10h
    kDiscTypeDvdR = 5,        // 11h DVD-R Sequential, 15h/16h DVD-R DL
    kDiscTypeDvdRam = 6,      // 12h
    kDiscTypeDvdRw = 7,       // 13h Restricted Overwrite, 14h Sequential, 17h DVD-RW DL
    kDiscTypeDvdPlusRw = 8,   // 1Ah, 2Ah DVD+RW DL
    kDiscTypeDvdPlusR = 9,    // 1Bh
    kDiscTypeBdRom = 10,      // 40h
    kDiscTypeBdR = 11,        // 41h, 42h
    kDiscTypeBdRe = 12,       // 43h
    kDiscTypeDvdPlusRDl = 13, // 2Bh
    kDiscTypeHdDvd = 14,      // 50h to 5Ah
};

struct DvdProfileFacts {
    std::int32_t typeCode = kDiscTypeNone;
    bool erasable = false; // rewritable media: disc information byte 3 reads 1
    // Written in place, with no blank state: DVD+RW, DVD-RAM, BD-RE. A DVD-RW in Restricted
    // Overwrite mode is not counted, since dvd+rw-format -blank returns it to a blank state.
    bool overwritable = false;
};

// profile: the MMC profile number, -1 when none was reported.
DvdProfileFacts FactsOfProfile(int profile);

} // namespace engines
