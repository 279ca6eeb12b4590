// The trial's summary, read from the simulated library's call log: the same facts as the
// demo's, so that a run on someone's Windows PC can be compared with ours under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "padsim/log_line.h"

// One line a fact: the link attempts and their spacing, the poll ticks a second and their
// median period, the reports handled, the picture changes, the program's exit code; and,
// when the log had lines that do not parse, how many and the first of them.
std::vector<std::wstring> SummaryLines(const std::vector<LOGLINE>& logLines, const std::vector<std::string>& unreadable,
                                       uint32_t exitCode);
