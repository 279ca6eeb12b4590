#include "tools/icongen/contact_sheet.h"

#include <algorithm>

#include "tools/icongen/font5x7.h"

namespace {

constexpr int MARGIN = 24;
constexpr int GAP = 20;
constexpr int TEXT_SCALE = 2;
constexpr int LINE_HEIGHT = (GLYPH_HEIGHT + 3) * TEXT_SCALE;
constexpr int CHECKER = 16;

constexpr Pixel PAGE = {246, 246, 244, 255};
constexpr Pixel INK = {40, 40, 48, 255};
constexpr Pixel SOFT_INK = {96, 100, 110, 255};
constexpr Pixel RULE = {176, 178, 184, 255};
constexpr Pixel CHECK_LIGHT = {255, 255, 255, 255};
constexpr Pixel CHECK_DARK = {226, 228, 232, 255};

struct CellSize {
    int width, height;
};

CellSize SectionCell(const SheetSection& section)
{
    CellSize size{0, 0};
    for (const SheetCell& cell : section.cells) {
        int w = std::max({cell.picture.width * cell.scale, TextWidth(cell.label, TEXT_SCALE),
                          TextWidth(cell.note, TEXT_SCALE)});
        size.width = std::max(size.width, w);
        size.height = std::max(size.height, cell.picture.height * cell.scale);
    }
    size.height += 2 * LINE_HEIGHT + 8;
    return size;
}

int SectionHeight(const SheetSection& section)
{
    int rows = (static_cast<int>(section.cells.size()) + section.columns - 1) / section.columns;
    return LINE_HEIGHT + 8 + rows * (SectionCell(section).height + GAP);
}

int SectionWidth(const SheetSection& section)
{
    return section.columns * (SectionCell(section).width + GAP) - GAP;
}

// A light checker shows which pixels are transparent; a frame marks the picture's bounds.
void DrawPicture(Image& sheet, const SheetCell& cell, int left, int top)
{
    int w = cell.picture.width * cell.scale;
    int h = cell.picture.height * cell.scale;
    FillRect(sheet, left - 1, top - 1, w + 2, h + 2, RULE);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bool dark = ((x / CHECKER) + (y / CHECKER)) % 2 == 1;
            At(sheet, left + x, top + y) = dark ? CHECK_DARK : CHECK_LIGHT;
        }
    }
    Blit(sheet, Enlarge(cell.picture, cell.scale), left, top);
}

void DrawSection(Image& sheet, const SheetSection& section, int top)
{
    DrawText(sheet, section.heading, MARGIN, top, TEXT_SCALE, INK);
    CellSize cellSize = SectionCell(section);
    int picturesTop = top + LINE_HEIGHT + 8;
    for (size_t i = 0; i < section.cells.size(); ++i) {
        const SheetCell& cell = section.cells[i];
        if (cell.picture.width == 0) {
            continue;
        }
        int column = static_cast<int>(i) % section.columns;
        int row = static_cast<int>(i) / section.columns;
        int left = MARGIN + column * (cellSize.width + GAP);
        int cellTop = picturesTop + row * (cellSize.height + GAP);
        int pictureHeight = cellSize.height - 2 * LINE_HEIGHT - 8;
        DrawPicture(sheet, cell, left, cellTop + pictureHeight - cell.picture.height * cell.scale);
        int textTop = cellTop + pictureHeight + 6;
        DrawText(sheet, cell.label, left, textTop, TEXT_SCALE, INK);
        DrawText(sheet, cell.note, left, textTop + LINE_HEIGHT, TEXT_SCALE, SOFT_INK);
    }
}

}  // namespace

Image TaskbarStrip(const std::vector<Image>& pictures, int scale)
{
    const Pixel grounds[2] = {{238, 240, 243, 255}, {32, 36, 44, 255}};
    int step = 24 * scale;
    int count = static_cast<int>(pictures.size());
    Image strip = NewImage(count * step + 8 * scale, 2 * step);
    for (int row = 0; row < 2; ++row) {
        FillRect(strip, 0, row * step, strip.width, step, grounds[row]);
        for (int i = 0; i < count; ++i) {
            Blit(strip, Enlarge(pictures[i], scale), 8 * scale + i * step, row * step + 4 * scale);
        }
    }
    return strip;
}

Image ComposeSheet(const std::string& title, const std::vector<SheetSection>& sections)
{
    int width = TextWidth(title, 3);
    int height = MARGIN + GLYPH_HEIGHT * 3 + GAP;
    for (const SheetSection& section : sections) {
        width = std::max(width, SectionWidth(section));
        height += SectionHeight(section) + GAP;
    }
    width += 2 * MARGIN;
    height += MARGIN - GAP;
    Image sheet = NewImage(width, height);
    FillRect(sheet, 0, 0, width, height, PAGE);
    DrawText(sheet, title, MARGIN, MARGIN, 3, INK);
    int top = MARGIN + GLYPH_HEIGHT * 3 + GAP;
    for (const SheetSection& section : sections) {
        DrawSection(sheet, section, top);
        top += SectionHeight(section) + GAP;
    }
    return sheet;
}
