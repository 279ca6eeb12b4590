// The icon groups' directories and their images: the application icon's ten images in
// their order, one 16x16 32-bit image in each notification-area group, and the cursor.
#include "res/resource.h"
#include "tests/windows/resources/icon_groups.h"
#include "tests/windows/resources/resource_test.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct ImageFormat {
    int size; // width and height in pixels
    int bitCount;
};

// One entry of a group directory, as the system reads it to pick an image.
struct GroupEntry {
    int width;
    int height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t bytesInImage;
    WORD imageId;
};

// Directory of an icon group: reserved 0, type 1, the count, then 14-byte entries.
std::vector<GroupEntry> ReadIconDirectory(const std::vector<uint8_t>& bytes, bool& wellFormed)
{
    ByteReader reader = MakeReader(bytes);
    uint16_t reserved = ReadWord(reader);
    uint16_t type = ReadWord(reader);
    uint16_t count = ReadWord(reader);
    std::vector<GroupEntry> entries;
    for (uint16_t i = 0; i < count && !reader.failed; ++i) {
        GroupEntry entry{};
        // A stored width or height of 0 stands for 256.
        entry.width = ReadByte(reader);
        entry.width = entry.width == 0 ? 256 : entry.width;
        entry.height = ReadByte(reader);
        entry.height = entry.height == 0 ? 256 : entry.height;
        SkipBytes(reader, 2); // colour count and reserved byte
        entry.planes = ReadWord(reader);
        entry.bitCount = ReadWord(reader);
        entry.bytesInImage = ReadDword(reader);
        entry.imageId = ReadWord(reader);
        entries.push_back(entry);
    }
    wellFormed = !reader.failed && reserved == 0 && type == 1 && BytesLeft(reader) == 0;
    return entries;
}

struct BitmapHeader {
    uint32_t headerSize;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t colorsUsed;
};

BitmapHeader ReadBitmapHeader(ByteReader& reader)
{
    BitmapHeader header{};
    header.headerSize = ReadDword(reader);
    header.width = ReadLong(reader);
    header.height = ReadLong(reader);
    header.planes = ReadWord(reader);
    header.bitCount = ReadWord(reader);
    header.compression = ReadDword(reader);
    SkipBytes(reader, 12); // image size, resolution
    header.colorsUsed = ReadDword(reader);
    SkipBytes(reader, 4); // important colours
    return header;
}

// Bytes of an uncompressed icon image: header, palette, colour rows and the 1-bit
// transparency mask, each row padded to 32 bits.
size_t BitmapImageSize(const BitmapHeader& header, int size)
{
    size_t paletteEntries = header.colorsUsed != 0 ? header.colorsUsed
                            : header.bitCount <= 8 ? (1u << header.bitCount)
                                                   : 0;
    size_t colorRow = ((size * header.bitCount + 31) / 32) * 4;
    size_t maskRow = ((size + 31) / 32) * 4;
    return header.headerSize + paletteEntries * 4 + (colorRow + maskRow) * size;
}

void ExpectBitmapImage(const std::vector<uint8_t>& image, ImageFormat format)
{
    ByteReader reader = MakeReader(image);
    BitmapHeader header = ReadBitmapHeader(reader);
    ASSERT_FALSE(reader.failed);
    EXPECT_EQ(header.headerSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header.width, format.size);
    EXPECT_EQ(header.height, 2 * format.size) << "colour rows and mask rows";
    EXPECT_EQ(header.planes, 1);
    EXPECT_EQ(header.bitCount, format.bitCount);
    EXPECT_EQ(header.compression, static_cast<uint32_t>(BI_RGB));
    EXPECT_EQ(image.size(), BitmapImageSize(header, format.size));
}

uint32_t BigEndian(const std::vector<uint8_t>& bytes, size_t at)
{
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
           (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

// A PNG stream: signature, then the IHDR chunk with width, height, bit depth 8 and
// colour type 6 (RGB with alpha).
void ExpectPngImage(const std::vector<uint8_t>& image, ImageFormat format)
{
    static const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GE(image.size(), 26u);
    EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), image.begin()));
    EXPECT_EQ(std::string(image.begin() + 12, image.begin() + 16), "IHDR");
    EXPECT_EQ(BigEndian(image, 16), static_cast<uint32_t>(format.size));
    EXPECT_EQ(BigEndian(image, 20), static_cast<uint32_t>(format.size));
    EXPECT_EQ(image[24], 8) << "bits per channel";
    EXPECT_EQ(image[25], 6) << "RGB with alpha";
}

void ExpectGroup(const IconGroup& group, const std::vector<ImageFormat>& formats)
{
    bool wellFormed = false;
    std::vector<GroupEntry> entries =
        ReadIconDirectory(ResourceBytes(RT_GROUP_ICON, group.id, group.language), wellFormed);
    ASSERT_TRUE(wellFormed);
    ASSERT_EQ(entries.size(), formats.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        const GroupEntry& entry = entries[i];
        EXPECT_EQ(entry.width, formats[i].size);
        EXPECT_EQ(entry.height, formats[i].size);
        EXPECT_EQ(entry.planes, 1);
        EXPECT_EQ(entry.bitCount, formats[i].bitCount);

        // The image lives beside its group, in the group's language.
        std::vector<uint8_t> image = ResourceBytes(RT_ICON, entry.imageId, group.language);
        ASSERT_FALSE(image.empty());
        EXPECT_EQ(entry.bytesInImage, image.size());
        if (formats[i].size == 256) {
            ExpectPngImage(image, formats[i]);
        } else {
            ExpectBitmapImage(image, formats[i]);
        }
    }
}

using IconImages = ResourceTest;

TEST_F(IconImages, ApplicationIconHoldsTenImagesInOrder)
{
    // Only the 256x256 image is PNG-compressed; all others are bitmaps with a mask.
    ExpectGroup(kIconGroups[0], {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8},
                                 {256, 32}, {128, 32}, {48, 32}, {32, 32}, {16, 32}});
}

TEST_F(IconImages, EachTrayGroupHoldsOneSmall32BitImage)
{
    for (const IconGroup& group : kIconGroups) {
        if (group.id != IDI_APP) {
            SCOPED_TRACE("icon group " + std::to_string(group.id));
            ExpectGroup(group, {{16, 32}});
        }
    }
}

// What the icon set does at start-up: every group yields a 16x16 icon.
TEST_F(IconImages, EveryGroupLoadsAtSixteenPixels)
{
    for (const IconGroup& group : kIconGroups) {
        SCOPED_TRACE("icon group " + std::to_string(group.id));
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(group.id), IMAGE_ICON,
                                                   16, 16, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        ASSERT_NE(info.hbmColor, nullptr);
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, 16);
        EXPECT_EQ(colour.bmHeight, 16);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// The cursor group: one 32x32 monochrome image whose hot spot is (16, 9).
TEST_F(IconImages, CursorIsOneMonochromePointer)
{
    std::vector<uint8_t> directory = ResourceBytes(RT_GROUP_CURSOR, IDC_POINTER, kChineseTaiwan);
    ByteReader reader = MakeReader(directory);
    EXPECT_EQ(ReadWord(reader), 0);
    EXPECT_EQ(ReadWord(reader), 2) << "a cursor directory";
    ASSERT_EQ(ReadWord(reader), 1);
    EXPECT_EQ(ReadWord(reader), 32);
    EXPECT_EQ(ReadWord(reader), 64) << "the stored height counts the mask rows";
    EXPECT_EQ(ReadWord(reader), 1);
    EXPECT_EQ(ReadWord(reader), 1) << "monochrome";
    uint32_t bytesInImage = ReadDword(reader);
    WORD imageId = ReadWord(reader);
    ASSERT_FALSE(reader.failed);
    EXPECT_EQ(BytesLeft(reader), 0u);

    std::vector<uint8_t> image = ResourceBytes(RT_CURSOR, imageId, kChineseTaiwan);
    EXPECT_EQ(bytesInImage, image.size());
    ByteReader imageReader = MakeReader(image);
    EXPECT_EQ(ReadWord(imageReader), 16) << "hot spot x";
    EXPECT_EQ(ReadWord(imageReader), 9) << "hot spot y";
    BitmapHeader header = ReadBitmapHeader(imageReader);
    ASSERT_FALSE(imageReader.failed);
    EXPECT_EQ(header.width, 32);
    EXPECT_EQ(header.height, 64);
    EXPECT_EQ(header.bitCount, 1);
    EXPECT_EQ(header.compression, static_cast<uint32_t>(BI_RGB));
}

} // namespace
