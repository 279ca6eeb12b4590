#include "evalkit/kit_folder.h"

#include <windows.h>

const wchar_t KIT_PROGRAM[] = L"QuibTPCenter.exe";
const wchar_t KIT_LIBRARY[] = L"QuibTPApi.dll";
const wchar_t KIT_PADCTL[] = L"padctl.exe";
const wchar_t KIT_WALK[] = L"walk.txt";

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

bool LooksInsideZip(const std::wstring& folder)
{
    // Explorer runs a file opened inside a zip from %TEMP%\Temp1_NAME.zip\, other tools
    // from similar folders: a folder named like an archive.
    static const wchar_t suffix[] = L".zip\\";
    const size_t length = sizeof suffix / sizeof suffix[0] - 1;
    for (size_t at = folder.find(L'\\'); at != std::wstring::npos; at = folder.find(L'\\', at + 1)) {
        if (at + 1 >= length && CompareStringOrdinal(folder.c_str() + at + 1 - length, static_cast<int>(length), suffix,
                                                     static_cast<int>(length), TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}
