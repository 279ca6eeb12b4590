// The string block: the title string 103 and the window-class name 109, nothing else.
#include "res/resource.h"
#include "tests/windows/resources/resource_test.h"

#include <algorithm>
#include <string>

namespace {

struct StringCase {
    UINT id;
    const wchar_t* text;
};

constexpr StringCase kStrings[] = {
    {IDS_APP_TITLE, L"RaviVAVizizu"},
    {IDC_APPCLASS, L"RAVIVAVIZIZU"},
};

using StringTable = ResourceTest;

// Start-up loads the class name into a buffer of 100 wide characters.
TEST_F(StringTable, LoadsWholeIntoAHundredCharacterBuffer)
{
    for (const StringCase& expected : kStrings) {
        SCOPED_TRACE(expected.id);
        wchar_t buffer[100];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        int length = LoadStringW(module, expected.id, buffer, 100);
        EXPECT_EQ(length, 12);
        EXPECT_EQ(std::wstring(buffer), expected.text) << "terminated after the text";
    }
}

// A zero-length buffer gives a pointer to the stored text itself: its length shows what
// the resource holds, with no terminator or padding counted.
TEST_F(StringTable, StoredTextHasNothingAround)
{
    for (const StringCase& expected : kStrings) {
        SCOPED_TRACE(expected.id);
        const wchar_t* stored = nullptr;
        int length = LoadStringW(module, expected.id, reinterpret_cast<LPWSTR>(&stored), 0);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(std::wstring(stored, length), expected.text);
    }
}

// Strings 96 to 111 share one block; only 103 and 109 are filled.
TEST_F(StringTable, BlockHoldsNoOtherString)
{
    for (UINT id = 96; id <= 111; ++id) {
        if (id == IDS_APP_TITLE || id == IDC_APPCLASS) {
            continue;
        }
        wchar_t buffer[100] = {};
        EXPECT_EQ(LoadStringW(module, id, buffer, 100), 0) << "string " << id;
    }
}

} // namespace
