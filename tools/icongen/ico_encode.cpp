#include "tools/icongen/ico_encode.h"

#include "tools/icongen/png_encode.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Bitmap rows are padded to whole 32-bit words.
size_t RowBytes(int width, int bitCount)
{
    return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bitCount,
                   int paletteSize)
{
    size_t imageBytes = RowBytes(width, bitCount) * height + RowBytes(width, 1) * height;
    Put32(out, 40);                                   // header size
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height * 2));    // colour bitmap and mask together
    Put16(out, 1);                                    // planes
    Put16(out, static_cast<uint32_t>(bitCount));
    Put32(out, 0);                                    // BI_RGB
    Put32(out, static_cast<uint32_t>(imageBytes));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(paletteSize));
    Put32(out, 0);
}

void PutPalette(std::vector<uint8_t>& out, const std::vector<Pixel>& palette)
{
    for (const Pixel& p : palette) {
        out.push_back(p.b);
        out.push_back(p.g);
        out.push_back(p.r);
        out.push_back(0);
    }
}

// Rows bottom to top, one bit per pixel, most significant bit leftmost.
template <typename BitAt>
void PutBitRows(std::vector<uint8_t>& out, int width, int height, BitAt bitAt)
{
    size_t stride = RowBytes(width, 1);
    for (int y = height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < width; ++x) {
            if (bitAt(x, y)) {
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

std::vector<uint8_t> DirectoryHeader(int type, size_t count)
{
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(type));
    Put16(out, static_cast<uint32_t>(count));
    return out;
}

// Width and height 256 are written as 0 in the one-byte fields.
void PutEntry(std::vector<uint8_t>& out, const IconImage& image, uint32_t field1,
              uint32_t field2, uint32_t offset)
{
    out.push_back(static_cast<uint8_t>(image.width & 0xFF));
    out.push_back(static_cast<uint8_t>(image.height & 0xFF));
    out.push_back(static_cast<uint8_t>(image.colourCount & 0xFF));
    out.push_back(0);
    Put16(out, field1);
    Put16(out, field2);
    Put32(out, static_cast<uint32_t>(image.data.size()));
    Put32(out, offset);
}

}  // namespace

IconImage Dib32(const Image& image)
{
    IconImage icon{image.width, image.height, 32, 0, {}};
    PutInfoHeader(icon.data, image.width, image.height, 32, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const Pixel& p = At(image, x, y);
            icon.data.push_back(p.b);
            icon.data.push_back(p.g);
            icon.data.push_back(p.r);
            icon.data.push_back(p.a);
        }
    }
    PutBitRows(icon.data, image.width, image.height,
               [&image](int x, int y) { return IsMaskedOut(At(image, x, y)); });
    return icon;
}

IconImage DibIndexed(const IndexedImage& image, int bitCount)
{
    int colours = 1 << bitCount;
    IconImage icon{image.width, image.height, bitCount, bitCount < 8 ? colours : 0, {}};
    PutInfoHeader(icon.data, image.width, image.height, bitCount, colours);
    std::vector<Pixel> palette = image.palette;
    palette.resize(colours, Pixel{0, 0, 0, 255});
    PutPalette(icon.data, palette);
    size_t stride = RowBytes(image.width, bitCount);
    int perByte = 8 / bitCount;
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < image.width; ++x) {
            uint8_t index = image.indices[static_cast<size_t>(y) * image.width + x];
            int shift = (perByte - 1 - x % perByte) * bitCount;
            row[x / perByte] |= static_cast<uint8_t>(index << shift);
        }
        icon.data.insert(icon.data.end(), row.begin(), row.end());
    }
    PutBitRows(icon.data, image.width, image.height, [&image](int x, int y) {
        return image.transparent[static_cast<size_t>(y) * image.width + x] != 0;
    });
    return icon;
}

IconImage PngImage(const Image& image)
{
    return {image.width, image.height, 32, 0, EncodePng(image, true)};
}

IconImage DibMonochrome(const Image& image)
{
    IconImage icon{image.width, image.height, 1, 2, {}};
    PutInfoHeader(icon.data, image.width, image.height, 1, 2);
    PutPalette(icon.data, {Pixel{0, 0, 0, 255}, Pixel{255, 255, 255, 255}});
    auto white = [&image](int x, int y) {
        const Pixel& p = At(image, x, y);
        return !IsMaskedOut(p) && p.r + p.g + p.b >= 384;
    };
    PutBitRows(icon.data, image.width, image.height, white);
    PutBitRows(icon.data, image.width, image.height,
               [&image](int x, int y) { return IsMaskedOut(At(image, x, y)); });
    return icon;
}

std::vector<uint8_t> IconFile(const std::vector<IconImage>& images)
{
    std::vector<uint8_t> out = DirectoryHeader(1, images.size());
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const IconImage& image : images) {
        PutEntry(out, image, 1, static_cast<uint32_t>(image.bitCount), offset);
        offset += static_cast<uint32_t>(image.data.size());
    }
    for (const IconImage& image : images) {
        out.insert(out.end(), image.data.begin(), image.data.end());
    }
    return out;
}

std::vector<uint8_t> CursorFile(const IconImage& image, int hotX, int hotY)
{
    std::vector<uint8_t> out = DirectoryHeader(2, 1);
    // In a cursor directory the planes and bit-count fields hold the hot spot.
    PutEntry(out, image, static_cast<uint32_t>(hotX), static_cast<uint32_t>(hotY), 6 + 16);
    out.insert(out.end(), image.data.begin(), image.data.end());
    return out;
}
