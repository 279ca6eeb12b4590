// The evaluation kit's launcher icon: the application's picture with a green "play" badge in
// its lower right corner, so that with file extensions hidden the launcher does not pass for
// the program in Explorer, and still reads as belonging to it.
#pragma once

#include "tools/icongen/canvas.h"

// 32-bit picture with alpha at size x size pixels.
Image DrawKitPicture(int size);
