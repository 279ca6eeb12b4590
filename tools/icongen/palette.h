// Colour tables for the 4-bit and 8-bit images of the application icon.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/icongen/canvas.h"

// A palette image as an icon stores it: an index per pixel and a transparency flag that
// becomes the AND mask.
struct IndexedImage {
    int width;
    int height;
    std::vector<Pixel> palette;        // alpha unused
    std::vector<uint8_t> indices;      // rows top to bottom
    std::vector<uint8_t> transparent;  // 1 where the AND mask is set
};

// count colours fitted to the opaque pixels of the image by median cut. Entry 0 is black,
// kept for the transparent pixels.
std::vector<Pixel> FittedPalette(const Image& image, int count);

// Each pixel becomes its nearest palette colour; pixels under half opacity become
// transparent, with index 0 behind them.
IndexedImage MapToPalette(const Image& image, const std::vector<Pixel>& palette);

// How the indexed image looks when shown: for the contact sheet.
Image ShowIndexed(const IndexedImage& indexed);

// True for the pixels whose AND mask bit is set in a 32-bit image.
bool IsMaskedOut(const Pixel& pixel);
