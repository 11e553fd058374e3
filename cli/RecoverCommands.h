#pragma once

// The verbs for archives that went wrong or changed: salvage writes what a
// damaged archive still holds to a new one, diff lists what changed from one
// archive to another.

#include <functional>
#include <string_view>

#include "GrpCommandLine.h"
#include "GrpTool.h"

namespace halvarin::cli {

// Writes to standard output, ending the command when that fails, as all
// output of the program does.
using Printer = std::function<void(std::string_view)>;

// 0 when every entry was recovered, 1 when some were lost (OUT is written).
int Salvage(const Invocation& invocation, Console& console, const Printer& print);
// 0 when the archives hold the same, 1 when they differ; errors throw.
int Diff(const Invocation& invocation, const Printer& print);

}  // namespace halvarin::cli
