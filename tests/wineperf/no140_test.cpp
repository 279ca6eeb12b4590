// QuibTPCenter_no140.exe: the program built without the icon group 140 (three fingers at the
// firmest contact). Its resources lack exactly that group, and with the simulated library it
// links, shows the reports that pick the missing icon and keeps running.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/windows/program/program_process.h"
#include "tests/windows/support/debug_run.h"

namespace {

const wchar_t FULL_PROGRAM[] = L"QuibTPCenter.exe";
const wchar_t NO140_PROGRAM[] = L"QuibTPCenter_no140.exe";

// Every icon group that the icon set loads.
const WORD ICON_GROUPS[] = {IDI_APP,           IDI_TRAY_IDLE,      IDI_TRAY_FINGER1_0, IDI_TRAY_FINGER2_0,
                            IDI_TRAY_FINGER3_0, IDI_TRAY_FINGER4_0, IDI_TRAY_FINGER5_0, IDI_TRAY_FINGER1_1,
                            IDI_TRAY_FINGER1_2, IDI_TRAY_FINGER2_1, IDI_TRAY_FINGER2_2, IDI_TRAY_FINGER3_1,
                            IDI_TRAY_FINGER3_2, IDI_TRAY_FINGER4_1, IDI_TRAY_FINGER4_2, IDI_TRAY_FINGER5_1,
                            IDI_TRAY_FINGER5_2, IDI_TRAY_LEFT_BUTTON, IDI_TRAY_RIGHT_BUTTON, IDI_TRAY_DISABLED,
                            IDI_TRAY_UNLINKED};
static_assert(sizeof(ICON_GROUPS) / sizeof(ICON_GROUPS[0]) == 21, "the icon set has 21 slots");

// One executable opened for its resources only: its code never runs.
struct ResourceFile {
    explicit ResourceFile(const wchar_t* name)
        : module(LoadLibraryExW((ThisProgramFolder() + name).c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
    {
    }
    ~ResourceFile()
    {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;

    HMODULE module;
};

bool HasIconGroup(HMODULE module, WORD id)
{
    return FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON) != nullptr;
}

std::vector<unsigned char> ResourceData(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language)
{
    HRSRC found = FindResourceExW(module, type, name, language);
    const void* data = found != nullptr ? LockResource(LoadResource(module, found)) : nullptr;
    if (data == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + SizeofResource(module, found));
}

// Every resource of a module: "type/name/language" for each, and its bytes.
using Inventory = std::map<std::string, std::vector<unsigned char>>;

std::string IdText(LPCWSTR typeOrName)
{
    if (IS_INTRESOURCE(typeOrName)) {
        return std::to_string(reinterpret_cast<ULONG_PTR>(typeOrName));
    }
    std::string text = "\"";
    for (const wchar_t* c = typeOrName; *c != L'\0'; ++c) {
        text.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    }
    return text + "\"";
}

Inventory ReadInventory(HMODULE module)
{
    Inventory inventory;
    EnumResourceTypesW(
        module,
        [](HMODULE m, LPWSTR type, LONG_PTR context) -> BOOL {
            EnumResourceNamesW(
                m, type,
                [](HMODULE m2, LPCWSTR type2, LPWSTR name, LONG_PTR context2) -> BOOL {
                    EnumResourceLanguagesW(
                        m2, type2, name,
                        [](HMODULE m3, LPCWSTR type3, LPCWSTR name3, WORD language, LONG_PTR context3) -> BOOL {
                            const std::string key =
                                IdText(type3) + "/" + IdText(name3) + "/" + std::to_string(language);
                            (*reinterpret_cast<Inventory*>(context3))[key] =
                                ResourceData(m3, type3, name3, language);
                            return TRUE;
                        },
                        context2);
                    return TRUE;
                },
                context);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&inventory));
    return inventory;
}

bool IsIconImage(const std::string& key)
{
    return key.rfind(IdText(RT_ICON) + "/", 0) == 0;
}

// The icon images, by content: the resource compiler numbers them in script order, so
// leaving one group out renumbers every image after it.
std::multiset<std::vector<unsigned char>> IconImages(const Inventory& inventory)
{
    std::multiset<std::vector<unsigned char>> images;
    for (const auto& [key, bytes] : inventory) {
        if (IsIconImage(key)) {
            images.insert(bytes);
        }
    }
    return images;
}

// A group directory is 6 bytes of header (its entry count at offset 4), then a 14-byte entry
// for each image, whose last word is the image's identifier.
constexpr size_t GROUP_HEADER_SIZE = 6;
constexpr size_t GROUP_ENTRY_SIZE = 14;
constexpr size_t ENTRY_IMAGE_ID_OFFSET = 12;

size_t GroupEntryCount(const std::vector<unsigned char>& group)
{
    if (group.size() < GROUP_HEADER_SIZE) {
        return 0;
    }
    const size_t count = group[4] | (group[5] << 8);
    return group.size() >= GROUP_HEADER_SIZE + count * GROUP_ENTRY_SIZE ? count : 0;
}

// The image that a one-image group names; 0 for any other group.
WORD SingleImageOf(const std::vector<unsigned char>& group)
{
    if (GroupEntryCount(group) != 1) {
        return 0;
    }
    const size_t at = GROUP_HEADER_SIZE + ENTRY_IMAGE_ID_OFFSET;
    return static_cast<WORD>(group[at] | (group[at + 1] << 8));
}

// The directory with its image identifiers blanked: what stays the same when images are
// renumbered.
std::vector<unsigned char> WithoutImageIds(std::vector<unsigned char> group)
{
    const size_t count = GroupEntryCount(group);
    for (size_t entry = 0; entry < count; ++entry) {
        const size_t at = GROUP_HEADER_SIZE + entry * GROUP_ENTRY_SIZE + ENTRY_IMAGE_ID_OFFSET;
        group[at] = 0;
        group[at + 1] = 0;
    }
    return group;
}

bool IsIconGroup(const std::string& key)
{
    return key.rfind(IdText(RT_GROUP_ICON) + "/", 0) == 0;
}

TEST(No140Resources, EveryIconGroupButTheOneLeftOutIsFound)
{
    ResourceFile full(FULL_PROGRAM);
    ResourceFile no140(NO140_PROGRAM);
    ASSERT_NE(full.module, nullptr);
    ASSERT_NE(no140.module, nullptr);
    for (WORD id : ICON_GROUPS) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(HasIconGroup(full.module, id));
        EXPECT_EQ(HasIconGroup(no140.module, id), id != IDI_TRAY_FINGER3_2);
    }
}

TEST(No140Resources, DifferOnlyByGroup140AndItsImage)
{
    ResourceFile full(FULL_PROGRAM);
    ResourceFile no140(NO140_PROGRAM);
    ASSERT_NE(full.module, nullptr);
    ASSERT_NE(no140.module, nullptr);
    const Inventory withAll = ReadInventory(full.module);
    const Inventory without = ReadInventory(no140.module);

    // Apart from the icon images, the same resources with the same bytes, less group 140.
    const std::string group140 = IdText(RT_GROUP_ICON) + "/140/1028";
    ASSERT_EQ(withAll.count(group140), 1u);
    for (const auto& [key, bytes] : withAll) {
        if (IsIconImage(key) || key == group140) {
            continue;
        }
        SCOPED_TRACE(key);
        const auto other = without.find(key);
        ASSERT_NE(other, without.end());
        // Group directories name their images by numbers, which may have shifted; the
        // images themselves are compared by content below.
        if (IsIconGroup(key)) {
            EXPECT_EQ(WithoutImageIds(bytes), WithoutImageIds(other->second));
        } else {
            EXPECT_EQ(bytes, other->second);
        }
    }
    for (const auto& entry : without) {
        if (!IsIconImage(entry.first)) {
            EXPECT_EQ(withAll.count(entry.first), 1u) << entry.first;
        }
    }
    EXPECT_EQ(without.count(group140), 0u);

    // The images: all of the full program's, less the one that group 140 names.
    const WORD image140 = SingleImageOf(withAll.at(group140));
    const std::string image140Key = IdText(RT_ICON) + "/" + std::to_string(image140) + "/1028";
    ASSERT_EQ(withAll.count(image140Key), 1u);
    std::multiset<std::vector<unsigned char>> expected = IconImages(withAll);
    expected.erase(expected.find(withAll.at(image140Key)));
    const std::multiset<std::vector<unsigned char>> images = IconImages(without);
    EXPECT_EQ(images.size(), expected.size());
    EXPECT_TRUE(images == expected) << "the images differ in content, not only by the one left out";
}

// What the icon set does at start-up: a 16x16 private load of each group, from the module.
TEST(No140Resources, OnlyTheMissingGroupFailsToLoadAsAnIcon)
{
    ResourceFile no140(NO140_PROGRAM);
    ASSERT_NE(no140.module, nullptr);
    for (WORD id : ICON_GROUPS) {
        SCOPED_TRACE(id);
        HANDLE icon = LoadImageW(no140.module, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
        EXPECT_EQ(icon != nullptr, id != IDI_TRAY_FINGER3_2);
        if (icon != nullptr) {
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
}

class No140Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        log = UseFreshSimulatorLog(L"quib-no140-test.log");
        SetEnvironmentVariableW(L"QUIBSIM_PIPE", L"QuibNo140Test");
    }

    void TearDown() override
    {
        EndProgram(program);
        SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", nullptr);
        SetEnvironmentVariableW(L"QUIBSIM_PIPE", nullptr);
        if (!scenario.empty()) {
            DeleteFileW(scenario.c_str());
        }
    }

    void UseScenario(const char* text)
    {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        scenario = std::wstring(folder) + L"quib-no140-test.scenario";
        FILE* file = _wfopen(scenario.c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        fputs(text, file);
        fclose(file);
        SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", scenario.c_str());
    }

    void StartNo140()
    {
        const std::wstring exe = ThisProgramFolder() + NO140_PROGRAM;
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {sizeof startup};
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &info));
        CloseHandle(info.hThread);
        program.process = info.hProcess;
        program.processId = info.dwProcessId;
    }

    // The log's lines once one of them holds the text, or all of them at the time limit.
    std::vector<std::string> LinesOnceLogged(const std::string& text, DWORD timeLimitMs = 20000)
    {
        const ULONGLONG deadline = GetTickCount64() + timeLimitMs;
        std::vector<std::string> lines = ReadLines(log);
        while (CountLinesWith(lines, text) == 0 && GetTickCount64() < deadline) {
            Sleep(50);
            lines = ReadLines(log);
        }
        return lines;
    }

    std::wstring log;
    std::wstring scenario;
    ProgramProcess program;
};

// Poll ticks logged after the line that holds the text: the window thread's work after it.
int PollsAfter(const std::vector<std::string>& lines, const std::string& text)
{
    const auto marker = std::find_if(lines.begin(), lines.end(),
                                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
    if (marker == lines.end()) {
        return 0;
    }
    return CountLinesWith(std::vector<std::string>(marker, lines.end()), "call=TpIsDisabled");
}

TEST_F(No140Program, LinksShowsTheMissingIconAndRunsOn)
{
    // Every report changes the status, so each is drawn; the firm three-finger ones pick the
    // slot whose icon is missing, the others pick loaded icons on either side of them.
    UseScenario("wait 300\n"
                "status 0 3 0\n"
                "wait 100\n"
                "mark three fingers, firmest\n"
                "status 0 3 4\n"
                "wait 300\n"
                "status 0 2 4\n"
                "wait 100\n"
                "status 0 3 200\n"
                "wait 300\n"
                "status 0x01 3 4\n"
                "wait 100\n"
                "status 0x02 3 4\n"
                "wait 100\n"
                "status 0 0 0\n"
                "wait 300\n"
                "mark done\n");
    StartNo140();
    ASSERT_NE(program.process, nullptr);
    HWND window = WaitForProgramWindow(program.processId);
    ASSERT_NE(window, nullptr);

    std::vector<std::string> lines = LinesOnceLogged("text=done");
    ASSERT_EQ(CountLinesWith(lines, "text=done"), 1) << "the scenario did not play to its end";
    ASSERT_EQ(CountLinesWith(lines, "call=TpConnect"), 1);
    const auto connect = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("call=TpConnect") != std::string::npos;
    });
    EXPECT_NE(connect->find(" ret=1"), std::string::npos) << *connect;
    EXPECT_EQ(CountLinesWith(lines, "event=deliver"), 7);

    // The window thread goes on polling after the missing icon was drawn; wait for the
    // poll to be seen well past the last report.
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (PollsAfter(lines, "text=done") < 20 && GetTickCount64() < deadline) {
        Sleep(50);
        lines = ReadLines(log);
    }
    EXPECT_GE(PollsAfter(lines, "text=three fingers, firmest"), 20);
    EXPECT_GE(PollsAfter(lines, "text=done"), 20);
    EXPECT_EQ(CountLinesWith(lines, "event=error"), 0);
    ASSERT_EQ(WaitForSingleObject(program.process, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the program ended";

    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, IDM_EXIT, 0));
    EXPECT_EQ(WaitForExit(program), 0u);
    EXPECT_EQ(CountLinesWith(ReadLines(log), "call=TpDisconnect"), 1);
}

}  // namespace
