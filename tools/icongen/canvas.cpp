#include "tools/icongen/canvas.h"

#include <algorithm>
#include <cmath>

namespace {

double Clamp01(double v)
{
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

uint8_t ToByte(double v)
{
    return static_cast<uint8_t>(std::floor(Clamp01(v) * 255.0 + 0.5));
}

}  // namespace

Rgba Opaque(double r, double g, double b)
{
    return {Clamp01(r), Clamp01(g), Clamp01(b), 1.0};
}

Rgba Opaque(uint32_t rgb)
{
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, 1.0};
}

Rgba WithAlpha(Rgba colour, double alpha)
{
    alpha = Clamp01(alpha);
    return {colour.r * alpha, colour.g * alpha, colour.b * alpha, colour.a * alpha};
}

Rgba Mix(Rgba from, Rgba to, double t)
{
    t = Clamp01(t);
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
            from.b + (to.b - from.b) * t, from.a + (to.a - from.a) * t};
}

Rgba Over(Rgba top, Rgba bottom)
{
    double keep = 1.0 - top.a;
    return {top.r + bottom.r * keep, top.g + bottom.g * keep, top.b + bottom.b * keep,
            top.a + bottom.a * keep};
}

Image NewImage(int width, int height)
{
    return {width, height, std::vector<Pixel>(static_cast<size_t>(width) * height, Pixel{0, 0, 0, 0})};
}

Pixel& At(Image& image, int x, int y)
{
    return image.pixels[static_cast<size_t>(y) * image.width + x];
}

const Pixel& At(const Image& image, int x, int y)
{
    return image.pixels[static_cast<size_t>(y) * image.width + x];
}

Image Render(int width, int height, int samples, const Scene& scene)
{
    Image image = NewImage(width, height);
    double step = 1.0 / samples;
    double weight = 1.0 / (samples * samples);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgba sum{0, 0, 0, 0};
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    Rgba c = scene(x + (sx + 0.5) * step, y + (sy + 0.5) * step);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b, sum.a + c.a};
                }
            }
            double a = sum.a * weight;
            Pixel& p = At(image, x, y);
            p.a = ToByte(a);
            // A pixel that rounds to fully transparent keeps no colour, so the files do
            // not carry invisible noise.
            if (p.a == 0) {
                p = {0, 0, 0, 0};
                continue;
            }
            p.r = ToByte(sum.r * weight / a);
            p.g = ToByte(sum.g * weight / a);
            p.b = ToByte(sum.b * weight / a);
        }
    }
    return image;
}

Image Enlarge(const Image& image, int factor)
{
    Image big = NewImage(image.width * factor, image.height * factor);
    for (int y = 0; y < big.height; ++y) {
        for (int x = 0; x < big.width; ++x) {
            At(big, x, y) = At(image, x / factor, y / factor);
        }
    }
    return big;
}

void Blit(Image& target, const Image& source, int left, int top)
{
    for (int y = 0; y < source.height; ++y) {
        int ty = top + y;
        if (ty < 0 || ty >= target.height) {
            continue;
        }
        for (int x = 0; x < source.width; ++x) {
            int tx = left + x;
            if (tx < 0 || tx >= target.width) {
                continue;
            }
            const Pixel& s = At(source, x, y);
            Pixel& t = At(target, tx, ty);
            // Integer blending keeps the sheet exact; the sheet's ground is opaque.
            int sa = s.a;
            int ka = 255 - sa;
            t.r = static_cast<uint8_t>((s.r * sa + t.r * ka + 127) / 255);
            t.g = static_cast<uint8_t>((s.g * sa + t.g * ka + 127) / 255);
            t.b = static_cast<uint8_t>((s.b * sa + t.b * ka + 127) / 255);
            t.a = static_cast<uint8_t>(std::min(255, sa + (t.a * ka + 127) / 255));
        }
    }
}

void FillRect(Image& target, int left, int top, int width, int height, Pixel colour)
{
    for (int y = std::max(0, top); y < std::min(target.height, top + height); ++y) {
        for (int x = std::max(0, left); x < std::min(target.width, left + width); ++x) {
            At(target, x, y) = colour;
        }
    }
}
