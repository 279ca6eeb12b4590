#include "evalkit/walk_follow.h"

#include <vector>

#include "evalkit/console_text.h"
#include "evalkit/trial_stop.h"
#include "padsim/log_tail.h"

const char WALK_END_MARK[] = "walk end";

namespace {

constexpr DWORD LOOK_EVERY_MS = 100;  // the library writes its log every 10 ms

// The library's complaint about the walk (an error event from the scenario): "line N: WHY",
// or "WHY" alone for the file as a whole (line 0).
bool WalkError(const LOGLINE& line, std::string* problem)
{
    if (!LineHas(line, {{"event", "error"}, {"source", "scenario"}})) {
        return false;
    }
    const std::string number = LogItem(line, "line");
    const std::string why = line.count("text") != 0 ? LogItem(line, "text") : std::string("unreadable");
    *problem = number == "0" ? why : "line " + number + ": " + why;
    return true;
}

// Waits up to LOOK_EVERY_MS: WALK_PROGRAM_ENDED, WALK_STOPPED, or WALK_TOO_LONG for neither.
WALKEND WaitForEnd(HANDLE process)
{
    const HANDLE stop = TrialStopEvent();
    const HANDLE waits[2] = {process, stop};
    const DWORD which = WaitForMultipleObjects(stop != nullptr ? 2 : 1, waits, FALSE, LOOK_EVERY_MS);
    return which == WAIT_OBJECT_0 ? WALK_PROGRAM_ENDED : which == WAIT_OBJECT_0 + 1 ? WALK_STOPPED : WALK_TOO_LONG;
}

}  // namespace

WALKEND FollowWalk(HANDLE process, const std::wstring& logPath, DWORD limitMs, std::wstring* problem)
{
    LOGTAIL tail;
    OpenLogTail(logPath, &tail);
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    WALKEND end = WALK_TOO_LONG;
    while (end == WALK_TOO_LONG && GetTickCount64() < deadline) {
        // Looked at after the wait, so lines written just before the program ended still count.
        const WALKEND waited = WaitForEnd(process);
        if (tail.file == INVALID_HANDLE_VALUE) {
            OpenLogTail(logPath, &tail);
        }
        std::vector<LOGLINE> lines;
        if (tail.file != INVALID_HANDLE_VALUE) {
            ReadNewLines(tail, &lines);
        }
        for (const LOGLINE& line : lines) {
            std::string text;
            if (WalkError(line, &text)) {
                *problem = WideOfUtf8(text);
                end = WALK_UNREADABLE;
                break;
            }
            if (LogItem(line, "event") != "mark") {
                continue;
            }
            text = LogItem(line, "text");
            if (text == WALK_END_MARK) {
                end = WALK_DONE;
                break;
            }
            Say(L"  now: " + WideOfUtf8(text));
        }
        if (end == WALK_TOO_LONG) {
            end = waited;
        }
    }
    CloseLogTail(tail);
    return end;
}
