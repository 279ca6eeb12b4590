// The contact sheet: every picture enlarged pixel for pixel on a checkered ground, each
// labelled, in one PNG for reviewing the art at a glance.
#pragma once

#include <string>
#include <vector>

#include "tools/icongen/canvas.h"

struct SheetCell {
    Image picture;      // empty (0x0) leaves the place free
    int scale;          // nearest-neighbour enlargement
    std::string label;  // first line, bold
    std::string note;   // second line
};

struct SheetSection {
    std::string heading;
    int columns;
    std::vector<SheetCell> cells;
};

// The pictures side by side at scale, once on a light and once on a dark ground.
Image TaskbarStrip(const std::vector<Image>& pictures, int scale);

Image ComposeSheet(const std::string& title, const std::vector<SheetSection>& sections);
