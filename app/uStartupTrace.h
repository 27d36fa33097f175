// Marks of start-up, for bench/startup's breakdown: with the environment
// variable CB_STARTUP_TRACE naming a file, each mark appends a line "name
// counter" (the performance counter, which the launcher reads as well).
// Without it a mark costs one test of a flag.
#pragma once

namespace cb {

void StartupMark(const char* Name);

}  // namespace cb
