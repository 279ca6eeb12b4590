// The committed icon and cursor files have the layout the resource compiler and Windows
// expect: directory, image sizes and depths, bitmap headers and everything in bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tools/icongen/tests/icon_reader.h"

namespace {

IconFileData Load(const std::string& name)
{
    IconFileData file;
    std::string error;
    std::vector<uint8_t> raw = ReadBytes(std::string(ICON_DIR) + "/" + name);
    EXPECT_FALSE(raw.empty()) << name << " is missing or empty";
    EXPECT_TRUE(ParseIconFile(raw, file, error)) << name << ": " << error;
    return file;
}

// Checks a bitmap image against its directory entry and returns its header.
DibHeader ExpectDib(const IconFileData& file, const IconEntry& entry, int bitCount,
                    const std::string& what)
{
    DibHeader h{};
    EXPECT_FALSE(IsPng(file, entry)) << what;
    EXPECT_TRUE(ReadDibHeader(file, entry, h)) << what;
    EXPECT_EQ(h.width, entry.width) << what;
    EXPECT_EQ(h.height, 2 * entry.height) << what << ": height must count colour and mask";
    EXPECT_EQ(h.planes, 1) << what;
    EXPECT_EQ(h.bitCount, bitCount) << what;
    EXPECT_EQ(h.compression, 0u) << what;
    EXPECT_EQ(entry.bytes, ExpectedDibBytes(h)) << what;
    return h;
}

// No two images share bytes, and none overlaps the directory.
void ExpectDisjoint(const IconFileData& file)
{
    std::vector<IconEntry> sorted = file.entries;
    std::sort(sorted.begin(), sorted.end(),
              [](const IconEntry& a, const IconEntry& b) { return a.offset < b.offset; });
    uint32_t end = static_cast<uint32_t>(6 + 16 * file.entries.size());
    for (const IconEntry& e : sorted) {
        EXPECT_GE(e.offset, end);
        end = e.offset + e.bytes;
    }
    EXPECT_LE(end, file.raw.size());
}

struct AppImageLayout {
    int size;
    int bitCount;
};

const AppImageLayout APP_IMAGES[] = {{32, 4},  {16, 4},   {48, 8},  {32, 8},  {16, 8},
                                     {256, 32}, {128, 32}, {48, 32}, {32, 32}, {16, 32}};

const int TRAY_RESOURCES[] = {129, 130, 131, 132, 133, 134, 135, 136, 137, 138,
                              139, 140, 141, 142, 143, 144, 145, 146, 147, 32513};

TEST(AppIcon, HoldsTheTenImagesInOrder)
{
    IconFileData file = Load("app107.ico");
    EXPECT_EQ(file.type, 1);
    ASSERT_EQ(file.entries.size(), std::size(APP_IMAGES));
    ExpectDisjoint(file);
    for (size_t i = 0; i < file.entries.size(); ++i) {
        const IconEntry& e = file.entries[i];
        const AppImageLayout& expected = APP_IMAGES[i];
        std::string what = "image " + std::to_string(i + 1);
        EXPECT_EQ(e.width, expected.size) << what;
        EXPECT_EQ(e.height, expected.size) << what;
        EXPECT_EQ(e.reserved, 0) << what;
        EXPECT_EQ(e.field1, 1) << what << ": planes";
        EXPECT_EQ(e.field2, expected.bitCount) << what;
        EXPECT_EQ(e.colourCount, expected.bitCount == 4 ? 16 : 0) << what;
    }
}

TEST(AppIcon, LargestImageIsPngAndTheRestBitmaps)
{
    IconFileData file = Load("app107.ico");
    ASSERT_EQ(file.entries.size(), std::size(APP_IMAGES));
    for (size_t i = 0; i < file.entries.size(); ++i) {
        const IconEntry& e = file.entries[i];
        std::string what = "image " + std::to_string(i + 1);
        if (APP_IMAGES[i].size == 256) {
            int width = 0, height = 0, colourType = 0;
            EXPECT_TRUE(ReadPngHeader(file, e, width, height, colourType)) << what;
            EXPECT_EQ(width, 256);
            EXPECT_EQ(height, 256);
            EXPECT_EQ(colourType, 6) << "RGBA";
            continue;
        }
        DibHeader h = ExpectDib(file, e, APP_IMAGES[i].bitCount, what);
        if (h.bitCount <= 8) {
            EXPECT_EQ(h.coloursUsed, 1u << h.bitCount) << what << ": palette size";
        }
    }
}

TEST(TrayIcons, EachHoldsOne16x16TruecolourBitmap)
{
    for (int resource : TRAY_RESOURCES) {
        std::string name = "tray" + std::to_string(resource) + ".ico";
        IconFileData file = Load(name);
        EXPECT_EQ(file.type, 1) << name;
        ASSERT_EQ(file.entries.size(), 1u) << name;
        const IconEntry& e = file.entries[0];
        EXPECT_EQ(e.width, 16) << name;
        EXPECT_EQ(e.height, 16) << name;
        EXPECT_EQ(e.colourCount, 0) << name;
        EXPECT_EQ(e.field1, 1) << name;
        EXPECT_EQ(e.field2, 32) << name;
        ExpectDib(file, e, 32, name);
        ExpectDisjoint(file);
    }
}

TEST(Cursor, HoldsOneMonochrome32x32ImageWithItsHotSpot)
{
    IconFileData file = Load("cursor152.cur");
    EXPECT_EQ(file.type, 2);
    ASSERT_EQ(file.entries.size(), 1u);
    const IconEntry& e = file.entries[0];
    EXPECT_EQ(e.width, 32);
    EXPECT_EQ(e.height, 32);
    EXPECT_EQ(e.colourCount, 2);
    EXPECT_EQ(e.field1, 16) << "hot spot x";
    EXPECT_EQ(e.field2, 9) << "hot spot y";
    DibHeader h = ExpectDib(file, e, 1, "cursor");
    EXPECT_EQ(h.coloursUsed, 2u);
    ExpectDisjoint(file);
}

// The reader itself must refuse what Windows would refuse, or the checks above prove
// nothing.
TEST(IconReader, RefusesDamagedFiles)
{
    std::vector<uint8_t> good = ReadBytes(std::string(ICON_DIR) + "/tray129.ico");
    ASSERT_GT(good.size(), 22u);
    IconFileData file;
    std::string error;
    ASSERT_TRUE(ParseIconFile(good, file, error)) << error;

    std::vector<uint8_t> cut(good.begin(), good.begin() + 20);
    EXPECT_FALSE(ParseIconFile(cut, file, error)) << "directory cut short";

    std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
    EXPECT_FALSE(ParseIconFile(truncated, file, error)) << "image cut short";

    std::vector<uint8_t> moved = good;
    moved[6 + 12 + 1] = 0x40;  // offset far beyond the end
    EXPECT_FALSE(ParseIconFile(moved, file, error)) << "image outside the file";
}

}  // namespace
