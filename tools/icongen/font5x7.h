// A tiny built-in bitmap font for the contact sheet's labels, so the sheet needs no font
// files and comes out the same everywhere.
#pragma once

#include <string>

#include "tools/icongen/canvas.h"

constexpr int GLYPH_WIDTH = 5;
constexpr int GLYPH_HEIGHT = 7;
constexpr int GLYPH_ADVANCE = 6;

// Draws text with its top left at (left, top), each font pixel scale x scale; descenders
// reach two font pixels below the seven-pixel cell. Characters the font lacks are drawn as
// a hollow box.
void DrawText(Image& target, const std::string& text, int left, int top, int scale,
              Pixel colour);

int TextWidth(const std::string& text, int scale);
