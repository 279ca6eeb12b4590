// Icon (.ico) and cursor (.cur) files: a directory of entries, each pointing at a device
// independent bitmap (XOR colours over an AND mask, height doubled) or a PNG stream.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/icongen/canvas.h"
#include "tools/icongen/palette.h"

// One image of an icon file as the directory describes it.
struct IconImage {
    int width;
    int height;
    int bitCount;
    int colourCount;             // palette entries for fewer than 8 bits, else 0
    std::vector<uint8_t> data;   // the bytes the directory entry points at
};

// 32-bit colour with straight alpha; the AND mask is set where the pixel is mostly clear.
IconImage Dib32(const Image& image);
// 4-bit or 8-bit colour through the image's palette, with its transparency as AND mask.
IconImage DibIndexed(const IndexedImage& image, int bitCount);
// PNG stream, as Windows Vista and later read for the 256x256 image.
IconImage PngImage(const Image& image);
// Two-colour bitmap: pixels under half opacity are transparent, the rest black or white
// by brightness.
IconImage DibMonochrome(const Image& image);

std::vector<uint8_t> IconFile(const std::vector<IconImage>& images);
std::vector<uint8_t> CursorFile(const IconImage& image, int hotX, int hotY);
