// Pictures are described as scenes: a function that tells the colour at any point of the
// icon. Rendering samples each pixel on a fine grid and box-reduces the samples, which
// gives anti-aliased edges without any rasteriser state.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// A colour with premultiplied alpha, each channel 0..1.
struct Rgba {
    double r, g, b, a;
};

// One 8-bit pixel with straight (not premultiplied) alpha, as icon bitmaps store it.
struct Pixel {
    uint8_t r, g, b, a;
};

struct Image {
    int width;
    int height;
    std::vector<Pixel> pixels;  // rows top to bottom
};

// Point sample of a picture at (x, y) in pixel units of the target image; (0, 0) is the
// top left corner of the top left pixel.
using Scene = std::function<Rgba(double x, double y)>;

Rgba Opaque(double r, double g, double b);
Rgba Opaque(uint32_t rgb);
Rgba WithAlpha(Rgba colour, double alpha);
Rgba Mix(Rgba from, Rgba to, double t);
// Paints top over bottom (both premultiplied).
Rgba Over(Rgba top, Rgba bottom);

Image NewImage(int width, int height);
Pixel& At(Image& image, int x, int y);
const Pixel& At(const Image& image, int x, int y);

// Averages samples x samples point samples per pixel.
Image Render(int width, int height, int samples, const Scene& scene);

// Enlarges without smoothing, every pixel becoming a factor x factor block.
Image Enlarge(const Image& image, int factor);

// Paints source over target at (left, top), clipped to the target.
void Blit(Image& target, const Image& source, int left, int top);
void FillRect(Image& target, int left, int top, int width, int height, Pixel colour);
