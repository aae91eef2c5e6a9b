// The authoring library over dvdauthor: each AuthorDVD runs on a thread of its own, builds the
// VIDEO_TS and AUDIO_TS folders in a staging folder inside the output folder, and moves them
// into place only when dvdauthor has made a complete DVD.
#pragma once

#include "engines/dvdauthor/author_dvd.h"

#include <memory>

namespace engines {

// Events posted to the record's window, in this order: 1 with a rising percent while the VOBs
// are written, 2 with a rising percent while the IFO files are made, and once the folder is
// complete 2 with 100, 3 and 6. Any failure posts 0 instead and leaves no VIDEO_TS behind.
// Destroying the object stops a running dvdauthor and waits for its thread; a job stopped so
// posts nothing more.
std::unique_ptr<DvdAuthor> MakeSystemDvdAuthor();

} // namespace engines
