// PNG files from images, with fixed compression settings so the bytes never vary.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/icongen/canvas.h"

// RGBA (colour type 6) when withAlpha, else RGB (colour type 2); no ancillary chunks.
std::vector<uint8_t> EncodePng(const Image& image, bool withAlpha);
