#include "tools/icongen/palette.h"

#include <algorithm>
#include <map>

namespace {

struct ColourCount {
    Pixel colour;
    uint32_t count;
};

int Channel(const Pixel& p, int axis)
{
    return axis == 0 ? p.r : (axis == 1 ? p.g : p.b);
}

uint32_t Key(const Pixel& p)
{
    return (static_cast<uint32_t>(p.r) << 16) | (static_cast<uint32_t>(p.g) << 8) | p.b;
}

int Spread(const std::vector<ColourCount>& box, int axis)
{
    int low = 255;
    int high = 0;
    for (const ColourCount& c : box) {
        low = std::min(low, Channel(c.colour, axis));
        high = std::max(high, Channel(c.colour, axis));
    }
    return high - low;
}

int WidestAxis(const std::vector<ColourCount>& box)
{
    int best = 0;
    for (int axis = 1; axis < 3; ++axis) {
        if (Spread(box, axis) > Spread(box, best)) {
            best = axis;
        }
    }
    return best;
}

Pixel Average(const std::vector<ColourCount>& box)
{
    uint64_t r = 0, g = 0, b = 0, n = 0;
    for (const ColourCount& c : box) {
        r += uint64_t{c.colour.r} * c.count;
        g += uint64_t{c.colour.g} * c.count;
        b += uint64_t{c.colour.b} * c.count;
        n += c.count;
    }
    return {static_cast<uint8_t>((r + n / 2) / n), static_cast<uint8_t>((g + n / 2) / n),
            static_cast<uint8_t>((b + n / 2) / n), 255};
}

// Splits the box along its widest channel where half of its pixels lie on either side.
void SplitBox(std::vector<ColourCount>& box, std::vector<ColourCount>& upper)
{
    int axis = WidestAxis(box);
    std::sort(box.begin(), box.end(), [axis](const ColourCount& a, const ColourCount& b) {
        int ca = Channel(a.colour, axis);
        int cb = Channel(b.colour, axis);
        return ca != cb ? ca < cb : Key(a.colour) < Key(b.colour);
    });
    uint64_t total = 0;
    for (const ColourCount& c : box) {
        total += c.count;
    }
    uint64_t seen = 0;
    size_t cut = 1;
    for (size_t i = 0; i + 1 < box.size(); ++i) {
        seen += box[i].count;
        cut = i + 1;
        if (seen * 2 >= total) {
            break;
        }
    }
    upper.assign(box.begin() + static_cast<long>(cut), box.end());
    box.resize(cut);
}

uint32_t SquaredDistance(const Pixel& a, const Pixel& b)
{
    int dr = a.r - b.r;
    int dg = a.g - b.g;
    int db = a.b - b.b;
    // Green weighs most and blue least, roughly as the eye does.
    return static_cast<uint32_t>(3 * dr * dr + 4 * dg * dg + 2 * db * db);
}

}  // namespace

std::vector<Pixel> FittedPalette(const Image& image, int count)
{
    std::map<uint32_t, ColourCount> histogram;
    for (const Pixel& p : image.pixels) {
        if (IsMaskedOut(p)) {
            continue;
        }
        Pixel solid{p.r, p.g, p.b, 255};
        auto [it, added] = histogram.try_emplace(Key(solid), ColourCount{solid, 0});
        (void)added;
        ++it->second.count;
    }
    std::vector<std::vector<ColourCount>> boxes(1);
    for (const auto& entry : histogram) {
        boxes[0].push_back(entry.second);
    }
    std::vector<Pixel> palette = {Pixel{0, 0, 0, 255}};
    if (boxes[0].empty()) {
        palette.resize(count, Pixel{0, 0, 0, 255});
        return palette;
    }
    while (static_cast<int>(boxes.size()) < count - 1) {
        // The box with the widest spread is split next; ties go to the earlier box.
        int chosen = -1;
        int widest = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].size() < 2) {
                continue;
            }
            int spread = Spread(boxes[i], WidestAxis(boxes[i]));
            if (spread > widest) {
                widest = spread;
                chosen = static_cast<int>(i);
            }
        }
        if (chosen < 0) {
            break;
        }
        std::vector<ColourCount> upper;
        SplitBox(boxes[chosen], upper);
        boxes.push_back(upper);
    }
    for (const std::vector<ColourCount>& box : boxes) {
        palette.push_back(Average(box));
    }
    palette.resize(count, Pixel{0, 0, 0, 255});
    return palette;
}

IndexedImage MapToPalette(const Image& image, const std::vector<Pixel>& palette)
{
    IndexedImage indexed{image.width, image.height, palette, {}, {}};
    for (const Pixel& p : image.pixels) {
        if (IsMaskedOut(p)) {
            indexed.indices.push_back(0);
            indexed.transparent.push_back(1);
            continue;
        }
        size_t best = 0;
        for (size_t i = 1; i < palette.size(); ++i) {
            if (SquaredDistance(p, palette[i]) < SquaredDistance(p, palette[best])) {
                best = i;
            }
        }
        indexed.indices.push_back(static_cast<uint8_t>(best));
        indexed.transparent.push_back(0);
    }
    return indexed;
}

Image ShowIndexed(const IndexedImage& indexed)
{
    Image image = NewImage(indexed.width, indexed.height);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        if (indexed.transparent[i]) {
            continue;
        }
        Pixel p = indexed.palette[indexed.indices[i]];
        p.a = 255;
        image.pixels[i] = p;
    }
    return image;
}

bool IsMaskedOut(const Pixel& pixel)
{
    return pixel.a < 128;
}
