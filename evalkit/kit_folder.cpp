#include "evalkit/kit_folder.h"

#include <windows.h>

const wchar_t KIT_PROGRAM[] = L"QuibTPCenter.exe";
const wchar_t KIT_LIBRARY[] = L"QuibTPApi.dll";
const wchar_t KIT_PADCTL[] = L"padctl.exe";
const wchar_t KIT_WALK[] = L"walk.txt";
const wchar_t KIT_LAUNCHER[] = L"TryQuibTPCenter.exe";

namespace {

bool HasPrefix(const std::wstring& name, const wchar_t* prefix)
{
    const int length = lstrlenW(prefix);
    return name.size() >= static_cast<size_t>(length) &&
           CompareStringOrdinal(name.c_str(), length, prefix, length, TRUE) == CSTR_EQUAL;
}

bool HasSuffix(const std::wstring& name, const wchar_t* suffix)
{
    const int length = lstrlenW(suffix);
    return name.size() >= static_cast<size_t>(length) &&
           CompareStringOrdinal(name.c_str() + name.size() - length, length, suffix, length, TRUE) == CSTR_EQUAL;
}

// What the loader takes a module for when it is asked for one by name: ".dll", which it adds to
// a bare name, and ".drv", the printer drivers' DLLs that Windows' own DLLs load by name
// (winspool.drv). Other code files (.ocx, .cpl, .ax, .ime) are loaded by a full path from the
// registry or the system's folder, never looked up beside the program.
bool IsForeignLibrary(const WIN32_FIND_DATAW& found)
{
    const std::wstring name = found.cFileName;
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (HasSuffix(name, L".dll") || HasSuffix(name, L".drv")) &&
           CompareStringOrdinal(name.c_str(), -1, KIT_LIBRARY, -1, TRUE) != CSTR_EQUAL;
}

}  // namespace

std::wstring KitFolder()
{
    // Long paths are possible once unpacked deep under a user's folders: grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) {
            return std::wstring();
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

const wchar_t* MissingKitFile(const std::wstring& folder)
{
    for (const wchar_t* name : {KIT_PROGRAM, KIT_LIBRARY, KIT_PADCTL, KIT_WALK}) {
        const DWORD attributes = GetFileAttributesW((folder + name).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return name;
        }
    }
    return nullptr;
}

std::wstring ForeignLibrary(const std::wstring& folder, unsigned long* error)
{
    *error = 0;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                           nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return std::wstring();
    }
    std::wstring name;
    for (;;) {
        if (IsForeignLibrary(found)) {
            name = found.cFileName;
            break;
        }
        if (!FindNextFileW(search, &found)) {
            const DWORD last = GetLastError();
            *error = last == ERROR_NO_MORE_FILES ? 0 : last;
            break;
        }
    }
    FindClose(search);
    return name;
}

bool LooksInsideArchive(const std::wstring& folder)
{
    // A file opened inside an archive runs alone from a temporary folder: Explorer's is
    // %TEMP%\Temp1_NAME.zip\, 7-Zip's %TEMP%\7zO1A2B3C4D\, WinRAR's %TEMP%\Rar$EXa1234.5678\.
    size_t start = 0;
    for (size_t end = folder.find(L'\\'); end != std::wstring::npos; end = folder.find(L'\\', start)) {
        const std::wstring name = folder.substr(start, end - start);
        if (HasSuffix(name, L".zip") || HasPrefix(name, L"7zO") || HasPrefix(name, L"Rar$EX")) {
            return true;
        }
        start = end + 1;
    }
    return false;
}
