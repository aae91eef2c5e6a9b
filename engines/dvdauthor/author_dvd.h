// The DVD authoring library: builds VIDEO_TS in the output folder from the segments, returning at
// once and reporting by message 1824 from a thread of its own.
#pragma once

#include "platform/window_message.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engines {

constexpr unsigned WM_AUTHOR_EVENT = 1824;
// wParam of WM_AUTHOR_EVENT; 4, 5 and above 6 mean nothing to the burner.
enum : unsigned {
    kAuthorFailed = 0,
    kAuthorBuildingVobs = 1,  // lParam: percent
    kAuthorCreatingImage = 2, // lParam: percent
    kAuthorMayClose = 3,
    kAuthorSucceeded = 6,
};

// One object for the life of the process. The segment list is a plain container here: the
// library is ours and takes it by reference, so its layout is nobody else's concern.
struct AuthorDvdParam {
    platform::HWND window = nullptr;
    std::vector<std::string> segments; // full paths, in order
    char outputFolder[1024] = {};
    std::int32_t tvSystem = 0;  // 0 NTSC, 1 PAL
    std::int32_t aspect = 0;    // 0 is 4:3, 1 is 16:9
    std::int32_t letterBox = 0; // 0 off, 1 on
};

class DvdAuthor {
  public:
    virtual ~DvdAuthor() = default;
    // The record must stay unchanged until the library has reported its end.
    virtual void AuthorDVD(AuthorDvdParam* param) = 0;
};

} // namespace engines
