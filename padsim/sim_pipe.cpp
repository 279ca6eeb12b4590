#include "padsim/sim_pipe.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "padsim/log_file.h"
#include "padsim/pipe_name.h"
#include "padsim/sim_log.h"
#include "padsim/sim_script.h"

namespace {

constexpr DWORD CLIENT_TIMEOUT_MS = 5000;
constexpr DWORD RETRY_MS = 100;

std::wstring PipeName;
char Message[SIM_PIPE_MAX_MESSAGE];

// Completes an overlapped operation just started, cancelling it after timeoutMs. Returns
// ERROR_SUCCESS or the error it ended with.
DWORD AwaitIo(HANDLE pipe, OVERLAPPED* overlapped, BOOL started, DWORD timeoutMs, DWORD* bytes)
{
    *bytes = 0;
    if (!started) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) {
            return error;
        }
    }
    if (WaitForSingleObject(overlapped->hEvent, timeoutMs) != WAIT_OBJECT_0) {
        CancelIo(pipe);
    }
    if (GetOverlappedResult(pipe, overlapped, bytes, TRUE)) {
        return ERROR_SUCCESS;
    }
    return GetLastError();
}

bool AwaitClient(HANDLE pipe, OVERLAPPED* overlapped)
{
    if (ConnectNamedPipe(pipe, overlapped)) {
        return true;
    }
    if (GetLastError() == ERROR_PIPE_CONNECTED) {
        return true;
    }
    DWORD bytes = 0;
    return AwaitIo(pipe, overlapped, FALSE, INFINITE, &bytes) == ERROR_SUCCESS;
}

// Reads one message. A message longer than the buffer is read to its end and refused.
DWORD ReadMessage(HANDLE pipe, OVERLAPPED* overlapped, DWORD* size)
{
    DWORD error = AwaitIo(pipe, overlapped,
                          ReadFile(pipe, Message, sizeof Message, nullptr, overlapped),
                          CLIENT_TIMEOUT_MS, size);
    if (error != ERROR_MORE_DATA) {
        return error;
    }
    DWORD discarded = 0;
    while (error == ERROR_MORE_DATA) {
        error = AwaitIo(pipe, overlapped,
                        ReadFile(pipe, Message, sizeof Message, nullptr, overlapped),
                        CLIENT_TIMEOUT_MS, &discarded);
    }
    return ERROR_MORE_DATA;
}

void Reply(HANDLE pipe, OVERLAPPED* overlapped, const std::string& reply)
{
    DWORD bytes = 0;
    AwaitIo(pipe, overlapped,
            WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, overlapped),
            CLIENT_TIMEOUT_MS, &bytes);
    // Disconnecting discards a reply not yet read, so wait for the client to hang up.
    char ignored[16];
    AwaitIo(pipe, overlapped, ReadFile(pipe, ignored, sizeof ignored, nullptr, overlapped),
            CLIENT_TIMEOUT_MS, &bytes);
}

std::string_view FirstLine(std::string_view text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

void ServeOneClient(HANDLE pipe, OVERLAPPED* overlapped)
{
    if (!AwaitClient(pipe, overlapped)) {
        // A client that came and went before the connect leaves the pipe to be reset.
        DisconnectNamedPipe(pipe);
        Sleep(RETRY_MS);
        return;
    }
    DWORD size = 0;
    const DWORD error = ReadMessage(pipe, overlapped, &size);
    if (error == ERROR_MORE_DATA) {
        const std::string message = "message longer than " + std::to_string(SIM_PIPE_MAX_MESSAGE) +
                                    " bytes; ignored";
        LogEvent(EVENT_ERROR, SOURCE_PIPE, 0, 0, message);
        Reply(pipe, overlapped, "ERR\nline 0: " + message + "\n");
    } else if (error == ERROR_SUCCESS) {
        const std::string_view text(Message, size);
        const SIMSUBMISSION submission = SubmitScript(text, SOURCE_PIPE, EVENT_PIPE,
                                                      FirstLine(text));
        Reply(pipe, overlapped, SubmissionReply(submission));
    }
    DisconnectNamedPipe(pipe);
}

DWORD WINAPI PipeThread(void*)
{
    const HANDLE pipe = CreateNamedPipeW(
        PipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
        SIM_PIPE_MAX_MESSAGE, SIM_PIPE_MAX_MESSAGE, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        LogEvent(EVENT_ERROR, SOURCE_PIPE, 0, 0,
                 "cannot create " + Utf8(PipeName) + " (error " + std::to_string(GetLastError()) +
                     "); running without a pipe");
        return 0;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        LogEvent(EVENT_ERROR, SOURCE_PIPE, 0, 0,
                 "cannot create the pipe's event (error " + std::to_string(GetLastError()) +
                     "); running without a pipe");
        CloseHandle(pipe);
        return 0;
    }
    for (;;) {
        ServeOneClient(pipe, &overlapped);
    }
}

}  // namespace

void StartPipeServer(const std::wstring& pipeName)
{
    PipeName = pipeName;
    const HANDLE thread = CreateThread(nullptr, 0, PipeThread, nullptr, 0, nullptr);
    if (thread != nullptr) {
        CloseHandle(thread);
    }
}
