// The application icon: a brushed-silver touchpad plate seen at an angle with a blue touch
// ripple, drawn anew for each size so that small sizes keep their lines a pixel wide.
#pragma once

#include "tools/icongen/canvas.h"

// 32-bit picture with alpha at size x size pixels. At 16 the plate reduces to a silver
// square with a blue dot.
Image DrawAppPicture(int size);
