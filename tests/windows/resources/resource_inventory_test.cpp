// The executable carries exactly the program's resources: every (type, identifier,
// language) that enumeration finds is expected, and every expected one is found.
#include "res/resource.h"
#include "tests/windows/resources/class_menu_variants.h"
#include "tests/windows/resources/icon_groups.h"
#include "tests/windows/resources/resource_test.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Inventory = std::set<std::string>;

std::string Part(LPCWSTR typeOrName)
{
    if (IS_INTRESOURCE(typeOrName)) {
        return std::to_string(reinterpret_cast<ULONG_PTR>(typeOrName));
    }
    // A named type or resource has no place in the program; show it so it stands out.
    std::string name = "\"";
    for (const wchar_t* c = typeOrName; *c != L'\0'; ++c) {
        name.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    }
    return name + "\"";
}

std::string Entry(LPCWSTR type, LPCWSTR name, WORD language)
{
    return "type " + Part(type) + " id " + Part(name) + " lang " + std::to_string(language);
}

std::string Entry(LPCWSTR type, WORD id, WORD language)
{
    return Entry(type, MAKEINTRESOURCEW(id), language);
}

Inventory EnumerateAll(HMODULE module)
{
    Inventory found;
    EnumResourceTypesW(
        module,
        [](HMODULE m, LPWSTR type, LONG_PTR context) -> BOOL {
            EnumResourceNamesW(
                m, type,
                [](HMODULE m2, LPCWSTR type2, LPWSTR name, LONG_PTR context2) -> BOOL {
                    EnumResourceLanguagesW(
                        m2, type2, name,
                        [](HMODULE, LPCWSTR type3, LPCWSTR name3, WORD language,
                           LONG_PTR context3) -> BOOL {
                            reinterpret_cast<Inventory*>(context3)->insert(
                                Entry(type3, name3, language));
                            return TRUE;
                        },
                        context2);
                    return TRUE;
                },
                context);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    return found;
}

// Everything but the single images of the icon and cursor groups, whose numbers the
// resource compiler chooses.
Inventory ExpectedWithoutImages()
{
    Inventory expected;
    for (const IconGroup& group : kIconGroups) {
        expected.insert(Entry(RT_GROUP_ICON, group.id, group.language));
    }
    // Strings 103 and 109 share the block of identifiers 96 to 111, block number 7.
    expected.insert(Entry(RT_STRING, IDS_APP_TITLE / 16 + 1, kEnglishUs));
    for (const ClassMenuVariant& variant : kClassMenuVariants) {
        expected.insert(Entry(RT_MENU, IDC_APPCLASS, variant.language));
    }
    expected.insert(Entry(RT_ACCELERATOR, IDC_APPCLASS, kEnglishUs));
    expected.insert(Entry(RT_MANIFEST, 1, kEnglishUs));
    expected.insert(Entry(RT_VERSION, 1, kChineseTaiwan));
    expected.insert(Entry(RT_GROUP_CURSOR, IDC_POINTER, kChineseTaiwan));
    return expected;
}

// The image numbers named by a group directory (icon or cursor: same entry layout, 14
// bytes each, the number in the last two).
std::vector<WORD> GroupMembers(LPCWSTR groupType, WORD id, LANGID language)
{
    std::vector<uint8_t> bytes = ResourceBytes(groupType, id, language);
    ByteReader reader = MakeReader(bytes);
    SkipBytes(reader, 4);
    uint16_t count = ReadWord(reader);
    std::vector<WORD> members;
    for (uint16_t i = 0; i < count && !reader.failed; ++i) {
        SkipBytes(reader, 12);
        members.push_back(ReadWord(reader));
    }
    return reader.failed ? std::vector<WORD>{} : members;
}

using ResourceInventory = ResourceTest;

TEST_F(ResourceInventory, HoldsExactlyTheProgramsResources)
{
    Inventory expected = ExpectedWithoutImages();
    for (const IconGroup& group : kIconGroups) {
        for (WORD image : GroupMembers(RT_GROUP_ICON, group.id, group.language)) {
            expected.insert(Entry(RT_ICON, image, group.language));
        }
    }
    for (WORD image : GroupMembers(RT_GROUP_CURSOR, IDC_POINTER, kChineseTaiwan)) {
        expected.insert(Entry(RT_CURSOR, image, kChineseTaiwan));
    }

    Inventory found = EnumerateAll(module);

    for (const std::string& entry : expected) {
        EXPECT_EQ(found.count(entry), 1u) << "missing: " << entry;
    }
    for (const std::string& entry : found) {
        EXPECT_EQ(expected.count(entry), 1u) << "unexpected: " << entry;
    }
}

TEST_F(ResourceInventory, EachImageBelongsToOneGroup)
{
    std::map<WORD, int> uses;
    for (const IconGroup& group : kIconGroups) {
        std::vector<WORD> members = GroupMembers(RT_GROUP_ICON, group.id, group.language);
        EXPECT_EQ(members.size(), group.imageCount) << "icon group " << group.id;
        for (WORD image : members) {
            ++uses[image];
        }
    }
    for (const auto& [image, count] : uses) {
        EXPECT_EQ(count, 1) << "icon image " << image << " is shared";
    }
    EXPECT_EQ(uses.size(), 30u) << "ten application images and twenty tray images";

    EXPECT_EQ(GroupMembers(RT_GROUP_CURSOR, IDC_POINTER, kChineseTaiwan).size(), 1u);
}

} // namespace
