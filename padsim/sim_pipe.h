// The library's end of the control pipe: one client at a time sends one script and gets
// one reply. A client that stalls is cut off after a few seconds, so it cannot block the
// pipe for the next one.
#pragma once

#include <string>

// Starts the pipe's thread. When the pipe cannot be created (another process that loaded
// the library holds the name) an error is logged and the library runs without a pipe.
void StartPipeServer(const std::wstring& pipeName);
