#include "app/configurator.h"

#include <shellapi.h>

#include "app/install_dir.h"
#include "app/main_window.h"

wchar_t ConfiguratorPath[CONFIGURATOR_PATH_CHARS];

namespace {

const wchar_t INSTALL_KEY[] = L"SOFTWARE\\QUIB\\QUIB Touch Pad";
const wchar_t INSTALL_VALUE[] = L"InstalledDir";
const wchar_t PATH_FORMAT[] = L"%sDuVOViraro\\x64\\QuibTPConfigure64.exe";
const wchar_t DIALOG_CLASS[] = L"#32770";
const wchar_t DIALOG_TITLE[] = L"QUIB Touch Pad";

}  // namespace

void ResolveConfiguratorPath()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, INSTALL_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    // One unit more than the query may fill, for the zero that ends the text in any case.
    wchar_t installDir[INSTALL_DIR_UNITS + 1];
    DWORD type = 0;
    DWORD size = INSTALL_DIR_BYTES;
    // Any type is taken as text; a value longer than the buffer fails and leaves the path empty.
    if (RegQueryValueExW(key, INSTALL_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(installDir), &size) ==
        ERROR_SUCCESS) {
        // Only the bytes the query returned are text, up to their first zero.
        TerminateInstallDir(installDir, size);
        wsprintfW(ConfiguratorPath, PATH_FORMAT, installDir);
    }
    OutputDebugStringW(ConfiguratorPath);
    RegCloseKey(key);
}

void OpenConfigurator()
{
    HWND dialog = FindWindowW(DIALOG_CLASS, DIALOG_TITLE);
    if (dialog != nullptr) {
        BringWindowToFront(dialog);
        return;
    }
    ShellExecuteW(MainWindow, L"open", ConfiguratorPath, L"", L"", SW_SHOW);
}

// Borrows the foreground thread's input state for the moment of the switch, which lets a
// background program hand the foreground to another program's window.
void BringWindowToFront(HWND target)
{
    HWND foreground = GetForegroundWindow();
    DWORD thisThread = GetCurrentThreadId();
    DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
    AttachThreadInput(thisThread, foregroundThread, TRUE);
    ShowWindow(target, SW_RESTORE);
    // Topmost and back lifts the window to the top without leaving it topmost.
    SetWindowPos(target, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowPos(target, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetForegroundWindow(target);
    AttachThreadInput(thisThread, foregroundThread, FALSE);
}
