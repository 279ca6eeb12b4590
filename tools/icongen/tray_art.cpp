#include "tools/icongen/tray_art.h"

#include <cstdint>

#include "tools/icongen/shapes.h"

namespace {

constexpr int SAMPLES = 8;

// The pad, in pixel units of the 16x16 square: a one-pixel border, a one-pixel frame that
// also runs between the face and the buttons and between the two buttons, a face of
// 12x8 pixels and two button bars three pixels tall. Every edge lies on a pixel edge so
// the small picture stays sharp.
constexpr double FACE_LEFT = 2, FACE_TOP = 2, FACE_RIGHT = 14, FACE_BOTTOM = 10;
constexpr double BAR_TOP = 11, BAR_BOTTOM = 14;
constexpr double LEFT_BAR_RIGHT = 7, RIGHT_BAR_LEFT = 9;

struct PadColours {
    uint32_t border, frame, faceTop, faceBottom, bar;
};

constexpr PadColours ACTIVE_PAD = {0x4E5D6E, 0xD4D8DC, 0x575E66, 0x8E959D, 0x3F4348};
// The idle pad is set apart by its navy border, white frame and darker face.
constexpr PadColours IDLE_PAD = {0x13214A, 0xFFFFFF, 0x40454C, 0x5C626A, 0x303338};

constexpr uint32_t LIT_BAR = 0x2EE6FF;
constexpr uint32_t LIT_BAR_HIGHLIGHT = 0xB8F8FF;
constexpr uint32_t SIGN_RED = 0xE0201C;

struct Point {
    double x, y;
};

// Dot centres lie on pixel corners, so every dot is the same 2x2 core.
std::vector<Point> DotCentres(int fingers)
{
    switch (fingers) {
    case 1: return {{8, 6}};
    case 2: return {{5, 8}, {11, 4}};
    case 3: return {{8, 4}, {5, 8}, {11, 8}};
    case 4: return {{6, 4}, {10, 4}, {6, 8}, {10, 8}};
    case 5: return {{6, 4}, {10, 4}, {4, 8}, {8, 8}, {12, 8}};
    default: return {};
    }
}

struct GlowStyle {
    uint32_t colour;
    double peak;       // opacity of the core
    double halo;       // opacity of the surrounding glow
    double reach;      // how far the glow spreads
    double whiteness;  // how white the centre burns
};

constexpr GlowStyle GLOWS[3] = {
    {0x3AAFCB, 0.85, 0.30, 2.1, 0.0},   // faint
    {0x1CD6FA, 1.00, 0.55, 2.4, 0.2},   // medium
    {0x52F4FF, 1.00, 0.80, 2.5, 1.0},   // brightest, near-white centre
};

Rgba PadBase(const PadColours& colours, double x, double y)
{
    if (!InRoundRect(x, y, 0, 0, 16, 16, 2.2)) {
        return {0, 0, 0, 0};
    }
    if (!InRoundRect(x, y, 1, 1, 15, 15, 1.3)) {
        return Opaque(colours.border);
    }
    if (InRect(x, y, FACE_LEFT, FACE_TOP, FACE_RIGHT, FACE_BOTTOM)) {
        double t = (y - FACE_TOP) / (FACE_BOTTOM - FACE_TOP);
        return Mix(Opaque(colours.faceTop), Opaque(colours.faceBottom), t);
    }
    if (InRect(x, y, FACE_LEFT, BAR_TOP, LEFT_BAR_RIGHT, BAR_BOTTOM) ||
        InRect(x, y, RIGHT_BAR_LEFT, BAR_TOP, FACE_RIGHT, BAR_BOTTOM)) {
        return Opaque(colours.bar);
    }
    return Opaque(colours.frame);
}

Rgba LitBar(Rgba under, double x, double y, double left, double right)
{
    if (!InRect(x, y, left, BAR_TOP, right, BAR_BOTTOM)) {
        return under;
    }
    // A brighter top row reads as light catching the pressed bar.
    return y < BAR_TOP + 1 ? Opaque(LIT_BAR_HIGHLIGHT) : Opaque(LIT_BAR);
}

Rgba Dots(Rgba under, double x, double y, int fingers, int level)
{
    const GlowStyle& style = GLOWS[level];
    Rgba out = under;
    for (const Point& c : DotCentres(fingers)) {
        double d = Distance(x, y, c.x, c.y);
        double core = d < 1.05 ? style.peak : 0.0;
        double glow = style.halo * Falloff(d, style.reach);
        double alpha = core > glow ? core : glow;
        if (alpha <= 0.0) {
            continue;
        }
        Rgba colour = Mix(Opaque(style.colour), Opaque(0xF4FFFF),
                          style.whiteness * Falloff(d, 1.1));
        out = Over(WithAlpha(colour, alpha), out);
    }
    return out;
}

// A light rim keeps the red sign readable on the grey pad.
Rgba ProhibitionSign(Rgba under, double x, double y)
{
    const double cx = 10.5, cy = 10.5, outer = 5.0, ring = 1.5;
    double d = Distance(x, y, cx, cy);
    if (d >= outer + 0.8) {
        return under;
    }
    double diagonal = SegmentDistance(x, y, cx - 3.2, cy - 3.2, cx + 3.2, cy + 3.2);
    bool red = (d < outer && d >= outer - ring) || (d < outer && diagonal < 0.8);
    if (red) {
        return Opaque(SIGN_RED);
    }
    if (d >= outer || diagonal < 1.5 || d >= outer - ring - 0.7) {
        return Over(WithAlpha(Opaque(0xFFFFFF), 0.85), under);
    }
    return under;
}

Rgba ExclamationMark(Rgba under, double x, double y)
{
    const double cx = 12.5;
    // The stroke narrows towards its foot, as a printed mark does.
    double stem = SegmentDistance(x, y, cx, 2.4, cx, 9.6);
    double halfWidth = 1.45 - 0.35 * SmoothStep(2.4, 9.6, y);
    double dot = Distance(x, y, cx, 12.9);
    if (stem < halfWidth || dot < 1.35) {
        return Opaque(SIGN_RED);
    }
    if (stem < halfWidth + 0.9 || dot < 2.25) {
        return Over(WithAlpha(Opaque(0xFFFFFF), 0.85), under);
    }
    return under;
}

Rgba TrayPoint(const TrayPicture& picture, double x, double y)
{
    Rgba colour = PadBase(picture.idle ? IDLE_PAD : ACTIVE_PAD, x, y);
    if (colour.a == 0.0) {
        return colour;
    }
    colour = Dots(colour, x, y, picture.fingers, picture.level);
    switch (picture.mark) {
    case MARK_LEFT_BUTTON: return LitBar(colour, x, y, FACE_LEFT, LEFT_BAR_RIGHT);
    case MARK_RIGHT_BUTTON: return LitBar(colour, x, y, RIGHT_BAR_LEFT, FACE_RIGHT);
    case MARK_DISABLED: return ProhibitionSign(colour, x, y);
    case MARK_UNLINKED: return ExclamationMark(colour, x, y);
    case MARK_NONE: break;
    }
    return colour;
}

}  // namespace

std::vector<TrayPicture> TrayPictures()
{
    std::vector<TrayPicture> pictures;
    pictures.push_back({129, "idleIcon", true, 0, 0, MARK_NONE});
    // Row n of the finger pictures: column 0 is 129 + n, column 1 is 133 + 2n, column 2
    // is 134 + 2n.
    for (int resource = 130; resource <= 144; ++resource) {
        int fingers = resource <= 134 ? resource - 129 : (resource - 133) / 2;
        int level = resource <= 134 ? 0 : 1 + (resource - 135) % 2;
        std::string slot = "fingerIcons[" + std::to_string(fingers) + "][" +
                           std::to_string(level) + "]";
        pictures.push_back({resource, slot, false, fingers, level, MARK_NONE});
    }
    pictures.push_back({145, "leftButtonIcon", false, 0, 0, MARK_LEFT_BUTTON});
    pictures.push_back({146, "rightButtonIcon", false, 0, 0, MARK_RIGHT_BUTTON});
    pictures.push_back({147, "disabledIcon", false, 0, 0, MARK_DISABLED});
    pictures.push_back({32513, "unlinkedIcon", false, 0, 0, MARK_UNLINKED});
    return pictures;
}

Image DrawTrayPicture(const TrayPicture& picture)
{
    return Render(16, 16, SAMPLES,
                  [&picture](double x, double y) { return TrayPoint(picture, x, y); });
}
