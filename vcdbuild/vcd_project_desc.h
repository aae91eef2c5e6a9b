// The project description: what the VideoCD XML reader found in a document, before it is
// transferred into the project object. All texts are owned copies; "text or null" fields are
// unset when the document had no text for them.
#pragma once

#include "pbc.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct VcdOptionDesc {
    std::string name;
    std::string value; // empty when the attribute is absent
};

struct VcdEntryDesc {
    std::optional<std::string> id;
    double time = 0; // seconds from the start of the sequence
};

struct VcdSequenceDesc {
    std::string id; // empty when the attribute is absent
    std::string src;
    std::optional<std::string> defaultEntryId;
    std::vector<VcdEntryDesc> entries;
    std::vector<double> autoPauses; // seconds
};

struct VcdSegmentDesc {
    std::string id;
    std::string src;
    std::vector<double> autoPauses; // seconds
};

struct VcdFsEntryDesc {
    std::string path;               // ISO path, folders joined with "/"
    std::optional<std::string> src; // host file; unset for a folder
    bool mixed = false;             // raw Mode 2 data
};

class VcdProjectDesc {
  public:
    VcdProjectDesc() = default;
    virtual ~VcdProjectDesc() = default;
    VcdProjectDesc(const VcdProjectDesc&) = delete;
    VcdProjectDesc& operator=(const VcdProjectDesc&) = delete;

    std::int32_t vcdType = 0; // VcdType; 0 invalid
    std::vector<VcdOptionDesc> options;

    std::optional<std::string> albumId;
    std::int32_t volumeCount = 0;
    std::int32_t volumeNumber = 0;
    std::int32_t restriction = 0;
    bool nextVolumeUseSequence2 = false;
    bool nextVolumeUseLid2 = false;

    std::optional<std::string> volumeId;
    std::optional<std::string> systemId; // read, never passed on
    std::optional<std::string> applicationId;
    std::optional<std::string> preparerId; // read, never passed on
    std::optional<std::string> publisherId;

    // Entries become null once the project has taken them.
    std::vector<std::unique_ptr<CPbc>> pbcLists;
    std::vector<VcdSequenceDesc> sequenceItems;
    std::vector<VcdSegmentDesc> segmentItems;
    std::vector<VcdFsEntryDesc> fsEntries;
};
