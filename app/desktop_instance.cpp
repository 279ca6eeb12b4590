#include "app/desktop_instance.h"

#include <windows.h>

namespace {

// The desktop's window station and name follow, so two desktops of one logon session, each
// with its own copy, never share the lock.
const wchar_t INSTANCE_MUTEX_PREFIX[] = L"Local\\QuibTouchPadCenter.Instance";
constexpr DWORD OBJECT_NAME_CHARS = 100;

HANDLE InstanceMutex = nullptr;

bool ReadObjectName(HANDLE object, wchar_t (&name)[OBJECT_NAME_CHARS])
{
    DWORD needed = 0;
    return GetUserObjectInformationW(object, UOI_NAME, name, sizeof name, &needed) != FALSE &&
           name[OBJECT_NAME_CHARS - 1] == L'\0';
}

// "Local\QuibTouchPadCenter.Instance.<window station>.<desktop>", or false when either name
// cannot be read whole.
bool FormatInstanceMutexName(wchar_t (&mutexName)[MAX_PATH])
{
    wchar_t station[OBJECT_NAME_CHARS] = {};
    wchar_t desktop[OBJECT_NAME_CHARS] = {};
    if (!ReadObjectName(GetProcessWindowStation(), station) ||
        !ReadObjectName(GetThreadDesktop(GetCurrentThreadId()), desktop)) {
        return false;
    }
    wsprintfW(mutexName, L"%s.%s.%s", INSTANCE_MUTEX_PREFIX, station, desktop);
    return true;
}

}  // namespace

bool ClaimDesktopInstance()
{
    wchar_t mutexName[MAX_PATH] = {};
    // Without a name the title test alone decides, as it does for a lock that cannot be made.
    if (!FormatInstanceMutexName(mutexName)) {
        return true;
    }
    InstanceMutex = CreateMutexW(nullptr, FALSE, mutexName);
    return InstanceMutex == nullptr || GetLastError() != ERROR_ALREADY_EXISTS;
}

void ReleaseDesktopInstance()
{
    if (InstanceMutex != nullptr) {
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
}
