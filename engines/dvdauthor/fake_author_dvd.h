// A scripted authoring library: records each call and reports only when the test asks; on
// success it can leave a small VIDEO_TS folder behind for the DVD writer to take.
#pragma once

#include "engines/dvdauthor/author_dvd.h"

#include <string>
#include <vector>

namespace engines {

class FakeDvdAuthor : public DvdAuthor {
  public:
    bool sendMessages = false; // post by default

    std::vector<AuthorDvdParam> calls; // copies, as passed

    void AuthorDVD(AuthorDvdParam* param) override;

    // Any report of the running authoring (also the ones the burner ignores); false when none.
    bool Report(unsigned wParam, platform::LPARAM lParam = 0);
    // Writes VIDEO_TS (one title set) and an empty AUDIO_TS into the output folder, then
    // reports success.
    bool Succeed(bool writeFolder = true);
    bool Fail() { return Report(kAuthorFailed); }

  private:
    AuthorDvdParam* running_ = nullptr;
};

} // namespace engines
