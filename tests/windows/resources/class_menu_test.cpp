// The class menu 109 in each of its 29 languages: one pop-up with an empty title that
// holds one plain item with IDM_PROPERTY, differing between languages only in the text.
#include "res/resource.h"
#include "tests/windows/resources/class_menu_variants.h"
#include "tests/windows/resources/resource_module.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

// Names a variant by its language in test output.
void PrintTo(const ClassMenuVariant& variant, std::ostream* out)
{
    char language[8];
    std::snprintf(language, sizeof(language), "0x%04X", variant.language);
    *out << "menu language " << language;
}

namespace {

// A standard menu template as stored, read field by field.
struct MenuTemplate {
    uint16_t version;
    uint16_t headerSize;
    uint16_t popupFlags;
    std::wstring popupTitle;
    uint16_t itemFlags;
    uint16_t itemId;
    std::wstring itemText;
    size_t bytesLeft; // after the item: anything here is a further entry
    bool complete;
};

MenuTemplate ReadMenuTemplate(const std::vector<uint8_t>& bytes)
{
    ByteReader reader = MakeReader(bytes);
    MenuTemplate menu{};
    menu.version = ReadWord(reader);
    menu.headerSize = ReadWord(reader);
    SkipBytes(reader, menu.headerSize);
    menu.popupFlags = ReadWord(reader);
    menu.popupTitle = ReadWideString(reader);
    menu.itemFlags = ReadWord(reader);
    menu.itemId = ReadWord(reader);
    menu.itemText = ReadWideString(reader);
    menu.bytesLeft = BytesLeft(reader);
    menu.complete = !reader.failed;
    return menu;
}

std::wstring MenuItemText(HMENU menu, UINT position)
{
    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 256;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info)) {
        return L"<no item>";
    }
    return std::wstring(text, info.cch);
}

MENUITEMINFOW MenuItemInfo(HMENU menu, UINT position)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info)) {
        info.fType = ~0u;
    }
    return info;
}

class ClassMenu : public ::testing::TestWithParam<ClassMenuVariant> {
protected:
    void SetUp() override
    {
        ASSERT_NE(ModuleUnderTest(), nullptr);
        bytes = ResourceBytes(RT_MENU, IDC_APPCLASS, GetParam().language);
        ASSERT_FALSE(bytes.empty()) << "no menu 109 in language " << GetParam().language;
    }

    std::vector<uint8_t> bytes;
};

TEST_P(ClassMenu, TemplateHoldsOnePopupWithOnePlainItem)
{
    MenuTemplate menu = ReadMenuTemplate(bytes);

    ASSERT_TRUE(menu.complete);
    EXPECT_EQ(menu.version, 0) << "a standard, not an extended, menu template";
    EXPECT_EQ(menu.headerSize, 0);
    // The pop-up is the last top-level entry and the item the last entry of the pop-up:
    // no check mark, not greyed, not disabled, no separator.
    EXPECT_EQ(menu.popupFlags, MF_POPUP | MF_END);
    EXPECT_EQ(menu.popupTitle, L"");
    EXPECT_EQ(menu.itemFlags, MF_END);
    EXPECT_EQ(menu.itemId, IDM_PROPERTY);
    EXPECT_EQ(menu.itemText, GetParam().itemText);
    EXPECT_EQ(menu.bytesLeft, 0u) << "nothing may follow the one item";
}

TEST_P(ClassMenu, LoadsAsTheSystemBuildsIt)
{
    HMENU menu = LoadMenuIndirectW(bytes.data());
    ASSERT_NE(menu, nullptr);

    ASSERT_EQ(GetMenuItemCount(menu), 1);
    MENUITEMINFOW popup = MenuItemInfo(menu, 0);
    EXPECT_EQ(popup.fType, static_cast<UINT>(MFT_STRING));
    EXPECT_EQ(popup.fState, static_cast<UINT>(MFS_ENABLED | MFS_UNCHECKED));
    EXPECT_EQ(MenuItemText(menu, 0), L"");
    ASSERT_NE(popup.hSubMenu, nullptr);

    ASSERT_EQ(GetMenuItemCount(popup.hSubMenu), 1);
    MENUITEMINFOW item = MenuItemInfo(popup.hSubMenu, 0);
    EXPECT_EQ(item.fType, static_cast<UINT>(MFT_STRING));
    EXPECT_EQ(item.fState, static_cast<UINT>(MFS_ENABLED | MFS_UNCHECKED));
    EXPECT_EQ(item.wID, static_cast<UINT>(IDM_PROPERTY));
    EXPECT_EQ(item.hSubMenu, nullptr);
    EXPECT_EQ(MenuItemText(popup.hSubMenu, 0), GetParam().itemText);

    DestroyMenu(menu);
}

std::string LanguageName(const ::testing::TestParamInfo<ClassMenuVariant>& info)
{
    char name[16];
    std::snprintf(name, sizeof(name), "lang_%04X", info.param.language);
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, ClassMenu, ::testing::ValuesIn(kClassMenuVariants),
                         LanguageName);

} // namespace
