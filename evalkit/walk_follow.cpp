#include "evalkit/walk_follow.h"

#include <vector>

#include "evalkit/console_text.h"
#include "evalkit/log_tail.h"
#include "evalkit/trial_stop.h"

const char WALK_END_MARK[] = "walk end";

namespace {

constexpr DWORD LOOK_EVERY_MS = 100;  // the library writes its log every 10 ms

// The text of a mark line ("... event=mark text=TEXT"), or false for any other line.
bool MarkText(const std::string& line, std::string* text)
{
    static const char key[] = " event=mark text=";
    const size_t at = line.find(key);
    if (at == std::string::npos) {
        return false;
    }
    *text = line.substr(at + sizeof key - 1);
    return true;
}

// The library's complaint about the walk ("... event=error source=scenario line=N text=WHY"):
// "line N: WHY", or "WHY" alone for the file as a whole (line 0).
bool WalkError(const std::string& line, std::string* problem)
{
    static const char key[] = " event=error source=scenario line=";
    const size_t at = line.find(key);
    if (at == std::string::npos) {
        return false;
    }
    const size_t number = at + sizeof key - 1;
    const size_t text = line.find(" text=", number);
    const std::string lineNumber = line.substr(number, text == std::string::npos ? std::string::npos : text - number);
    const std::string why = text == std::string::npos ? std::string("unreadable") : line.substr(text + 6);
    *problem = lineNumber == "0" ? why : "line " + lineNumber + ": " + why;
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
        std::vector<std::string> lines;
        if (tail.file != INVALID_HANDLE_VALUE) {
            ReadNewLines(tail, &lines);
        }
        for (const std::string& line : lines) {
            std::string text;
            if (WalkError(line, &text)) {
                *problem = WideOfUtf8(text);
                end = WALK_UNREADABLE;
                break;
            }
            if (!MarkText(line, &text)) {
                continue;
            }
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
