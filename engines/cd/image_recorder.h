// The Image Recorder: a writer that "burns" the BIN/CUE image into a folder of recorded discs
// ($HOME/Pellam/discs) as a new BIN/CUE pair, so that a job runs to its end without a drive.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace engines {

// $HOME/Pellam/discs (the password entry's home when HOME is unset).
std::string CdDiscsFolder();

// The label as a file name: letters, digits, '-', '_' and '.' kept, other bytes '_', at most 64;
// "VideoCD" for an empty label or the burner's "BS_NDEF".
std::string DiscFileStem(const std::string& label);

struct ImageRecording {
    std::vector<std::string> sources; // the image files the cue names
    std::vector<std::string> targets; // their copies, reserved
    std::string cueTarget;            // the new cue sheet, reserved
    std::string cueText;              // its text, naming the copies
    std::uint64_t totalBytes = 0;
};

// Reads the cue sheet, checks its image files and reserves "<stem>-<n>.cue" and its BIN names in
// `folder` (made when missing) with the smallest n for which none of them exists; reserved
// files are created empty, so a name is never taken twice nor anything overwritten. Returns 0,
// kCdErrBadCue or kCdErrDiscsFolder.
std::int32_t PlanImageRecording(const std::string& cuePath, const std::string& folder,
                                const std::string& label, ImageRecording& plan);

// Copies the image files, reporting the percent copied; then `finalize`, then the cue sheet and
// the flush to disk. "" on success; otherwise the reason, and every reserved file is removed
// (also when `abort` became true on the way).
std::string RecordImage(const ImageRecording& plan, const std::atomic<bool>& abort,
                        const std::function<void(float)>& progress,
                        const std::function<void()>& finalize);

// Removes the reserved files of a plan that will not be recorded.
void DropImageRecording(const ImageRecording& plan);

extern const char kCdBurnAbortedText[]; // "The burn was aborted."

} // namespace engines
