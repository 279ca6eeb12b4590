#include "tools/icongen/cursor_art.h"

#include "tools/icongen/shapes.h"

namespace {

// The hand's inside, tested at pixel centres: a monochrome cursor has no partial pixels.
// The gaps between the fingers are one pixel wide so that the outline fills them.
bool InHand(double x, double y)
{
    // Index finger, straight up with its tip just below the hot spot.
    if (InRoundRect(x, y, 15, 10, 18, 23, 1.5)) {
        return true;
    }
    // The curled fingers show only as knuckles, each a little lower than the one before.
    if (InRoundRect(x, y, 19, 17, 22, 23, 1.5) || InRoundRect(x, y, 23, 18, 26, 23, 1.5) ||
        InRoundRect(x, y, 27, 19, 29, 23, 1.0)) {
        return true;
    }
    // Palm, narrowing into the wrist.
    if (InRoundRect(x, y, 14, 21, 29, 28, 2.5) || InRect(x, y, 16, 26, 27, 30)) {
        return true;
    }
    // Thumb, reaching out to the left and up.
    return SegmentDistance(x, y, 10.0, 18.5, 15.0, 24.0) < 1.6;
}

bool InHandAt(int x, int y)
{
    return x >= 0 && y >= 0 && x < 32 && y < 32 && InHand(x + 0.5, y + 0.5);
}

}  // namespace

Image DrawCursorPicture()
{
    Image image = NewImage(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (InHandAt(x, y)) {
                At(image, x, y) = {255, 255, 255, 255};
                continue;
            }
            bool touches = false;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    touches = touches || InHandAt(x + dx, y + dy);
                }
            }
            if (touches) {
                At(image, x, y) = {0, 0, 0, 255};
            }
        }
    }
    return image;
}
