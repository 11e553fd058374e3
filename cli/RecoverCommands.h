#pragma once

// The verbs for archives that went wrong or changed: salvage writes what a
// damaged archive still holds to a new one, diff lists what changed from one
// archive to another.

#include "FileSystem.h"
#include "GrpCommandLine.h"
#include "GrpTool.h"

namespace halvarin::cli {

// 0 when every entry was recovered, 1 when some were lost (OUT is written).
int Salvage(const Invocation& invocation, Console& console, io::FileSystem& fs);
// 0 when the archives hold the same, 1 when they differ; errors throw (and
// end the program with kTrouble, as diff and cmp do).
int Diff(const Invocation& invocation, Console& console, io::FileSystem& fs);

}  // namespace halvarin::cli
