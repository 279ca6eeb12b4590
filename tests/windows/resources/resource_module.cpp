#include "tests/windows/resources/resource_module.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>

namespace {

bool IsOption(const wchar_t* argument)
{
    return argument[0] == L'-';
}

bool IsRelativePath(const std::wstring& path)
{
    bool hasDrive = path.size() >= 2 && path[1] == L':';
    bool rooted = !path.empty() && (path[0] == L'\\' || path[0] == L'/');
    return !hasDrive && !rooted;
}

std::wstring TestProgramDirectory()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    size_t slash = directory.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : directory.substr(0, slash + 1);
}

std::wstring ModuleArgument()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring chosen = L"resource_probe.exe";
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        if (!IsOption(arguments[i])) {
            chosen = arguments[i];
            break;
        }
    }
    LocalFree(arguments);
    return chosen;
}

std::string Utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &result[0], size, nullptr, nullptr);
    }
    return result;
}

HMODULE LoadModuleUnderTest()
{
    std::wstring path = ModuleUnderTestPath();
    std::printf("resources of %s\n", Utf8(path).c_str());
    return LoadLibraryExW(path.c_str(), nullptr,
                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

} // namespace

std::wstring ModuleUnderTestPath()
{
    std::wstring path = ModuleArgument();
    return IsRelativePath(path) ? TestProgramDirectory() + path : path;
}

HMODULE ModuleUnderTest()
{
    // Loaded once and kept until the end of the run.
    static HMODULE module = LoadModuleUnderTest();
    return module;
}

bool HasResourceLanguage(LPCWSTR type, WORD id, LANGID language)
{
    struct Search {
        LANGID wanted;
        bool found;
    } search{language, false};
    EnumResourceLanguagesW(
        ModuleUnderTest(), type, MAKEINTRESOURCEW(id),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD listed, LONG_PTR context) -> BOOL {
            auto* state = reinterpret_cast<Search*>(context);
            state->found = state->found || listed == state->wanted;
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&search));
    return search.found;
}

std::vector<uint8_t> ResourceBytes(LPCWSTR type, WORD id, LANGID language)
{
    // FindResourceExW falls back to other languages; only an exact match counts here.
    if (!HasResourceLanguage(type, id, language)) {
        return {};
    }
    HMODULE module = ModuleUnderTest();
    HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
    if (found == nullptr) {
        return {};
    }
    const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    if (data == nullptr) {
        return {};
    }
    DWORD size = SizeofResource(module, found);
    return std::vector<uint8_t>(data, data + size);
}

ByteReader MakeReader(const std::vector<uint8_t>& bytes)
{
    return ByteReader{&bytes, 0, bytes.size(), false};
}

ByteReader SubReader(const ByteReader& outer, size_t begin, size_t end)
{
    bool fits = begin <= end && end <= outer.end;
    return ByteReader{outer.bytes, begin, fits ? end : begin, outer.failed || !fits};
}

size_t BytesLeft(const ByteReader& reader)
{
    return reader.pos <= reader.end ? reader.end - reader.pos : 0;
}

void SkipBytes(ByteReader& reader, size_t count)
{
    if (count > BytesLeft(reader)) {
        reader.failed = true;
        reader.pos = reader.end;
        return;
    }
    reader.pos += count;
}

uint8_t ReadByte(ByteReader& reader)
{
    if (BytesLeft(reader) < 1) {
        reader.failed = true;
        return 0;
    }
    return (*reader.bytes)[reader.pos++];
}

uint16_t ReadWord(ByteReader& reader)
{
    uint16_t low = ReadByte(reader);
    uint16_t high = ReadByte(reader);
    return static_cast<uint16_t>(low | (high << 8));
}

uint32_t ReadDword(ByteReader& reader)
{
    uint32_t low = ReadWord(reader);
    uint32_t high = ReadWord(reader);
    return low | (high << 16);
}

int32_t ReadLong(ByteReader& reader)
{
    return static_cast<int32_t>(ReadDword(reader));
}

std::wstring ReadWideString(ByteReader& reader)
{
    std::wstring text;
    while (!reader.failed) {
        wchar_t unit = static_cast<wchar_t>(ReadWord(reader));
        if (reader.failed || unit == L'\0') {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

void AlignReader(ByteReader& reader, size_t alignment)
{
    size_t padding = (alignment - reader.pos % alignment) % alignment;
    reader.pos += std::min(padding, BytesLeft(reader));
}
