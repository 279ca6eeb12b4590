// The simulated library's call log, read while the library is still appending to it: only
// whole lines are handed on, the unfinished end waits for the next read.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct LOGTAIL {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string partial;  // the bytes after the last line end read so far
};

// Opens the log for reading beside the library's writes; false when it cannot be opened.
bool OpenLogTail(const std::wstring& path, LOGTAIL* tail);

// Appends the lines completed since the last call, without their line ends.
void ReadNewLines(LOGTAIL& tail, std::vector<std::string>* lines);

void CloseLogTail(LOGTAIL& tail);

// Text of the log, UTF-8 bytes, as UTF-16 for the console.
std::wstring WideOfUtf8(const std::string& text);
