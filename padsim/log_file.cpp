#include "padsim/log_file.h"

std::wstring EnvironmentValue(const wchar_t* name)
{
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    if (length == 0 || length >= ARRAYSIZE(value)) {
        return std::wstring();
    }
    return std::wstring(value, length);
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size,
                            nullptr, nullptr);
    }
    return utf8;
}

std::wstring LogPathFromEnvironment()
{
    return EnvironmentValue(L"QUIBSIM_LOG");
}

HANDLE OpenAppendLog(const std::wstring& path)
{
    if (path.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void AppendToLog(HANDLE file, const char* data, size_t size)
{
    if (file == INVALID_HANDLE_VALUE || size == 0) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
}

void AppendLogRecord(HANDLE file, const SIMLOGRECORD& record)
{
    char line[LOG_LINE_CAPACITY];
    const size_t length = FormatLogRecord(record, GetCurrentProcessId(), line);
    AppendToLog(file, line, length);
}
