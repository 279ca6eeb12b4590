#include "evalkit/log_tail.h"

bool OpenLogTail(const std::wstring& path, LOGTAIL* tail)
{
    tail->partial.clear();
    tail->file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return tail->file != INVALID_HANDLE_VALUE;
}

void ReadNewLines(LOGTAIL& tail, std::vector<std::string>* lines)
{
    char chunk[16384];
    DWORD got = 0;
    while (ReadFile(tail.file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        tail.partial.append(chunk, got);
    }
    size_t start = 0;
    for (size_t end = tail.partial.find('\n'); end != std::string::npos; end = tail.partial.find('\n', start)) {
        const size_t length = end > start && tail.partial[end - 1] == '\r' ? end - start - 1 : end - start;
        lines->push_back(tail.partial.substr(start, length));
        start = end + 1;
    }
    tail.partial.erase(0, start);
}

void CloseLogTail(LOGTAIL& tail)
{
    if (tail.file != INVALID_HANDLE_VALUE) {
        CloseHandle(tail.file);
        tail.file = INVALID_HANDLE_VALUE;
    }
}

std::wstring WideOfUtf8(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    }
    return wide;
}
