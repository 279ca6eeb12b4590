#include <gtest/gtest.h>

#include <string>

#include "app/main_window.h"
#include "link/cycle_ports.h"
#include "res/resource.h"
#include "tray/icon_set.h"
#include "tray/tray_icon.h"

namespace {

std::wstring Tip()
{
    return TrayIcon.szTip;
}

bool IsAllZero(const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

class TrayIconTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MainWindow = CreateWindowExW(0, L"STATIC", L"tray icon test", WS_POPUPWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(MainWindow, nullptr);
        // Wine's stand-alone tray takes two seconds to remove its last icon; a second icon
        // of another identifier keeps each removal of ours quick.
        anchor = NOTIFYICONDATAW{sizeof(NOTIFYICONDATAW)};
        anchor.hWnd = MainWindow;
        anchor.uID = 1;
        anchor.uFlags = NIF_ICON;
        anchor.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        Shell_NotifyIconW(NIM_ADD, &anchor);
    }

    static void TearDownTestSuite()
    {
        Shell_NotifyIconW(NIM_DELETE, &anchor);
        DestroyWindow(MainWindow);
        MainWindow = nullptr;
    }

    static NOTIFYICONDATAW anchor;

    void TearDown() override { RemoveTrayIcon(); }

    HICON SystemIcon(LPCWSTR id) { return LoadIconW(nullptr, id); }
};

NOTIFYICONDATAW TrayIconTest::anchor;

// First in the program: nothing has touched the record yet.
TEST_F(TrayIconTest, RecordStartsZeroedWithItsFullSize)
{
    EXPECT_EQ(TrayIcon.cbSize, 976u);
    EXPECT_TRUE(IsAllZero(reinterpret_cast<const char*>(&TrayIcon) + sizeof TrayIcon.cbSize,
                          sizeof TrayIcon - sizeof TrayIcon.cbSize));
}

TEST_F(TrayIconTest, AddChangeAndRemoveAgainstTheShell)
{
    const HICON first = SystemIcon(IDI_APPLICATION);
    ASSERT_TRUE(AddTrayIcon(first, L"QuibTP Center"));
    EXPECT_EQ(TrayIcon.hWnd, MainWindow);
    EXPECT_EQ(TrayIcon.uID, static_cast<UINT>(TRAY_ICON_ID));
    EXPECT_EQ(TrayIcon.uFlags, 7u);
    EXPECT_EQ(TrayIcon.uCallbackMessage, static_cast<UINT>(WM_TRAYNOTIFY));
    EXPECT_EQ(TrayIcon.hIcon, first);
    EXPECT_EQ(Tip(), L"QuibTP Center");

    const HICON pictures[] = {SystemIcon(IDI_WARNING), SystemIcon(IDI_ERROR), SystemIcon(IDI_INFORMATION)};
    for (HICON picture : pictures) {
        EXPECT_TRUE(SetTrayIconImage(picture));
        EXPECT_EQ(TrayIcon.uFlags, static_cast<UINT>(NIF_ICON));
        EXPECT_EQ(TrayIcon.hIcon, picture);
        EXPECT_EQ(TrayIcon.uCallbackMessage, static_cast<UINT>(WM_TRAYNOTIFY));
        EXPECT_EQ(Tip(), L"QuibTP Center");
    }

    // The removal names the icon whatever flags the record holds from before.
    TrayIcon.uFlags = 0x7F;
    EXPECT_TRUE(RemoveTrayIcon());
    EXPECT_EQ(TrayIcon.uFlags, 0x7Fu);
    EXPECT_EQ(TrayIcon.uID, static_cast<UINT>(TRAY_ICON_ID));
    // It is gone: changing or removing it again fails.
    EXPECT_FALSE(SetTrayIconImage(first));
    EXPECT_FALSE(RemoveTrayIcon());
}

TEST_F(TrayIconTest, TipsAreCutAndTerminated)
{
    const std::wstring exactly127(127, L'a');
    const std::wstring long200 = std::wstring(127, L'b') + std::wstring(73, L'c');
    const struct {
        const wchar_t* tip;
        std::wstring expected;
    } cases[] = {
        {L"QUIB Touch Pad Center", L"QUIB Touch Pad Center"},
        {exactly127.c_str(), exactly127},
        {long200.c_str(), std::wstring(127, L'b')},
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& c : cases) {
        // Leave a longer tip behind, so a missing terminator would show.
        const std::wstring filler(127, L'x');
        AddTrayIcon(SystemIcon(IDI_APPLICATION), filler.c_str());
        RemoveTrayIcon();

        EXPECT_TRUE(AddTrayIcon(SystemIcon(IDI_APPLICATION), c.tip));
        EXPECT_EQ(Tip(), c.expected);
        EXPECT_EQ(TrayIcon.szTip[127], L'\0');
        RemoveTrayIcon();
    }
}

TEST_F(TrayIconTest, NullPictureIsPassedOn)
{
    AddTrayIcon(nullptr, L"QuibTP Center");
    EXPECT_EQ(TrayIcon.hIcon, nullptr);
    SetTrayIconImage(SystemIcon(IDI_APPLICATION));
    SetTrayIconImage(nullptr);
    EXPECT_EQ(TrayIcon.hIcon, nullptr);
}

TEST_F(TrayIconTest, NoBalloonStateOrGuidIsEverWritten)
{
    AddTrayIcon(SystemIcon(IDI_APPLICATION), L"QUIB Touch Pad Center");
    SetTrayIconImage(SystemIcon(IDI_WARNING));
    RemoveTrayIcon();
    EXPECT_EQ(TrayIcon.dwState, 0u);
    EXPECT_EQ(TrayIcon.dwStateMask, 0u);
    EXPECT_TRUE(IsAllZero(TrayIcon.szInfo, sizeof TrayIcon.szInfo));
    EXPECT_TRUE(IsAllZero(TrayIcon.szInfoTitle, sizeof TrayIcon.szInfoTitle));
    EXPECT_EQ(TrayIcon.uTimeout, 0u);
    EXPECT_EQ(TrayIcon.dwInfoFlags, 0u);
    EXPECT_TRUE(IsAllZero(&TrayIcon.guidItem, sizeof TrayIcon.guidItem));
    EXPECT_EQ(TrayIcon.hBalloonIcon, nullptr);
}

// The cycle's icon operations show the set's pictures; a restore keeps the last tip.
TEST_F(TrayIconTest, CyclePortsUseTheIconSet)
{
    IconSet[unlinkedIcon] = SystemIcon(IDI_ERROR);
    IconSet[idleIcon] = SystemIcon(IDI_APPLICATION);
    IconSet[FingerIcon(2, 1)] = SystemIcon(IDI_INFORMATION);

    AddStatusIcon(unlinkedIcon, L"QuibTP Center");
    EXPECT_EQ(TrayIcon.hIcon, IconSet[unlinkedIcon]);
    SetStatusIconImage(FingerIcon(2, 1));
    EXPECT_EQ(TrayIcon.hIcon, IconSet[FingerIcon(2, 1)]);

    TrayIcon.uFlags = 0;
    RestoreStatusIcon(idleIcon);
    EXPECT_EQ(TrayIcon.uFlags, 7u);
    EXPECT_EQ(TrayIcon.hIcon, IconSet[idleIcon]);
    EXPECT_EQ(Tip(), L"QuibTP Center");

    RemoveStatusIcon();
    EXPECT_FALSE(RemoveTrayIcon());
    for (HICON& icon : IconSet) {
        icon = nullptr;
    }
}

}  // namespace
