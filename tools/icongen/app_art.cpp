#include "tools/icongen/app_art.h"

#include <algorithm>
#include <cmath>

#include "tools/icongen/shapes.h"

namespace {

constexpr int SAMPLES = 8;

// The plate's proportions (width over depth) in its own plane.
constexpr double ASPECT = 1.4;
constexpr double CORNER = 0.07;

// Maps icon space to the plate's own plane, where the plate is the unit square: the
// inverse of the perspective that takes the unit square to the four corners below.
struct Projection {
    double m[9];
};

struct Corner {
    double x, y;
};

// Corners in icon units 0..1: top left, top right, bottom right, bottom left. The far
// edge is shorter and the plate turns a little, so it reads as lying on a desk.
constexpr Corner PLATE[4] = {{0.23, 0.14}, {0.85, 0.11}, {0.97, 0.76}, {0.03, 0.82}};
// How far the plate's edge shows below its top surface, in icon units.
constexpr double THICKNESS = 0.05;

Projection MakeProjection(const Corner* q)
{
    double sx = q[0].x - q[1].x + q[2].x - q[3].x;
    double sy = q[0].y - q[1].y + q[2].y - q[3].y;
    double dx1 = q[1].x - q[2].x, dx2 = q[3].x - q[2].x;
    double dy1 = q[1].y - q[2].y, dy2 = q[3].y - q[2].y;
    double den = dx1 * dy2 - dx2 * dy1;
    double g = (sx * dy2 - dx2 * sy) / den;
    double h = (dx1 * sy - sx * dy1) / den;
    double a = q[1].x - q[0].x + g * q[1].x, b = q[3].x - q[0].x + h * q[3].x, c = q[0].x;
    double d = q[1].y - q[0].y + g * q[1].y, e = q[3].y - q[0].y + h * q[3].y, f = q[0].y;
    // The adjugate inverts the forward map up to a scale that the division removes.
    return {{e - f * h, c * h - b, b * f - c * e, f * g - d, a - c * g, c * d - a * f,
             d * h - e * g, b * g - a * h, a * e - b * d}};
}

void ToPlate(const Projection& p, double x, double y, double& u, double& v)
{
    double w = p.m[6] * x + p.m[7] * y + p.m[8];
    u = (p.m[0] * x + p.m[1] * y + p.m[2]) / w;
    v = (p.m[3] * x + p.m[4] * y + p.m[5]) / w;
}

// Signed distance to the plate's outline in the plate's plane, depth units.
double PlateDistance(double u, double v)
{
    return RoundRectDistance(u * ASPECT, v, 0, 0, ASPECT, 1, CORNER);
}

// Sizes of the marks in plate units, never thinner than about a pixel.
struct Detail {
    double pixel;       // one icon pixel in plate depth units, roughly
    int rings;
    double dotRadius;
    double ringStep;
    double ringWidth;
};

Detail DetailFor(int size)
{
    double pixel = 1.0 / (0.62 * size);
    if (size <= 32) {
        return {pixel, 1, 0.095, 0.105, std::max(0.04, 1.1 * pixel)};
    }
    if (size <= 48) {
        return {pixel, 2, 0.075, 0.085, std::max(0.03, 1.2 * pixel)};
    }
    return {pixel, 3, 0.062, 0.075, 0.020};
}

double Lightness(double u, double v)
{
    double base = 0.84 - 0.20 * v + 0.05 * (1.0 - u);
    // A soft diagonal sheen, as from a window light.
    double sheen = 0.09 * Falloff(std::fabs((u - 0.55 * v) - 0.30), 0.32);
    // Brushing runs along the plate's width: streaks change with depth only, each
    // varying a little along its length.
    double grain = 0.030 * LineNoise(v * 150.0, 11) + 0.018 * LineNoise(v * 47.0, 23);
    grain *= 0.75 + 0.25 * LineNoise(u * 5.0 + v * 40.0, 37);
    return base + sheen + grain;
}

Rgba Silver(double lightness)
{
    return Opaque(lightness * 0.975, lightness * 0.985, lightness * 1.02);
}

Rgba Ripple(Rgba under, double u, double v, const Detail& detail)
{
    const double cu = 0.66, cv = 0.33;
    double d = Distance(u * ASPECT, v, cu * ASPECT, cv);
    Rgba out = under;
    // Rings fade and lighten as they spread.
    static const uint32_t RING_COLOURS[3] = {0x2F7CEB, 0x5A9EF2, 0x8DC0F7};
    static const double RING_ALPHA[3] = {0.95, 0.75, 0.5};
    for (int i = 0; i < detail.rings; ++i) {
        double radius = detail.dotRadius + detail.ringStep * (i + 1);
        if (std::fabs(d - radius) < detail.ringWidth * 0.5) {
            out = Over(WithAlpha(Opaque(RING_COLOURS[i]), RING_ALPHA[i]), out);
        }
    }
    double glow = 0.35 * Falloff(d, detail.dotRadius * 2.2);
    out = Over(WithAlpha(Opaque(0x6FB0FF), glow), out);
    if (d < detail.dotRadius) {
        // A deep blue dot with a lighter spot where the light strikes it.
        double spot = Falloff(Distance(u * ASPECT, v, (cu - 0.02) * ASPECT, cv - 0.025),
                              detail.dotRadius * 0.8);
        out = Mix(Opaque(0x0B3AB8), Opaque(0x4C86F0), 0.7 * spot);
    }
    return out;
}

Rgba PlateTop(double u, double v, double edge, const Detail& detail)
{
    double lightness = Lightness(u, v);
    // The button strip is brushed the same but sits a shade lower.
    if (v > 0.80) {
        lightness -= 0.03;
    }
    // A bevel: light along the far edges, shade along the near ones.
    double rim = 1.0 - SmoothStep(0.0, std::max(0.035, 1.5 * detail.pixel), -edge);
    lightness += rim * (v < 0.5 ? 0.10 : -0.12);
    Rgba colour = Silver(lightness);
    // A thin dark outline holds the silver against light backgrounds.
    if (-edge < detail.pixel * 0.9) {
        colour = Mix(colour, Opaque(0x5E656E), detail.rings < 3 ? 0.75 : 0.55);
    }
    double lineWidth = std::max(0.012, 1.0 * detail.pixel);
    if (std::fabs(u - 0.5) * ASPECT < lineWidth * 0.5 && v > 0.82 && v < 1.0 - 1.5 * detail.pixel) {
        colour = Opaque(0x4A5059);
    }
    return Ripple(colour, u, v, detail);
}

// A soft shadow on the desk below the plate; too faint for the palette images to keep.
Rgba Shadow(const Projection& shadow, const Detail& detail, double x, double y)
{
    if (detail.rings < 3) {
        return {0, 0, 0, 0};
    }
    double u, v;
    ToPlate(shadow, x, y, u, v);
    double edge = PlateDistance(u, v);
    double alpha = 0.32 * (1.0 - SmoothStep(-0.06, 0.05, edge));
    return WithAlpha(Opaque(0x101820), alpha);
}

// The plate as a slab in icon pixels: its top, the top moved down by the thickness, the
// shadow it casts, and the horizontal extent of its near edge.
struct Slab {
    Projection top, lowered, shadow;
    double nearLeft, nearRight;
};

Rgba AppPoint(const Slab& slab, const Detail& detail, double x, double y)
{
    double u, v;
    ToPlate(slab.top, x, y, u, v);
    double edge = PlateDistance(u, v);
    if (edge < 0.0) {
        return PlateTop(u, v, edge, detail);
    }
    double lu, lv;
    ToPlate(slab.lowered, x, y, lu, lv);
    // Seen from the front, only the near face of the thickness shows, straight below the
    // near edge; the sides stay hidden.
    if (PlateDistance(lu, lv) < 0.0 && v > 1.0 - CORNER && x > slab.nearLeft &&
        x < slab.nearRight) {
        // Lit a little from the left.
        return Silver(0.50 + 0.08 * (1.0 - lu));
    }
    return Shadow(slab.shadow, detail, x, y);
}

Rgba SmallPoint(double x, double y)
{
    // Sixteen pixels leave room for the plate's essence only: silver, and the touch.
    double edge = RoundRectDistance(x, y, 1, 1.5, 15, 14.5, 2.0);
    if (edge >= 0.0) {
        return {0, 0, 0, 0};
    }
    if (edge > -1.0) {
        return Opaque(0x6A717A);
    }
    double lightness = 0.90 - 0.022 * y - 0.006 * x + 0.025 * LineNoise(y * 3.0, 11);
    Rgba colour = Silver(lightness);
    double d = Distance(x, y, 10.0, 6.0);
    if (d < 2.6) {
        colour = Mix(colour, Opaque(0x5F9CF2), SmoothStep(2.6, 2.0, d));
    }
    if (d < 1.9) {
        colour = Opaque(0x0D3CC0);
    }
    return colour;
}

}  // namespace

Image DrawAppPicture(int size)
{
    if (size <= 16) {
        return Render(size, size, SAMPLES, SmallPoint);
    }
    Corner scaled[4];
    Corner lowered[4];
    Corner cast[4];
    for (int i = 0; i < 4; ++i) {
        scaled[i] = {PLATE[i].x * size, PLATE[i].y * size};
        lowered[i] = {PLATE[i].x * size, (PLATE[i].y + THICKNESS) * size};
        cast[i] = {(PLATE[i].x + 0.01) * size, (PLATE[i].y + 2.0 * THICKNESS) * size};
    }
    Slab slab{MakeProjection(scaled), MakeProjection(lowered), MakeProjection(cast),
              PLATE[3].x * size, PLATE[2].x * size};
    Detail detail = DetailFor(size);
    return Render(size, size, SAMPLES,
                  [&](double x, double y) { return AppPoint(slab, detail, x, y); });
}
