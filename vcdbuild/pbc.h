// Playback control: play lists, selection lists and end lists of a project, their list IDs and
// PSD offsets, the checks of the format, and the PSD / PSD_X / LOT / LOT_X renderers.
#pragma once

#include "vcd_containers.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CVcdObj;
class CPbcList;

enum PbcType : std::int32_t { PBC_PLAY = 1, PBC_SELECT = 2, PBC_END = 3 };

enum PbcDefaultKind : std::int32_t {
    PBC_DEFAULT_NORMAL = 0,
    PBC_DEFAULT_MULTI = 1,
    PBC_DEFAULT_MULTI_NO_NUMERIC = 2,
};

// Kinds of an id, as the project's duplicate check needs them.
enum VcdItemKind : int {
    VCD_ITEM_NONE = 0,
    VCD_ITEM_SEQUENCE = 2,
    VCD_ITEM_ENTRY = 3,
    VCD_ITEM_SEGMENT = 4,
    VCD_ITEM_PBC = 5,
};

// A selection area x1, y1, x2, y2; an absent one is written as four zero bytes.
struct PbcArea {
    bool present = false;
    std::uint8_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

class CPbc {
  public:
    explicit CPbc(std::int32_t type_) : type(type_) {}
    virtual ~CPbc() = default;
    CPbc(const CPbc&) = delete;
    CPbc& operator=(const CPbc&) = delete;

    // Case-insensitive comparison of ids; 0 when equal.
    int Compare(const std::string& otherId) const;
    // Record size in bytes (before rounding to 8).
    virtual std::uint32_t GetSize(const CVcdObj& project, bool extended) const = 0;
    // Visits the lists this one leads to and marks the items it plays.
    virtual void MarkReferences(CVcdObj& project) = 0;
    // Writes the record at `record` (GetSize bytes available), logging the checks.
    virtual void Write(const CVcdObj& project, std::uint8_t* record, bool extended) const = 0;

    std::int32_t type;
    std::string id;
    bool rejected = false;
    bool visited = false;
    std::int32_t lid = 0;
    std::uint32_t offset = 0;
    std::uint32_t offsetExt = 0;
};

class CPbcPlay : public CPbc {
  public:
    CPbcPlay() : CPbc(PBC_PLAY) {}
    std::uint32_t GetSize(const CVcdObj& project, bool extended) const override;
    void MarkReferences(CVcdObj& project) override;
    void Write(const CVcdObj& project, std::uint8_t* record, bool extended) const override;

    std::string prevId, nextId, returnId;
    double playingTime = 0;
    std::int32_t waitTime = 0;
    std::int32_t autoPauseWaitTime = 0;
    std::vector<std::string> itemIds;
};

class CPbcSelect : public CPbc {
  public:
    CPbcSelect() : CPbc(PBC_SELECT) {}
    std::uint32_t GetSize(const CVcdObj& project, bool extended) const override;
    void MarkReferences(CVcdObj& project) override;
    void Write(const CVcdObj& project, std::uint8_t* record, bool extended) const override;

    std::string prevId, nextId, returnId;
    std::int32_t defaultKind = PBC_DEFAULT_NORMAL;
    PbcArea prevArea, nextArea, returnArea, defaultArea;
    std::vector<PbcArea> selectAreas;
    std::int32_t bsn = 1;
    std::string defaultId, timeoutId;
    std::int32_t waitTime = 0;
    std::int32_t loopCount = 0;
    bool jumpDelayed = false;
    std::string itemId;
    std::vector<std::string> selectIds;
};

class CPbcEnd : public CPbc {
  public:
    CPbcEnd() : CPbc(PBC_END) {}
    std::uint32_t GetSize(const CVcdObj& project, bool extended) const override;
    void MarkReferences(CVcdObj& project) override;
    void Write(const CVcdObj& project, std::uint8_t* record, bool extended) const override;

    std::string imageId;
    std::int32_t nextDisc = 0;
};

class CPbcList : public CVcdList<CPbc> {
  public:
    CPbc* FindItem(const std::string& id) const;
    // 1-based position, 0 when absent.
    int Position(const std::string& id) const;

    std::uint32_t psdSize = 0;
    std::uint32_t extPsdSize = 0;
};

// Play item number of a sequence, entry point or segment id; 0 when none matches.
int LookupPin(const CVcdObj& project, const std::string& id);
int ItemKind(const CVcdObj& project, const std::string& id);
bool IsPbcInUse(const CVcdObj& project);
int PbcItemCount(const CVcdObj& project);
void AssignOffsets(CVcdObj& project);
void CheckReachability(CVcdObj& project);
std::uint32_t GetPsdSize(const CVcdObj& project, bool extended);
// `buffer` holds GetPsdSize bytes, zero-filled.
void WritePsd(const CVcdObj& project, std::uint8_t* buffer, bool extended);
// `buffer` holds 65536 bytes.
void WriteLot(const CVcdObj& project, std::uint8_t* buffer, bool extended);
// One byte: 255 infinite, 0-60 as is, then steps of 10 s up to 2000 s.
std::uint8_t CodeWaitTime(const CVcdObj& project, std::int32_t seconds);
