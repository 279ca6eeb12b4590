// The pad simulator's scenario language: one command a line, '#' at the start of a line or
// after a blank starts a comment. The same text arrives from a scenario file and over the
// control pipe. Parsing has no dependence on the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum SimCommandKind {
    // State commands: they change what the library answers, the moment they are played.
    CMD_REFUSE,        // refuse N [VALUE]: the next N TpConnect calls return VALUE (default 0)
    CMD_TRAYMODE,      // traymode M: TpGetTrayMode returns M
    CMD_DISABLED,      // disabled D: TpIsDisabled returns D
    CMD_CHECKBUTTONS,  // checkbuttons V: TpCheckButtonFlags returns V
    CMD_CLEAR,         // clear: drops every queued command and stops the one playing
    // Queued commands: played in order on the library's delivery thread.
    CMD_REPORT,       // status, raw, report: one record to hand to the callback
    CMD_NULL_REPORT,  // null: a null record pointer handed to the callback
    CMD_WAIT,         // wait MS
    CMD_MARK,         // mark TEXT: a marker line in the log
    CMD_REPEAT,       // repeat N ... end: the body N times
    CMD_RATE,         // rate PER_SECOND COUNT ... end: the body COUNT times, paced
};

struct SIMCOMMAND {
    SimCommandKind kind = CMD_MARK;
    int line = 0;                  // 1-based line of the command in its script
    int64_t first = 0;             // N, M, D, V, MS or PER_SECOND
    int64_t second = 0;            // refuse's VALUE or rate's COUNT
    std::vector<uint8_t> record;   // a report's bytes, type first, little-endian
    std::string text;              // mark's text
    std::vector<SIMCOMMAND> body;  // repeat's and rate's commands
};

struct SIMSCRIPTERROR {
    int line;
    std::string message;
};

struct SIMSCRIPT {
    std::vector<SIMCOMMAND> commands;
    std::vector<SIMSCRIPTERROR> errors;  // in line order; each names a line that was skipped
};

// Bounds that keep a hostile script from taking unbounded memory or time to parse.
constexpr size_t SIM_MAX_SCRIPT_SIZE = 1 << 20;           // bytes of script text
constexpr size_t SIM_MAX_LINE_LENGTH = 4096;              // characters of one line
constexpr size_t SIM_MAX_RECORD_SIZE = 65536;             // bytes of one report, type included
constexpr size_t SIM_MAX_SCRIPT_RECORD_BYTES = 16 << 20;  // report bytes of a whole script
constexpr size_t SIM_MAX_COMMANDS = 100000;               // commands of a whole script
constexpr size_t SIM_MAX_MARK_LENGTH = 200;               // characters of a mark's text
constexpr int SIM_MAX_BLOCK_DEPTH = 8;                    // nested repeat and rate blocks
constexpr int64_t SIM_MAX_WAIT_MS = 86400000;             // one day
constexpr int64_t SIM_MAX_RATE = 10000000;                // reports a second

// Parses a whole script. A line that is not understood is reported in errors and skipped;
// a block opener without its end is skipped, so its body plays once, unrepeated.
SIMSCRIPT ParseScript(std::string_view text);

// True for the commands that change state at once rather than wait their turn.
bool IsStateCommand(SimCommandKind kind);

// Parses a decimal or 0x-hexadecimal integer, with an optional leading '-', within
// [low, high]. False for anything else, overflow included.
bool ParseInteger(std::string_view token, int64_t low, int64_t high, int64_t* value);
