// The command-line mode: runs what the switches ask for with the routines the
// window's buttons use, and reports through the exit code, the log, the
// console the program was started from and, unless quiet, the program's boxes.
#pragma once
#include <functional>

#include "CommandLine.h"

namespace cb {

// PrepareBoxes runs once, before the first box: it makes what skins them.
// Returns the exit code.
int RunCommandMode(const TCliRequest& Request, const std::function<void()>& PrepareBoxes);

// How long a run waits for another instance's run to end before it reports
// that one busy: long enough for an instance's start-up check of a run left
// behind, far shorter than any run.
constexpr unsigned kCommandTurnWaitMs = 2000;

}  // namespace cb
