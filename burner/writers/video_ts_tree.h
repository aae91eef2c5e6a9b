// The node tree of a DVD-Video folder that the DVD engine writes: root, VIDEO_TS and AUDIO_TS, and
// the files of VIDEO_TS in the order players expect them.
#pragma once

#include "engines/dvd/dvd_engine.h"

#include <cstdint>
#include <string>

constexpr int kDvdDirectoryNodeSlots = 20;
constexpr int kDvdFileNodeSlots = 80; // slot 0 stays empty
// The most a single-layer disc takes, in 2048-byte sectors.
constexpr std::uint64_t kDvdMaxSectors = 2294921;

enum class VideoTsTreeResult { kOk, kMissingFile, kTooLarge, kTooManyFiles };

// folder is the VIDEO_TS folder itself, ending with '/'. File names are looked up without regard
// to case, since authoring tools write them in capitals. On failure errorText says why; the nodes
// made so far stay in the arrays for the caller to release.
VideoTsTreeResult BuildVideoTsTree(engines::DvdEngine& engine, const std::string& folder,
                                   engines::DvdTreeNode* (&directoryNodes)[kDvdDirectoryNodeSlots],
                                   engines::DvdTreeNode* (&fileNodes)[kDvdFileNodeSlots],
                                   std::string& errorText);

extern const char kDvdTooLargeText[];
