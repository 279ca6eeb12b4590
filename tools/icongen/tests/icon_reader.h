// Reads icon and cursor files as Windows would, independently of the generator: the
// directory, each image's bitmap header, and the pixels with their mask.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct IconEntry {
    int width;        // 256 for a stored 0
    int height;
    int colourCount;
    int reserved;
    int field1;       // planes in an icon, hot spot x in a cursor
    int field2;       // bit count in an icon, hot spot y in a cursor
    uint32_t bytes;
    uint32_t offset;
};

struct IconFileData {
    int type;  // 1 icon, 2 cursor
    std::vector<IconEntry> entries;
    std::vector<uint8_t> raw;
};

struct DibHeader {
    uint32_t headerSize;
    int32_t width;
    int32_t height;
    int planes;
    int bitCount;
    uint32_t compression;
    uint32_t coloursUsed;
};

struct Rgba8 {
    uint8_t r, g, b, a;
};

struct DecodedImage {
    int width;
    int height;
    std::vector<Rgba8> pixels;  // rows top to bottom; palette images opaque
    std::vector<uint8_t> mask;  // AND mask bits, 1 = transparent
};

std::vector<uint8_t> ReadBytes(const std::string& path);

// Fails (with a reason) when the header or any entry lies outside the file.
bool ParseIconFile(const std::vector<uint8_t>& raw, IconFileData& file, std::string& error);

bool IsPng(const IconFileData& file, const IconEntry& entry);
// The width and height from a PNG image's IHDR chunk, and its colour type.
bool ReadPngHeader(const IconFileData& file, const IconEntry& entry, int& width, int& height,
                   int& colourType);

bool ReadDibHeader(const IconFileData& file, const IconEntry& entry, DibHeader& header);
// The size a bitmap image must have: header, palette, colour rows and mask rows.
size_t ExpectedDibBytes(const DibHeader& header);

// Decodes a 1, 4, 8 or 32-bit bitmap image; fails on anything else or on a short image.
bool DecodeDib(const IconFileData& file, const IconEntry& entry, DecodedImage& image);

inline const Rgba8& PixelAt(const DecodedImage& image, int x, int y)
{
    return image.pixels[static_cast<size_t>(y) * image.width + x];
}

inline bool MaskedAt(const DecodedImage& image, int x, int y)
{
    return image.mask[static_cast<size_t>(y) * image.width + x] != 0;
}
