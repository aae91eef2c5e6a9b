#include "engines/dvd/dvd_disc_types.h"

namespace engines {

namespace {

struct ProfileRow {
    int profile;
    DvdProfileFacts facts;
};

// MMC profile -> the engine's disc type code.
constexpr ProfileRow kProfiles[] = {
    {0x08, {kDiscTypeCdRom, false, false}},      {0x09, {kDiscTypeCdR, false, false}},
    {0x0A, {kDiscTypeCdRw, true, false}},        {0x10, {kDiscTypeDvdRom, false, false}},
    {0x11, {kDiscTypeDvdR, false, false}},       {0x12, {kDiscTypeDvdRam, true, true}},
    {0x13, {kDiscTypeDvdRw, true, false}},       {0x14, {kDiscTypeDvdRw, true, false}},
    {0x15, {kDiscTypeDvdR, false, false}},       {0x16, {kDiscTypeDvdR, false, false}},
    {0x17, {kDiscTypeDvdRw, true, false}},       {0x1A, {kDiscTypeDvdPlusRw, true, true}},
    {0x1B, {kDiscTypeDvdPlusR, false, false}},   {0x2A, {kDiscTypeDvdPlusRw, true, true}},
    {0x2B, {kDiscTypeDvdPlusRDl, false, false}}, {0x40, {kDiscTypeBdRom, false, false}},
    {0x41, {kDiscTypeBdR, false, false}},        {0x42, {kDiscTypeBdR, false, false}},
    {0x43, {kDiscTypeBdRe, true, true}},
};

} // namespace

DvdProfileFacts FactsOfProfile(int profile) {
    for (const ProfileRow& row : kProfiles)
        if (row.profile == profile) return row.facts;
    if (profile >= 0x50 && profile <= 0x5A) return {kDiscTypeHdDvd, false, false};
    return {};
}

} // namespace engines
