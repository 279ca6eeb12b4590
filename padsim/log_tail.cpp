#include "padsim/log_tail.h"

bool OpenLogTail(const std::wstring& path, LOGTAIL* tail)
{
    tail->reader = LOGREADER();
    tail->file = CreateFileW(path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return tail->file != INVALID_HANDLE_VALUE;
}

void ReadNewLines(LOGTAIL& tail, std::vector<LOGLINE>* lines)
{
    char chunk[16384];
    DWORD got = 0;
    while (ReadFile(tail.file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        TakeLogText(tail.reader, chunk, got, lines);
    }
}

void CloseLogTail(LOGTAIL& tail)
{
    if (tail.file != INVALID_HANDLE_VALUE) {
        CloseHandle(tail.file);
        tail.file = INVALID_HANDLE_VALUE;
    }
}

std::vector<LOGLINE> ReadLogFile(const std::wstring& path, std::vector<std::string>* unreadable)
{
    std::vector<LOGLINE> lines;
    LOGTAIL tail;
    if (OpenLogTail(path, &tail)) {
        ReadNewLines(tail, &lines);
        CloseLogTail(tail);
    }
    if (unreadable != nullptr) {
        *unreadable = tail.reader.unreadable;
    }
    return lines;
}
