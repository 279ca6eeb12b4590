// Following the walk while the program shows it: each state's label is printed as the
// simulated pad reaches it, so the person watching knows which picture to look for.
#pragma once

#include <windows.h>

#include <string>

// The walk's last mark; the scenario ends with it.
extern const char WALK_END_MARK[];

enum WALKEND {
    WALK_DONE,           // the walk's last mark is in the log
    WALK_PROGRAM_ENDED,  // the program ended before it
    WALK_UNREADABLE,     // the library could not play walk.txt; *problem says why
    WALK_STOPPED,        // the person stopped the trial (Ctrl+C, the window closed)
    WALK_TOO_LONG,       // none of these within the time limit
};

WALKEND FollowWalk(HANDLE process, const std::wstring& logPath, DWORD limitMs, std::wstring* problem);
