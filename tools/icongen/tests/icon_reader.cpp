#include "tools/icongen/tests/icon_reader.h"

#include <fstream>
#include <iterator>

namespace {

uint32_t Read16(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8);
}

uint32_t Read32(const std::vector<uint8_t>& b, size_t at)
{
    return Read16(b, at) | (Read16(b, at + 2) << 16);
}

uint32_t ReadBig32(const std::vector<uint8_t>& b, size_t at)
{
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}

size_t RowBytes(int width, int bitCount)
{
    return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

size_t PaletteEntries(const DibHeader& header)
{
    if (header.bitCount > 8) {
        return header.coloursUsed;
    }
    return header.coloursUsed != 0 ? header.coloursUsed : (size_t{1} << header.bitCount);
}

}  // namespace

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool ParseIconFile(const std::vector<uint8_t>& raw, IconFileData& file, std::string& error)
{
    file = {0, {}, raw};
    if (raw.size() < 6) {
        error = "shorter than the directory header";
        return false;
    }
    if (Read16(raw, 0) != 0) {
        error = "reserved word not 0";
        return false;
    }
    file.type = static_cast<int>(Read16(raw, 2));
    size_t count = Read16(raw, 4);
    if (raw.size() < 6 + 16 * count) {
        error = "directory runs past the end";
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        size_t at = 6 + 16 * i;
        IconEntry e{raw[at] == 0 ? 256 : raw[at], raw[at + 1] == 0 ? 256 : raw[at + 1],
                    raw[at + 2], raw[at + 3], static_cast<int>(Read16(raw, at + 4)),
                    static_cast<int>(Read16(raw, at + 6)), Read32(raw, at + 8),
                    Read32(raw, at + 12)};
        if (e.offset < 6 + 16 * count || e.offset > raw.size() || e.bytes > raw.size() - e.offset) {
            error = "image " + std::to_string(i) + " lies outside the file";
            return false;
        }
        file.entries.push_back(e);
    }
    return true;
}

bool IsPng(const IconFileData& file, const IconEntry& entry)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (entry.bytes < 8) {
        return false;
    }
    for (size_t i = 0; i < 8; ++i) {
        if (file.raw[entry.offset + i] != signature[i]) {
            return false;
        }
    }
    return true;
}

bool ReadPngHeader(const IconFileData& file, const IconEntry& entry, int& width, int& height,
                   int& colourType)
{
    // Signature, then IHDR: length, type, width, height, depth, colour type.
    if (!IsPng(file, entry) || entry.bytes < 8 + 8 + 13) {
        return false;
    }
    size_t at = entry.offset + 8;
    const std::vector<uint8_t>& b = file.raw;
    if (ReadBig32(b, at) != 13 || b[at + 4] != 'I' || b[at + 5] != 'H' || b[at + 6] != 'D' ||
        b[at + 7] != 'R') {
        return false;
    }
    width = static_cast<int>(ReadBig32(b, at + 8));
    height = static_cast<int>(ReadBig32(b, at + 12));
    colourType = b[at + 17];
    return b[at + 16] == 8;
}

bool ReadDibHeader(const IconFileData& file, const IconEntry& entry, DibHeader& header)
{
    if (entry.bytes < 40) {
        return false;
    }
    const std::vector<uint8_t>& b = file.raw;
    size_t at = entry.offset;
    header = {Read32(b, at), static_cast<int32_t>(Read32(b, at + 4)),
              static_cast<int32_t>(Read32(b, at + 8)), static_cast<int>(Read16(b, at + 12)),
              static_cast<int>(Read16(b, at + 14)), Read32(b, at + 16), Read32(b, at + 32)};
    return header.headerSize == 40;
}

size_t ExpectedDibBytes(const DibHeader& header)
{
    int rows = header.height / 2;
    return header.headerSize + 4 * PaletteEntries(header) +
           RowBytes(header.width, header.bitCount) * rows + RowBytes(header.width, 1) * rows;
}

bool DecodeDib(const IconFileData& file, const IconEntry& entry, DecodedImage& image)
{
    DibHeader h;
    if (!ReadDibHeader(file, entry, h) || h.compression != 0 || h.width <= 0 ||
        h.height <= 0 || h.height % 2 != 0 || entry.bytes < ExpectedDibBytes(h)) {
        return false;
    }
    int bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 32) {
        return false;
    }
    const std::vector<uint8_t>& b = file.raw;
    int width = h.width;
    int height = h.height / 2;
    size_t palette = entry.offset + h.headerSize;
    size_t colours = palette + 4 * PaletteEntries(h);
    size_t mask = colours + RowBytes(width, bits) * height;
    image = {width, height, std::vector<Rgba8>(static_cast<size_t>(width) * height),
             std::vector<uint8_t>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        // Both bitmaps are stored bottom row first.
        size_t row = colours + RowBytes(width, bits) * (height - 1 - y);
        size_t maskRow = mask + RowBytes(width, 1) * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            Rgba8& p = image.pixels[static_cast<size_t>(y) * width + x];
            if (bits == 32) {
                size_t at = row + 4 * static_cast<size_t>(x);
                p = {b[at + 2], b[at + 1], b[at], b[at + 3]};
            } else {
                int perByte = 8 / bits;
                int shift = (perByte - 1 - x % perByte) * bits;
                size_t index = (b[row + x / perByte] >> shift) & ((1 << bits) - 1);
                if (index >= PaletteEntries(h)) {
                    return false;
                }
                size_t at = palette + 4 * index;
                p = {b[at + 2], b[at + 1], b[at], 255};
            }
            image.mask[static_cast<size_t>(y) * width + x] =
                (b[maskRow + x / 8] >> (7 - x % 8)) & 1;
        }
    }
    return true;
}
