// The accelerator table 109: Alt with the character "?" or "/" gives IDM_ABOUT.
#include "res/resource.h"
#include "tests/windows/resources/resource_test.h"

#include <vector>

namespace {

constexpr WORD kLastEntry = 0x80; // marks the table's last entry in the stored form

// The keys of the two entries, in their stored order.
constexpr WORD kAcceleratorKeys[] = {L'?', L'/'};

using Accelerators = ResourceTest;

// Stored entries: flags, key, command and padding, one word each.
TEST_F(Accelerators, StoredAsTwoCharacterEntriesWithAlt)
{
    std::vector<uint8_t> bytes = ResourceBytes(RT_ACCELERATOR, IDC_APPCLASS, kEnglishUs);
    ASSERT_EQ(bytes.size(), 2 * 4 * sizeof(WORD));
    ByteReader reader = MakeReader(bytes);
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        WORD flags = ReadWord(reader);
        EXPECT_EQ(flags & ~kLastEntry, FALT) << "Alt on a character code, not a virtual key";
        EXPECT_EQ((flags & kLastEntry) != 0, i == 1) << "only the second entry ends the table";
        EXPECT_EQ(ReadWord(reader), kAcceleratorKeys[i]);
        EXPECT_EQ(ReadWord(reader), IDM_ABOUT);
        EXPECT_EQ(ReadWord(reader), 0) << "padding";
    }
}

TEST_F(Accelerators, LoadAsTheMessageLoopSeesThem)
{
    HACCEL table = LoadAcceleratorsW(module, MAKEINTRESOURCEW(IDC_APPCLASS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableW(table, nullptr, 0), 2);
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 2);
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].fVirt, FALT);
        EXPECT_EQ(entries[i].key, kAcceleratorKeys[i]);
        EXPECT_EQ(entries[i].cmd, IDM_ABOUT);
    }
    DestroyAcceleratorTable(table);
}

// The command a window receives when TranslateAcceleratorW matches a key.
WPARAM receivedCommand = 0;

LRESULT CALLBACK RecordCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        receivedCommand = wParam;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Holds the Alt key down in this thread's keyboard state, which accelerators consult.
void SetAltKey(bool down)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// Offers a character message to the table; the command the window received, 0 if none.
WPARAM Translate(HWND window, HACCEL table, UINT message, WCHAR key, bool altDown)
{
    SetAltKey(altDown);
    receivedCommand = 0;
    LPARAM context = altDown ? LPARAM{1} << 29 : 0;
    MSG msg{window, message, key, context | 1, 0, {0, 0}};
    int translated = TranslateAcceleratorW(window, table, &msg);
    SetAltKey(false);
    return translated != 0 ? receivedCommand : 0;
}

// Alt+? and Alt+/ arrive as WM_SYSCHAR; translated, they reach the window as WM_COMMAND
// with IDM_ABOUT in the low word and 1 (from an accelerator) in the high word. Without
// Alt, or with another character, nothing is translated.
TEST_F(Accelerators, AltCharactersReachTheWindowAsAboutCommand)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordCommand;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuibAcceleratorProbe";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    HACCEL table = LoadAcceleratorsW(module, MAKEINTRESOURCEW(IDC_APPCLASS));
    ASSERT_NE(table, nullptr);

    const WPARAM aboutCommand = MAKEWPARAM(IDM_ABOUT, 1);
    for (WORD key : kAcceleratorKeys) {
        SCOPED_TRACE(static_cast<char>(key));
        EXPECT_EQ(Translate(window, table, WM_SYSCHAR, key, true), aboutCommand);
        EXPECT_EQ(Translate(window, table, WM_CHAR, key, false), 0u);
    }
    EXPECT_EQ(Translate(window, table, WM_SYSCHAR, L'x', true), 0u);

    DestroyAcceleratorTable(table);
    DestroyWindow(window);
}

} // namespace
