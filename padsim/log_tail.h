// The call log read from its file while the library is still appending to it: the reader of
// log_line.h fed from the file, shared by the evaluation kit's launcher and the tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "padsim/log_line.h"

struct LOGTAIL {
    HANDLE file = INVALID_HANDLE_VALUE;
    LOGREADER reader;
};

// Opens the log for reading beside the library's writes; false when it cannot be opened.
bool OpenLogTail(const std::wstring& path, LOGTAIL* tail);

// Appends the lines completed since the last call; an unfinished end waits for the next.
void ReadNewLines(LOGTAIL& tail, std::vector<LOGLINE>* lines);

void CloseLogTail(LOGTAIL& tail);

// The whole log as it stands, its lines that do not parse in *unreadable when given; none
// for a log that cannot be opened.
std::vector<LOGLINE> ReadLogFile(const std::wstring& path,
                                 std::vector<std::string>* unreadable = nullptr);
