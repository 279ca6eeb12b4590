// padctl: drives the simulated touchpad library of a running program over its control pipe.
//
//   padctl [--pipe NAME] [--wait MS] [COMMAND WORDS...]
//
// The words after the options form the script, ';' separating commands
// (padctl status 0 2 4 ; wait 50 ; status 0 0 0). Without words, or with a lone '-', the
// script is read from standard input. The pipe is QUIBSIM_PIPE, else QuibPadSim; padctl
// waits up to --wait milliseconds (default 3000) for it to appear.
//
// Exit codes: 0 every command taken; 1 the library refused some lines (the others were
// taken); 2 the pipe could not be reached or the exchange failed; 3 bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "padsim/log_file.h"
#include "padsim/pipe_name.h"

namespace {

enum : int { EXIT_TAKEN = 0, EXIT_REFUSED = 1, EXIT_NO_PIPE = 2, EXIT_USAGE = 3 };

constexpr DWORD DEFAULT_WAIT_MS = 3000;
constexpr DWORD RETRY_MS = 50;

struct PADCTLOPTIONS {
    std::wstring pipeName;
    DWORD waitMs;
    int firstWord;  // index of the first script word in argv
};

int Usage()
{
    (void)fwprintf(stderr, L"usage: padctl [--pipe NAME] [--wait MS] [COMMAND WORDS...]\n"
                           L"  words form the script, ';' separates commands; without words the\n"
                           L"  script is read from standard input\n");
    return EXIT_USAGE;
}

bool ParseWaitMs(const wchar_t* text, DWORD* value)
{
    wchar_t* end = nullptr;
    const unsigned long parsed = wcstoul(text, &end, 10);
    if (end == text || *end != L'\0' || parsed > 600000) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, PADCTLOPTIONS* options)
{
    options->pipeName = PipeNameFromEnvironment();
    options->waitMs = DEFAULT_WAIT_MS;
    int i = 1;
    for (; i < argc && wcsncmp(argv[i], L"--", 2) == 0; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) {
            return false;
        }
        if (option == L"--pipe") {
            options->pipeName = FullPipeName(argv[++i]);
        } else if (option != L"--wait" || !ParseWaitMs(argv[++i], &options->waitMs)) {
            return false;
        }
    }
    options->firstWord = i;
    return true;
}

std::string ScriptFromWords(int count, wchar_t** words)
{
    std::wstring joined;
    for (int i = 0; i < count; ++i) {
        joined += (i > 0 ? L" " : L"");
        joined += words[i];
    }
    std::string script = Utf8(joined);
    for (char& c : script) {
        c = c == ';' ? '\n' : c;
    }
    return script;
}

// Reads at most one byte more than a message may hold, so an overlong script is caught.
std::string ScriptFromStandardInput()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string script;
    char chunk[4096];
    DWORD got = 0;
    while (script.size() <= SIM_PIPE_MAX_MESSAGE &&
           ReadFile(input, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        script.append(chunk, got);
    }
    return script;
}

HANDLE OpenPipe(const std::wstring& name, DWORD waitMs)
{
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (;;) {
        const HANDLE pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            return pipe;
        }
        const DWORD error = GetLastError();
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
        if (error == ERROR_PIPE_BUSY) {
            WaitNamedPipeW(name.c_str(), static_cast<DWORD>(deadline - now));
        } else {
            Sleep(RETRY_MS);
        }
    }
}

// One message out, one back.
bool Exchange(HANDLE pipe, const std::string& script, std::string* reply)
{
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
    DWORD written = 0;
    if (!WriteFile(pipe, script.data(), static_cast<DWORD>(script.size()), &written, nullptr)) {
        return false;
    }
    static char buffer[SIM_PIPE_MAX_MESSAGE];
    for (;;) {
        DWORD got = 0;
        const BOOL done = ReadFile(pipe, buffer, sizeof buffer, &got, nullptr);
        reply->append(buffer, got);
        if (done) {
            return true;
        }
        if (GetLastError() != ERROR_MORE_DATA || reply->size() > SIM_PIPE_MAX_MESSAGE) {
            return false;
        }
    }
}

void PrintRefusals(const std::string& reply)
{
    const std::string details = reply.substr(reply.find('\n') + 1);
    const int size = MultiByteToWideChar(CP_UTF8, 0, details.data(),
                                         static_cast<int>(details.size()), nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, details.data(), static_cast<int>(details.size()), &wide[0],
                            size);
    }
    (void)fwprintf(stderr, L"padctl: refused:\n%ls", wide.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    PADCTLOPTIONS options;
    if (!ParseOptions(argc, argv, &options)) {
        return Usage();
    }
    const int words = argc - options.firstWord;
    const bool fromInput = words == 0 || (words == 1 && wcscmp(argv[options.firstWord], L"-") == 0);
    std::string script = fromInput ? ScriptFromStandardInput()
                                   : ScriptFromWords(words, argv + options.firstWord);
    if (script.size() > SIM_PIPE_MAX_MESSAGE) {
        (void)fwprintf(stderr, L"padctl: script longer than %u bytes\n",
                       static_cast<unsigned>(SIM_PIPE_MAX_MESSAGE));
        return EXIT_USAGE;
    }
    if (script.empty()) {
        script = "\n";  // an empty message still gets its answer
    }

    const HANDLE pipe = OpenPipe(options.pipeName, options.waitMs);
    if (pipe == INVALID_HANDLE_VALUE) {
        (void)fwprintf(stderr, L"padctl: cannot reach %ls (error %lu)\n", options.pipeName.c_str(),
                       GetLastError());
        return EXIT_NO_PIPE;
    }
    std::string reply;
    const bool exchanged = Exchange(pipe, script, &reply);
    CloseHandle(pipe);
    if (exchanged && reply.compare(0, 3, "OK\n") == 0) {
        return EXIT_TAKEN;
    }
    if (exchanged && reply.compare(0, 4, "ERR\n") == 0) {
        PrintRefusals(reply);
        return EXIT_REFUSED;
    }
    (void)fwprintf(stderr, L"padctl: no answer from %ls\n", options.pipeName.c_str());
    return EXIT_NO_PIPE;
}
