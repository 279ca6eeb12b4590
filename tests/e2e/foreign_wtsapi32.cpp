// A stranger's WTSAPI32.dll, harmless, for the kit group: WTSAPI32.dll is not one of Windows'
// known DLLs, so a file of that name beside a program that imports it runs inside the program.
// This one only answers the program's session registration and, once loaded, writes
// WTSAPI32.dll.loaded beside itself.
#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI WTSRegisterSessionNotification(HWND, DWORD)
{
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI WTSUnRegisterSessionNotification(HWND)
{
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    wchar_t path[MAX_PATH + 8] = {};
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (reason == DLL_PROCESS_ATTACH && length > 0 && length < MAX_PATH) {
        lstrcatW(path, L".loaded");
        CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return TRUE;
}
