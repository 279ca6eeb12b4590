// The call log read back: the one reader of the lines that log_format.cpp writes, for the
// evaluation kit's launcher and for the tests. Logs are read while the library still appends
// to them, so a last line without its line end is pending, not wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A line's items by key: "t", "tid", "pid", then "call" or "event" with the entry's or the
// event's name, then the rest ("ret", "n", "text" ...).
using LOGLINE = std::map<std::string, std::string>;

// One line without its line end, as the writer writes it; false for any other text.
bool ParseLogLine(const std::string& text, LOGLINE* line);

// The log as it grows: bytes in, complete lines out.
struct LOGREADER {
    std::string pending;    // the bytes after the last line end
    size_t lineNumber = 0;  // complete lines taken so far
    std::vector<std::string>
        unreadable;  // "line N: TEXT" for each complete line that does not parse
};

// Takes the next bytes of the log and appends the lines they complete to *lines.
void TakeLogText(LOGREADER& reader, const char* data, size_t size, std::vector<LOGLINE>* lines);

// The item's text, empty when the line has none.
std::string LogItem(const LOGLINE& line, const char* key);

// The item as a number (decimal, or hexadecimal after "0x"), or fallback when the line has
// none or it is not a number.
int64_t LogNumber(const LOGLINE& line, const char* key, int64_t fallback);

// Whether the line has every item of wanted, with the same value.
bool LineHas(const LOGLINE& line, const LOGLINE& wanted);

// The lines that have every item of wanted.
std::vector<LOGLINE> LinesWith(const std::vector<LOGLINE>& lines, const LOGLINE& wanted);
