// One line of the scenario language: its words, and the command they make. The script's
// structure (blocks, limits, the order of errors) is scenario_parse.cpp's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "padsim/scenario.h"

using TOKENS = std::vector<std::string_view>;

// The line up to a '#' that starts it or follows a blank.
std::string_view StripComment(std::string_view line);

// The line's words, split at blanks and tabs.
TOKENS Tokenize(std::string_view line);

// Turns the words of one line (not "end") into a command; false with a message naming
// what is wrong otherwise. `line` is the whole line, for mark's text.
bool ParseCommand(const TOKENS& tokens, std::string_view line, SIMCOMMAND* command,
                  std::string* error);
