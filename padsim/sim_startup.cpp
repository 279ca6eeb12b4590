#include "padsim/sim_startup.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "padsim/log_file.h"
#include "padsim/pipe_name.h"
#include "padsim/sim_log.h"
#include "padsim/sim_pipe.h"
#include "padsim/sim_player.h"
#include "padsim/sim_script.h"

namespace {

INIT_ONCE StartOnce = INIT_ONCE_STATIC_INIT;
INIT_ONCE ScenarioOnce = INIT_ONCE_STATIC_INIT;
std::atomic<bool> Started{false};
DWORD DetachDelayMs = 0;
constexpr DWORD SIM_MAX_DETACH_DELAY_MS = 5000;

// How long the process's detach lingers, as a slow maker's library may: digits only, at
// most SIM_MAX_DETACH_DELAY_MS; anything else means no delay.
DWORD DetachDelayFromEnvironment()
{
    const std::wstring text = EnvironmentValue(L"QUIBSIM_DETACH_DELAY_MS");
    DWORD delay = 0;
    for (wchar_t digit : text) {
        if (digit < L'0' || digit > L'9' || text.size() > 5) {
            return 0;
        }
        delay = delay * 10 + static_cast<DWORD>(digit - L'0');
    }
    return delay < SIM_MAX_DETACH_DELAY_MS ? delay : SIM_MAX_DETACH_DELAY_MS;
}

// The threads run this module's code until the process ends, so it must never be unloaded
// under them, whatever FreeLibrary calls the host makes.
void PinModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&PinModule), &module);
}

std::string SettingText(const std::wstring& value)
{
    return value.empty() ? std::string("(none)") : Utf8(value);
}

BOOL CALLBACK StartOnceCallback(PINIT_ONCE, PVOID, PVOID*)
{
    PinModule();
    const std::wstring logPath = LogPathFromEnvironment();
    const std::wstring pipeName = PipeNameFromEnvironment();
    StartLog(logPath);
    LogEvent(EVENT_START, 0, 0, 0, "QuibTPApi.dll stand-in");
    LogEvent(EVENT_SETTING, SETTING_LOG, 0, 0, SettingText(logPath));
    LogEvent(EVENT_SETTING, SETTING_SCENARIO, 0, 0,
             SettingText(EnvironmentValue(L"QUIBSIM_SCENARIO")));
    LogEvent(EVENT_SETTING, SETTING_PIPE, 0, 0, SettingText(pipeName));
    StartPlayer();
    StartPipeServer(pipeName);
    Started.store(true, std::memory_order_release);
    return TRUE;
}

// At most one byte more than a script may hold, so the parser can tell it is too long.
bool ReadScenarioFile(const std::wstring& path, std::string* text)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    text->resize(SIM_MAX_SCRIPT_SIZE + 1);
    size_t total = 0;
    DWORD got = 0;
    while (
        total < text->size() &&
        ReadFile(file, &(*text)[total], static_cast<DWORD>(text->size() - total), &got, nullptr) &&
        got > 0) {
        total += got;
    }
    text->resize(total);
    CloseHandle(file);
    return true;
}

BOOL CALLBACK ScenarioOnceCallback(PINIT_ONCE, PVOID, PVOID*)
{
    const std::wstring path = EnvironmentValue(L"QUIBSIM_SCENARIO");
    if (path.empty()) {
        return TRUE;
    }
    std::string text;
    if (!ReadScenarioFile(path, &text)) {
        const DWORD error = GetLastError();
        LogEvent(EVENT_ERROR, SOURCE_SCENARIO, 0, 0,
                 "cannot read " + Utf8(path) + " (error " + std::to_string(error) +
                     "); the pad stays quiet");
        return TRUE;
    }
    SubmitScript(text, SOURCE_SCENARIO, EVENT_SCENARIO, Utf8(path));
    return TRUE;
}

}  // namespace

void EnsureStarted()
{
    if (Started.load(std::memory_order_acquire)) {
        return;
    }
    InitOnceExecuteOnce(&StartOnce, StartOnceCallback, nullptr, nullptr);
}

void LoadScenarioOnce()
{
    InitOnceExecuteOnce(&ScenarioOnce, ScenarioOnceCallback, nullptr, nullptr);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        InitLog();
        DetachDelayMs = DetachDelayFromEnvironment();
    } else if (reason == DLL_PROCESS_DETACH) {
        LogEvent(EVENT_UNLOAD, 0, 0, 0);
        // At process exit the other threads are gone and nothing may be waited for; after a
        // FreeLibrary (possible only before the first call pinned the module) none ran.
        if (reserved != nullptr) {
            FlushLogAtExit();
            // The gap between the window's end and the process's, which a restart must survive.
            Sleep(DetachDelayMs);
        } else {
            FlushLog();
        }
    }
    return TRUE;
}
