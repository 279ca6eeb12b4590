// The window procedure on a real hidden window, with the recording library behind it.
#include <gtest/gtest.h>

#include <windows.h>
#include <wtsapi32.h>

#include "app/main_window.h"
#include "res/resource.h"
#include "tests/fakes/fake_touchpad.h"
#include "tests/fakes/test_status.h"
#include "tray/icon_set.h"
#include "tray/tray_icon.h"

namespace {

const wchar_t TEST_CLASS[] = L"QuibMainWindowTest";

HICON MakeIcon()
{
    const BYTE andMask[32] = {};
    const BYTE xorMask[32] = {};
    return CreateIcon(GetModuleHandleW(nullptr), 16, 16, 1, 1, andMask, xorMask);
}

bool TakeQuitMessage(WPARAM* code)
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        return false;
    }
    *code = message.wParam;
    return true;
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSEXW windowClass = {sizeof windowClass};
        windowClass.lpfnWndProc = MainWndProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = TEST_CLASS;
        RegisterClassExW(&windowClass);
    }

    void SetUp() override
    {
        ResetTouchStatus();
        ResetFakeTouchpad();
        FakeScript.connectResult = 0;
        MainWindow = CreateWindowExW(0, TEST_CLASS, L"QUIB TOUCH PAD CENTER (test)", WS_POPUPWINDOW, 0, 0, 0, 0,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(MainWindow, nullptr);
    }

    void TearDown() override
    {
        if (IsWindow(MainWindow)) {
            // Not through the procedure: its WM_DESTROY would post a quit message.
            SetWindowLongPtrW(MainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
            DestroyWindow(MainWindow);
        }
        WPARAM code;
        while (TakeQuitMessage(&code)) {
        }
        for (HICON& icon : IconSet) {
            icon = nullptr;
        }
    }

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return SendMessageW(MainWindow, message, wParam, lParam);
    }
};

TEST_F(MainWindowTest, EachMessageReachesItsHandler)
{
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::vector<std::string> calls;
    } rows[] = {
        {"link tick", WM_TIMER, IDT_LINK, 0, {"TpConnect()"}},
        {"poll tick", WM_TIMER, IDT_POLL, 0, {"TpIsDisabled()", "TpGetTrayMode()", "TpInitOnce()"}},
        {"other timer", WM_TIMER, 103, 0, {}},
        {"timer id with high bits", WM_TIMER, (WPARAM{1} << 32) | IDT_LINK, 0, {}},
        {"mouse button swap", WM_SETTINGCHANGE, SPI_SETMOUSEBUTTONSWAP, 0, {"TpMouseButtonSwapChanged()"}},
        {"mouse button swap, high bits", WM_SETTINGCHANGE, (WPARAM{7} << 32) | SPI_SETMOUSEBUTTONSWAP, 0,
         {"TpMouseButtonSwapChanged()"}},
        {"other setting", WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0, {}},
        {"console disconnect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 0, {"TpDisconnect()"}},
        {"console connect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 0, {}},
        {"session lock", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0, {}},
        {"session unlock", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0, {}},
        {"about, from an accelerator", WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 1), 0, {}},
        {"unknown command", WM_COMMAND, MAKEWPARAM(4242, 0), 0, {}},
        {"tray right click", WM_TRAYNOTIFY, TRAY_ICON_ID, WM_RBUTTONUP, {}},
        {"tray single click", WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONUP, {}},
        {"tray mouse move", WM_TRAYNOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE, {}},
        {"tray double click with high bits", WM_TRAYNOTIFY, TRAY_ICON_ID, (LPARAM{1} << 32) | WM_LBUTTONDBLCLK, {}},
        {"button up", WM_LBUTTONUP, 0, 0, {}},
        {"power event", WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ResetTouchStatus();
        ResetFakeTouchpad();
        FakeScript.connectResult = 0;
        EXPECT_EQ(Send(row.message, row.wParam, row.lParam), 0);
        EXPECT_EQ(FakeCallNames(), row.calls);
        EXPECT_TRUE(IsWindow(MainWindow));
    }
}

TEST_F(MainWindowTest, OtherMessagesGetTheDefaultHandling)
{
    // The default handling answers with the title's length; the procedure itself would say 0.
    EXPECT_EQ(Send(WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(wcslen(L"QUIB TOUCH PAD CENTER (test)")));
    EXPECT_EQ(FakeTotalCalls(), 0);
}

TEST_F(MainWindowTest, PaintValidatesAndDrawsNothing)
{
    // A hidden, empty window has no update region to clear: give it a size and show it.
    SetWindowPos(MainWindow, nullptr, 0, 0, 120, 80, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOZORDER);
    ValidateRect(MainWindow, nullptr);
    InvalidateRect(MainWindow, nullptr, FALSE);
    ASSERT_TRUE(GetUpdateRect(MainWindow, nullptr, FALSE));
    EXPECT_EQ(Send(WM_PAINT, 0, 0), 0);
    EXPECT_FALSE(GetUpdateRect(MainWindow, nullptr, FALSE));
}

TEST_F(MainWindowTest, ExitCommandTellsTheLibraryThenEndsTheWindow)
{
    for (WORD source : {0, 1}) {
        SCOPED_TRACE(source);
        if (!IsWindow(MainWindow)) {
            SetUp();
        }
        IconSet[idleIcon] = MakeIcon();
        static bool windowAliveAtDisconnect;
        windowAliveAtDisconnect = false;
        FakeCallObserver = [](const FakeCall& call) {
            if (call.entry == FAKE_DISCONNECT) {
                windowAliveAtDisconnect = IsWindow(MainWindow) != FALSE;
            }
        };
        const HICON icon = IconSet[idleIcon];

        EXPECT_EQ(Send(WM_COMMAND, MAKEWPARAM(IDM_EXIT, source), 0), 0);

        EXPECT_EQ(FakeCallNames(), std::vector<std::string>{"TpDisconnect()"});
        EXPECT_TRUE(windowAliveAtDisconnect);
        EXPECT_FALSE(IsWindow(MainWindow));
        ICONINFO info;
        EXPECT_FALSE(GetIconInfo(icon, &info)) << "the icon set was not released";
        WPARAM code = 99;
        EXPECT_TRUE(TakeQuitMessage(&code));
        EXPECT_EQ(code, 0u);
        ResetFakeTouchpad();
    }
}

TEST_F(MainWindowTest, CloseEndsTheWindowWithoutTellingTheLibrary)
{
    IconSet[unlinkedIcon] = MakeIcon();
    const HICON icon = IconSet[unlinkedIcon];

    Send(WM_CLOSE, 0, 0);

    EXPECT_EQ(FakeTotalCalls(), 0);
    EXPECT_FALSE(IsWindow(MainWindow));
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info));
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(MainWindowTest, DoubleClickAndPropertyCommandRaiseTheConfigurator)
{
    HWND dialog = CreateWindowExW(0, L"#32770", L"QUIB Touch Pad", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(dialog, nullptr);
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } openers[] = {
        {"double click", WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK},
        {"double click, any icon id", WM_TRAYNOTIFY, 12345, WM_LBUTTONDBLCLK},
        {"property command", WM_COMMAND, MAKEWPARAM(IDM_PROPERTY, 0), 0},
        {"property command, accelerator source", WM_COMMAND, MAKEWPARAM(IDM_PROPERTY, 1), 77},
    };
    for (const auto& opener : openers) {
        SCOPED_TRACE(opener.name);
        ShowWindow(dialog, SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(dialog));
        EXPECT_EQ(Send(opener.message, opener.wParam, opener.lParam), 0);
        EXPECT_FALSE(IsIconic(dialog));
        EXPECT_TRUE(IsWindowVisible(dialog));
    }
    // A right click leaves it as it is.
    ShowWindow(dialog, SW_MINIMIZE);
    Send(WM_TRAYNOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    EXPECT_TRUE(IsIconic(dialog));
    DestroyWindow(dialog);
}

TEST_F(MainWindowTest, TaskbarRestartShowsTheIconAgainWhenDue)
{
    TaskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    ASSERT_NE(TaskbarCreatedMessage, 0u);
    IconSet[idleIcon] = MakeIcon();
    TrayIcon.uFlags = 0;

    EXPECT_EQ(Send(TaskbarCreatedMessage, 0, 0), 0);  // not linked: nothing is due
    EXPECT_EQ(TrayIcon.uFlags, 0u);

    TouchStatus.linked = 1;
    TouchStatus.trayMode = 1;
    EXPECT_EQ(Send(TaskbarCreatedMessage, 0, 0), 0);
    EXPECT_EQ(TrayIcon.uFlags, 7u);
    EXPECT_EQ(TrayIcon.hIcon, IconSet[idleIcon]);
    EXPECT_EQ(TrayIcon.hWnd, MainWindow);
    Shell_NotifyIconW(NIM_DELETE, &TrayIcon);
    DestroyIcon(IconSet[idleIcon]);
}

}  // namespace
