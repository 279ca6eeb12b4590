#include "tools/icongen/kit_art.h"

#include <algorithm>

#include "tools/icongen/app_art.h"
#include "tools/icongen/shapes.h"

namespace {

constexpr int SAMPLES = 8;

// The badge in icon units: a disc whose lower right edge touches the icon's corner, large
// enough at 16 pixels for the triangle to stay a triangle.
constexpr double BADGE_X = 0.70;
constexpr double BADGE_Y = 0.70;
constexpr double BADGE_RADIUS = 0.29;

struct Badge {
    double x, y, radius, rim;
};

// Right of the line from (x0, y0) to (x1, y1), in a y-down image.
double Side(double x, double y, double x0, double y0, double x1, double y1)
{
    return (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
}

// A play triangle pointing right, its centre of area a little right of the disc's centre
// so that it looks centred.
bool InPlayMark(const Badge& badge, double x, double y)
{
    const double r = badge.radius;
    const double ax = badge.x - 0.34 * r, ay = badge.y - 0.50 * r;
    const double bx = badge.x + 0.56 * r, by = badge.y;
    const double cx = badge.x - 0.34 * r, cy = badge.y + 0.50 * r;
    return Side(x, y, ax, ay, bx, by) >= 0 && Side(x, y, bx, by, cx, cy) >= 0 &&
           Side(x, y, cx, cy, ax, ay) >= 0;
}

Rgba BadgePoint(const Badge& badge, double x, double y)
{
    const double d = Distance(x, y, badge.x, badge.y);
    if (d >= badge.radius) {
        return {0, 0, 0, 0};
    }
    // A white rim holds the badge apart from the silver plate beneath it.
    if (d >= badge.radius - badge.rim) {
        return Opaque(0xFFFFFF);
    }
    if (InPlayMark(badge, x, y)) {
        return Opaque(0xFFFFFF);
    }
    // Lit from the top left, as the plate is.
    const double light =
        Falloff(Distance(x, y, badge.x - 0.4 * badge.radius, badge.y - 0.4 * badge.radius),
                1.6 * badge.radius);
    return Mix(Opaque(0x1B8A34), Opaque(0x3CC25A), light);
}

// The finished application picture under a sample point, premultiplied: constant across
// each pixel, so Render's averaging of the badge over it composites exactly.
Rgba AppPixel(const Image& picture, double x, double y)
{
    const Pixel& p = At(picture, static_cast<int>(x), static_cast<int>(y));
    return WithAlpha(Opaque(p.r / 255.0, p.g / 255.0, p.b / 255.0), p.a / 255.0);
}

}  // namespace

Image DrawKitPicture(int size)
{
    const Image app = DrawAppPicture(size);
    // At 16 pixels the badge is larger and centred on a pixel, so that the triangle keeps
    // its point and the rim stays a whole pixel.
    const Badge badge = size <= 16 ? Badge{10.5, 10.5, 5.5, 1.0}
                                   : Badge{BADGE_X * size, BADGE_Y * size, BADGE_RADIUS * size,
                                           std::max(1.0, 0.045 * size)};
    return Render(size, size, SAMPLES, [&](double x, double y) {
        return Over(BadgePoint(badge, x, y), AppPixel(app, x, y));
    });
}
