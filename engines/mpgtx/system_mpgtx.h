// The real checker and demultiplexer. Each call copies what it needs from the record, returns at
// once and works on a thread of its own, which posts its reports to the record's window (never
// sends: the engine may be destroyed on that window's thread, and it joins its threads).
//
// A new call for a record that still has a job running supersedes that job: the old one stops
// without another report and the new one starts once the old one has let go of the record.
#pragma once

#include "engines/mpgtx/mpgtx.h"

#include <memory>

namespace engines {

std::unique_ptr<Mpgtx> MakeSystemMpgtx();

} // namespace engines
