// The version record 1 (Chinese, Taiwan): fixed file information, one string block
// "040404b0" with eight keys in their order, and one translation.
#include "tests/windows/resources/resource_test.h"

#include <string>
#include <vector>

namespace {

// One node of the stored record: length, value length, type (1 text, 0 binary), key,
// value, children, each part aligned to 32 bits.
struct VersionNode {
    std::wstring key;
    uint16_t type;
    std::vector<uint8_t> value;
    std::wstring text; // the value of a text node, up to its terminator
    std::vector<VersionNode> children;
    bool wellFormed;
};

VersionNode ReadVersionNode(ByteReader& reader)
{
    VersionNode node{};
    size_t begin = reader.pos;
    uint16_t length = ReadWord(reader);
    uint16_t valueLength = ReadWord(reader);
    node.type = ReadWord(reader);
    ByteReader inside = SubReader(reader, reader.pos, begin + length);
    node.key = ReadWideString(inside);
    AlignReader(inside, 4);
    // A text value's length counts characters, a binary one's bytes.
    size_t valueBytes = node.type == 1 ? valueLength * sizeof(wchar_t) : valueLength;
    ByteReader value = SubReader(inside, inside.pos, inside.pos + valueBytes);
    node.value.assign(inside.bytes->begin() + value.pos, inside.bytes->begin() + value.end);
    if (node.type == 1) {
        node.text = ReadWideString(value);
    }
    SkipBytes(inside, valueBytes);
    AlignReader(inside, 4);
    bool childrenWellFormed = true;
    while (BytesLeft(inside) > 0 && !inside.failed) {
        node.children.push_back(ReadVersionNode(inside));
        childrenWellFormed = childrenWellFormed && node.children.back().wellFormed;
        AlignReader(inside, 4);
    }
    node.wellFormed = !reader.failed && !inside.failed && length >= 6 && childrenWellFormed;
    SkipBytes(reader, begin + length - reader.pos);
    return node;
}

std::vector<std::wstring> Keys(const VersionNode& node)
{
    std::vector<std::wstring> keys;
    for (const VersionNode& child : node.children) {
        keys.push_back(child.key);
    }
    return keys;
}

class VersionRecord : public ResourceTest {
protected:
    void SetUp() override
    {
        ResourceTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        std::wstring path = ModuleUnderTestPath();
        DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
        ASSERT_GT(size, 0u);
        fileInfo.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, fileInfo.data()));
    }

    // What a file's properties show, read the way the system reads it.
    std::wstring StringValue(const std::wstring& key)
    {
        std::wstring query = L"\\StringFileInfo\\040404b0\\" + key;
        wchar_t* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(fileInfo.data(), query.c_str(), reinterpret_cast<void**>(&value),
                            &length) || value == nullptr) {
            return L"<missing>";
        }
        return std::wstring(value);
    }

    std::vector<uint8_t> fileInfo;
};

TEST_F(VersionRecord, FixedInformation)
{
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(fileInfo.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // 1.0.0.12: major and minor in the high word pair, build and revision in the low.
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(0, 1)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(12, 0)));
    EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(0, 1)));
    EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(MAKELONG(12, 0)));
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
}

TEST_F(VersionRecord, TranslationIsChineseTaiwanInUtf16)
{
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(fileInfo.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 2 * sizeof(WORD)) << "exactly one translation";
    EXPECT_EQ(translation[0], 0x0404);
    EXPECT_EQ(translation[1], 1200);
}

TEST_F(VersionRecord, StringValues)
{
    EXPECT_EQ(StringValue(L"CompanyName"), L"QUIB");
    EXPECT_EQ(StringValue(L"FileVersion"), L"1.0.0.12");
    EXPECT_EQ(StringValue(L"InternalName"), L"QuibTPCenter.exe");
    EXPECT_EQ(StringValue(L"OriginalFilename"), L"QuibTPCenter.exe");
    EXPECT_EQ(StringValue(L"ProductName"), L"QUIB Touch Pad");
    EXPECT_EQ(StringValue(L"ProductVersion"), L"1.0.0.12");
    for (const wchar_t* described : {L"FileDescription", L"LegalCopyright"}) {
        std::wstring value = StringValue(described);
        EXPECT_FALSE(value.empty()) << "empty";
        EXPECT_NE(value, L"<missing>");
    }
}

// The stored record, walked node by node: the order of the blocks and keys is only seen here.
TEST_F(VersionRecord, StoredInOneLanguageWithKeysInOrder)
{
    std::vector<uint8_t> bytes = ResourceBytes(RT_VERSION, 1, kChineseTaiwan);
    ASSERT_FALSE(bytes.empty()) << "no version record 1 in language 1028";
    ByteReader reader = MakeReader(bytes);
    VersionNode root = ReadVersionNode(reader);
    ASSERT_TRUE(root.wellFormed);
    EXPECT_EQ(BytesLeft(reader), 0u);

    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    EXPECT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    ASSERT_EQ(Keys(root), (std::vector<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));

    const VersionNode& strings = root.children[0];
    ASSERT_EQ(Keys(strings), (std::vector<std::wstring>{L"040404b0"}));
    const VersionNode& block = strings.children[0];
    EXPECT_EQ(Keys(block),
              (std::vector<std::wstring>{L"CompanyName", L"FileDescription", L"FileVersion",
                                         L"InternalName", L"LegalCopyright", L"OriginalFilename",
                                         L"ProductName", L"ProductVersion"}));
    for (const VersionNode& entry : block.children) {
        EXPECT_EQ(entry.type, 1) << "text value";
        EXPECT_TRUE(entry.children.empty());
        EXPECT_EQ(StringValue(entry.key), entry.text) << "stored and queried value agree";
    }

    const VersionNode& variables = root.children[1];
    ASSERT_EQ(Keys(variables), (std::vector<std::wstring>{L"Translation"}));
    EXPECT_EQ(variables.children[0].value, (std::vector<uint8_t>{0x04, 0x04, 0xB0, 0x04}));
}

} // namespace
