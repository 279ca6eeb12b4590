// The 32x32 monochrome cursor: a pointing hand whose fingertip is the hot spot.
#pragma once

#include "tools/icongen/canvas.h"

constexpr int CURSOR_HOT_X = 16;
constexpr int CURSOR_HOT_Y = 9;

// Opaque white fill, opaque black outline, transparent elsewhere.
Image DrawCursorPicture();
