#include "evalkit/walk_follow.h"

#include <vector>

#include "evalkit/console_text.h"
#include "evalkit/log_tail.h"

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

}  // namespace

WALKEND FollowWalk(HANDLE process, const std::wstring& logPath, DWORD limitMs)
{
    LOGTAIL tail;
    OpenLogTail(logPath, &tail);
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    WALKEND end = WALK_TOO_LONG;
    while (end == WALK_TOO_LONG && GetTickCount64() < deadline) {
        // Looked at after the wait, so lines written just before the program ended still count.
        const bool ended = WaitForSingleObject(process, LOOK_EVERY_MS) == WAIT_OBJECT_0;
        if (tail.file == INVALID_HANDLE_VALUE) {
            OpenLogTail(logPath, &tail);
        }
        std::vector<std::string> lines;
        if (tail.file != INVALID_HANDLE_VALUE) {
            ReadNewLines(tail, &lines);
        }
        for (const std::string& line : lines) {
            std::string text;
            if (!MarkText(line, &text)) {
                continue;
            }
            if (text == WALK_END_MARK) {
                end = WALK_DONE;
                break;
            }
            Say(L"  now: " + WideOfUtf8(text));
        }
        if (end != WALK_DONE && ended) {
            end = WALK_PROGRAM_ENDED;
        }
    }
    CloseLogTail(tail);
    return end;
}
