// SPDX-License-Identifier: GPL-3.0-or-later
// How a long-running writer learns, between rows, that the user asked the program to stop.
#pragma once

#include <functional>

namespace korvane::tools {

// True once the user has asked the program to stop (a signal to the command line). The
// writers ask before each row and then roll their one transaction back: a stop must never
// leave half an import behind, since a retry would then add the first half twice. An empty
// function never stops.
using StopRequested = std::function<bool()>;

inline bool stop_requested(const StopRequested& stop) { return stop && stop(); }

}  // namespace korvane::tools
