// A stranger's WTSAPI32.dll, harmless, for the kit group: WTSAPI32.dll is not one of Windows'
// known DLLs, so a file of that name beside a program that imports it runs inside the program.
// This one only says that it was loaded: once loaded it writes WTSAPI32-loaded.txt beside
// itself, naming the program that loaded it, and it answers the session registration the
// program calls as Windows' own does.
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
    const wchar_t announce[] = L"WTSAPI32-loaded.txt";
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    wchar_t* name = wcsrchr(path, L'\\');
    if (reason != DLL_PROCESS_ATTACH || length == 0 || length >= MAX_PATH || name == nullptr ||
        (name - path) + ARRAYSIZE(announce) >= MAX_PATH) {
        return TRUE;
    }
    lstrcpyW(name + 1, announce);
    wchar_t program[MAX_PATH] = {};
    char text[4 * MAX_PATH] = {};
    const DWORD programLength = GetModuleFileNameW(nullptr, program, MAX_PATH);
    const int size = WideCharToMultiByte(CP_UTF8, 0, program, static_cast<int>(programLength), text, sizeof text,
                                         nullptr, nullptr);
    const HANDLE file =
        CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text, size > 0 ? static_cast<DWORD>(size) : 0, &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
