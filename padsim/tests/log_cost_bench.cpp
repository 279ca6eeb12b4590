// Measures what the call log costs a caller, and what a report flood costs the delivery
// thread. Prints the figures; fails only when a record went missing without the log saying
// so, or a report went undelivered, never on time: a writer held up by a slow disk may lose
// records to the full ring, and then must count them in its dropped lines.
//
//   padsim_log_cost            calls with the log on, then a 50,000 reports/s flood
//   padsim_log_cost --quiet    the same calls with the log off (run as a child for the
//                              comparison, since the log is chosen once per process)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "link/touchpad_api.h"
#include "padsim/tests/sim_test_support.h"

namespace {

constexpr int BATCHES = 100;
constexpr int BATCH_CALLS = 4096;  // a quarter of the ring: a writer on time keeps up
constexpr int SINGLE_CALLS = 10000;
constexpr int FLOOD_RATE = 50000;
constexpr int FLOOD_COUNT = 50000;

std::atomic<int> FloodReports{0};

double TicksToMicros(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Mean cost per call in batches, with a pause after each for the writer to drain.
double MeanCallMicros()
{
    LONGLONG total = 0;
    for (int batch = 0; batch < BATCHES; ++batch) {
        const LONGLONG start = Now();
        for (int i = 0; i < BATCH_CALLS; ++i) {
            TpIsDisabled();
        }
        total += Now() - start;
        Sleep(20);
    }
    return TicksToMicros(total) / (BATCHES * BATCH_CALLS);
}

// Calls timed one by one, two clock reads included: the spread a 10 ms poll sees. The
// clock's tick is printed too, since a call may take less than one.
void PrintSingleCalls(const char* label)
{
    std::vector<LONGLONG> ticks;
    for (int i = 0; i < SINGLE_CALLS; ++i) {
        const LONGLONG start = Now();
        TpGetTrayMode();
        ticks.push_back(Now() - start);
        if (i % BATCH_CALLS == 0) {
            Sleep(20);
        }
    }
    std::sort(ticks.begin(), ticks.end());
    printf("%s, timed singly (clock tick %.3f us): median %.3f us, 99th percentile %.3f us, "
           "max %.1f us\n",
           label, TicksToMicros(1), TicksToMicros(ticks[ticks.size() / 2]),
           TicksToMicros(ticks[ticks.size() * 99 / 100]), TicksToMicros(ticks.back()));
}

size_t CountOf(const std::vector<LOGLINE>& log, const LOGLINE& wanted)
{
    size_t count = 0;
    for (const LOGLINE& line : log) {
        count += LineHas(line, wanted);
    }
    return count;
}

// The records the log reports lost, summed over its dropped lines.
size_t DroppedRecords(const std::vector<LOGLINE>& log)
{
    size_t dropped = 0;
    for (const LOGLINE& line : log) {
        dropped += LineHas(line, {{"event", "dropped"}})
                       ? static_cast<size_t>(LogNumber(line, "count", 0))
                       : 0;
    }
    return dropped;
}

// The log's complete lines; a line that does not parse is said, and counts as lost.
std::vector<LOGLINE> ReadLog(const std::wstring& path, size_t* unreadableCount)
{
    std::vector<std::string> unreadable;
    std::vector<LOGLINE> log = ReadLogFile(path, &unreadable);
    for (const std::string& line : unreadable) {
        printf("the log has a line that does not parse, %s\n", line.c_str());
    }
    *unreadableCount += unreadable.size();
    return log;
}

// Reads the log as it grows, hundreds of thousands of lines, until the mark is in it.
void WaitForMark(const std::wstring& path, const char* mark, DWORD timeoutMs)
{
    LOGTAIL tail;
    WaitUntil(
        [&] {
            if (tail.file == INVALID_HANDLE_VALUE) {
                OpenLogTail(path, &tail);
            }
            std::vector<LOGLINE> lines;
            ReadNewLines(tail, &lines);
            return !LinesWith(lines, {{"event", "mark"}, {"text", mark}}).empty();
        },
        timeoutMs);
    CloseLogTail(tail);
}

// Appenders write at the end whatever its length, so the file can be emptied under them.
void EmptyLog(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetEndOfFile(file);
    CloseHandle(file);
}

int32_t FloodCallback(const TouchReport* report)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(report);
    if (bytes != nullptr && bytes[0] == 0x02) {
        TpForwardRawReport(bytes + 4);
    }
    FloodReports.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int QuietRun()
{
    TpIsDisabled();
    printf("log off: %.3f us per call (mean of %d)\n", MeanCallMicros(), BATCHES * BATCH_CALLS);
    PrintSingleCalls("log off");
    return 0;
}

// A raw report flood through the callback, which hands each payload back as the program
// does: two log lines a report.
bool Flood(const std::wstring& logPath, const std::wstring& pipeName)
{
    TpConnect(GetModuleHandleW(nullptr), FloodCallback);
    char script[128];
    const int size = wsprintfA(script, "rate %d %d\nraw 16\nend\nmark flood done\n", FLOOD_RATE,
                               FLOOD_COUNT);
    char reply[64];
    DWORD replySize = 0;
    CallNamedPipeW(pipeName.c_str(), script, static_cast<DWORD>(size), reply, sizeof reply,
                   &replySize, 5000);
    WaitForMark(logPath, "flood done", 60000);
    TpDisconnect();
    size_t unreadable = 0;
    const std::vector<LOGLINE> log = ReadLog(logPath, &unreadable);
    const std::vector<LOGLINE> rateLines = LinesWith(log, {{"event", "rate"}});
    const double elapsed = rateLines.empty()
                               ? 0
                               : static_cast<double>(LogNumber(rateLines.front(), "elapsed_us", 0));
    const size_t deliveries = CountOf(log, {{"event", "deliver"}});
    const size_t handedBack = CountOf(log, {{"call", "TpForwardRawReport"}, {"payload", "+4"}});
    const size_t dropped = DroppedRecords(log);
    printf("flood log: %zu deliveries, %zu payloads handed back, %zu records reported lost\n",
           deliveries, handedBack, dropped);
    printf("flood: %d raw reports asked at %d/s, %d delivered in %.0f ms (%.0f/s)\n", FLOOD_COUNT,
           FLOOD_RATE, FloodReports.load(), elapsed / 1000,
           elapsed > 0 ? FloodReports.load() * 1e6 / elapsed : 0.0);
    // A lost record may also be one of the few others (the rate, the mark), hence at least.
    return unreadable == 0 && FloodReports.load() == FLOOD_COUNT && deliveries <= FLOOD_COUNT &&
           handedBack <= FLOOD_COUNT &&
           deliveries + handedBack + dropped >= size_t{2} * FLOOD_COUNT;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && std::wstring(argv[1]) == L"--quiet") {
        return QuietRun();
    }
    const std::wstring pipeName = L"\\\\.\\pipe\\" + UniqueName(L"QuibPadSimBench");
    SetEnvironmentVariableW(L"QUIBSIM_LOG", nullptr);
    SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"QUIBSIM_PIPE", (pipeName + L"-quiet").c_str());
    (void)fflush(stdout);
    RunProgram(BesideTestProgram(L"padsim_log_cost.exe"), L"--quiet");

    const std::wstring logPath = TempFilePath(L"padsim-bench.log");
    SetEnvironmentVariableW(L"QUIBSIM_LOG", logPath.c_str());
    SetEnvironmentVariableW(L"QUIBSIM_PIPE", pipeName.c_str());
    TpIsDisabled();
    printf("log on:  %.3f us per call (mean of %d)\n", MeanCallMicros(), BATCHES * BATCH_CALLS);
    PrintSingleCalls("log on");
    TpDisconnect();
    size_t unreadable = 0;
    const std::vector<LOGLINE> log = ReadLog(logPath, &unreadable);
    const size_t logged = CountOf(log, {{"call", "TpIsDisabled"}}) +
                          CountOf(log, {{"call", "TpGetTrayMode"}});
    const size_t expected = 1 + BATCHES * BATCH_CALLS + SINGLE_CALLS;
    const size_t dropped = DroppedRecords(log);
    printf("lines written: %zu of %zu calls, %zu records reported lost\n", logged, expected,
           dropped);
    EmptyLog(logPath);

    const bool flooded = Flood(logPath, pipeName);
    // The last call's own record may be among the lost, hence at least.
    const bool complete = unreadable == 0 && logged <= expected && logged + dropped >= expected;
    DeleteFileW(logPath.c_str());  // tens of megabytes
    printf("%s\n",
           complete && flooded ? "PASS" : "FAIL: records lost unreported, or reports undelivered");
    return complete && flooded ? 0 : 1;
}
