// The log file that the simulated library and the stand-in configurator share. Each
// process opens it for appending only, so that whole lines from several processes
// interleave but never overwrite one another.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "padsim/log_record.h"

// The path named by QUIBSIM_LOG, or empty when it is not set.
std::wstring LogPathFromEnvironment();

// Opens (creating if need be) the file for appending; INVALID_HANDLE_VALUE on failure.
HANDLE OpenAppendLog(const std::wstring& path);

// Appends bytes in one write, so a batch of whole lines lands together.
void AppendToLog(HANDLE file, const char* data, size_t size);

// Appends one record formatted as a line.
void AppendLogRecord(HANDLE file, const SIMLOGRECORD& record);

// UTF-8 for the log and the pipe, whose text is bytes.
std::string Utf8(const std::wstring& text);

// The value of an environment variable, or empty when it is not set or too long.
std::wstring EnvironmentValue(const wchar_t* name);
