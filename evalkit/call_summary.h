// The trial's summary, read from the simulated library's call log: the same facts as the
// demo's, so that a run on someone's Windows PC can be compared with ours under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One line a fact: the link attempts and their spacing, the poll ticks a second and their
// median period, the reports handled, the picture changes, the program's exit code.
std::vector<std::wstring> SummaryLines(const std::vector<std::string>& logLines, uint32_t exitCode);
