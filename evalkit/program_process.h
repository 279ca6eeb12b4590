// The program as the launcher runs it: found by its window, started with the simulated
// library's settings, and ended with its own exit command.
#pragma once

#include <windows.h>

#include <string>

#include "evalkit/program_window.h"

enum COPYOWNER {
    COPY_THIS_KIT,   // this kit's QuibTPCenter.exe: it can only run the simulated library
    COPY_OTHER_KIT,  // the QuibTPCenter.exe of a kit unpacked elsewhere (a launcher beside it)
    COPY_INSTALLED,  // any other file: the maker's copy
    COPY_UNKNOWN,    // its process cannot be inspected from here (*error says why)
};

// Whose copy owns the window; *image gets its file, when it can be told.
COPYOWNER CopyOwner(HWND window, const std::wstring& folder, std::wstring* image, DWORD* error);

// Starts the kit's program from the kit's folder, with the simulated library playing the
// walk and writing its call log to logPath, inside a job that ends it with the launcher.
// False with the system's error code in *error, ERROR_CANCELLED when the trial was stopped
// meanwhile. Without a job the program runs all the same, and *jobError says why.
bool StartProgram(const std::wstring& folder, const std::wstring& logPath, PROCESS_INFORMATION* started, DWORD* error,
                  DWORD* jobError);

// After a failure or a stop: ends the program by its exit command within limitMs, or failing
// that by force, so the trial leaves nothing running. False when it took force.
bool EndProgram(const PROCESS_INFORMATION& program, DWORD limitMs);

enum OTHERSTOP {
    OTHER_ENDED,    // its window has gone
    OTHER_REFUSED,  // the exit command could not be delivered (*error says why)
    OTHER_STAYED,   // delivered, but the window is still there after limitMs
};

// Posts the exit command to a copy that already runs on this desktop and waits up to
// limitMs for its window to go, or until the trial is stopped.
OTHERSTOP StopOtherCopy(HWND window, DWORD limitMs, DWORD* error);
