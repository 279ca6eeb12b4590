// The configurator's path from the registry, read by a separate program under a debugger,
// against Wine's real registry.
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/support/debug_run.h"

namespace {

const wchar_t KEY[] = L"SOFTWARE\\QUIB\\QUIB Touch Pad";
const wchar_t VALUE[] = L"InstalledDir";
const std::wstring SUFFIX = L"DuVOViraro\\x64\\QuibTPConfigure64.exe";

std::string Bytes(const std::wstring& text, bool terminated)
{
    std::string bytes(reinterpret_cast<const char*>(text.c_str()), text.size() * sizeof(wchar_t));
    if (terminated) {
        bytes.append(2, '\0');
    }
    return bytes;
}

void DeleteKey()
{
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, KEY);
}

void SetValue(DWORD type, const std::string& data)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, VALUE, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

DebugRun RunProbe()
{
    return RunUnderDebugger(L"\"" + ThisProgramFolder() + L"configurator_path_probe.exe\"");
}

class ConfiguratorPathTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteKey(); }
    void TearDown() override { DeleteKey(); }
};

TEST_F(ConfiguratorPathTest, PathIsBuiltFromTheInstallDirectory)
{
    const std::wstring dir259 = L"C:\\" + std::wstring(255, L'd') + L"\\";
    const std::wstring dir260(260, L'e');
    const struct {
        const char* name;
        DWORD type;
        std::string data;
        std::wstring path;
    } cases[] = {
        {"with its backslash", REG_SZ, Bytes(L"D:\\Tools\\", true), L"D:\\Tools\\" + SUFFIX},
        {"without its backslash", REG_SZ, Bytes(L"D:\\Tools", true), L"D:\\Tools" + SUFFIX},
        {"259 characters fill the buffer", REG_SZ, Bytes(dir259, true), dir259 + SUFFIX},
        // Wine's registry refuses string data that leaves no room for a terminator, so the
        // full 520 bytes without one are stored as binary data here.
        {"520 bytes without a terminator", REG_BINARY, Bytes(dir260, false), dir260 + SUFFIX},
        {"short, without a terminator", REG_SZ, Bytes(L"C:\\X\\", false), L"C:\\X\\" + SUFFIX},
        {"odd length", REG_SZ, Bytes(L"C:\\X\\", false) + "Z", L"C:\\X\\" + SUFFIX},
        {"text ends at the first zero", REG_SZ, Bytes(std::wstring(L"C:\\A\\\0junk", 9), true), L"C:\\A\\" + SUFFIX},
        {"empty", REG_SZ, "", SUFFIX},
        {"expandable, not expanded", REG_EXPAND_SZ, Bytes(L"%ProgramFiles%\\QUIB\\", true),
         L"%ProgramFiles%\\QUIB\\" + SUFFIX},
        {"binary taken as text", REG_BINARY, Bytes(L"E:\\Pad\\", false), L"E:\\Pad\\" + SUFFIX},
        {"a number taken as text", REG_DWORD, std::string("B\0A\0", 4), L"BA" + SUFFIX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetValue(c.type, c.data);
        const DebugRun run = RunProbe();
        ASSERT_TRUE(run.started);
        ASSERT_TRUE(run.ended);
        ASSERT_EQ(run.lines.size(), 1u);
        EXPECT_EQ(run.lines[0], c.path);
        EXPECT_EQ(run.exitCode, c.path.size());
        DeleteKey();
    }
}

TEST_F(ConfiguratorPathTest, UnusableValueGivesAnEmptyLine)
{
    const struct {
        const char* name;
        DWORD type;
        std::string data;
    } cases[] = {
        {"260 characters and a terminator", REG_SZ, Bytes(std::wstring(260, L'f'), true)},
        {"521 bytes", REG_BINARY, std::string(521, 'g')},
        {"a long value", REG_SZ, Bytes(std::wstring(2000, L'h'), true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetValue(c.type, c.data);
        const DebugRun run = RunProbe();
        ASSERT_TRUE(run.ended);
        ASSERT_EQ(run.lines.size(), 1u);
        EXPECT_EQ(run.lines[0], L"");
        EXPECT_EQ(run.exitCode, 0u);
        DeleteKey();
    }
}

TEST_F(ConfiguratorPathTest, MissingValueGivesAnEmptyLine)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const DebugRun run = RunProbe();
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_EQ(run.lines[0], L"");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(ConfiguratorPathTest, MissingKeyWritesNothing)
{
    const DebugRun run = RunProbe();
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.lines.empty());
    EXPECT_EQ(run.exitCode, 0u);
}

}  // namespace
