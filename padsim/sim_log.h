// The simulated library's call log. Callers store fixed-size binary records in a lock-free
// ring and return at once; a writer thread turns them into lines and appends them to the
// file every LOG_FLUSH_INTERVAL_MS, so a 10 ms poll that calls into the library is not held
// up by file writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "padsim/log_record.h"

constexpr unsigned LOG_FLUSH_INTERVAL_MS = 10;
constexpr size_t LOG_RING_SLOTS = 16384;  // a power of two

// At load, under the loader lock: the time base and the empty ring. Starts nothing.
void InitLog();

// Opens the log file and starts the writer thread. Without a path nothing is recorded.
void StartLog(const std::wstring& path);

void LogCall(SimEntry entry, int64_t first, int64_t second, int64_t result);
void LogDelivery(int64_t number, const uint8_t* bytes, size_t size);
void LogEvent(SimEvent event, int64_t first, int64_t second, int64_t third,
              std::string_view text = std::string_view());

// Every record stored before the call is in the file when it returns.
void FlushLog();

// At process exit, from the loader: every other thread is gone, possibly in the middle of a
// record, so nothing is locked and a half-written record is skipped.
void FlushLogAtExit();
