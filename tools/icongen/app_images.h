// The application icon's ten images, and the kit launcher's, each in the form its directory
// entry declares.
#pragma once

#include <string>
#include <vector>

#include "tools/icongen/canvas.h"
#include "tools/icongen/ico_encode.h"

struct AppImage {
    IconImage stored;  // as the file holds it
    Image shown;       // as a display shows it, palette reduction included
    std::string note;  // size and depth, for the contact sheet
};

// In the order the group stores them: 32 and 16 at 4 bits, 48, 32 and 16 at 8 bits, then
// 256 (PNG), 128, 48, 32 and 16 at 32 bits.
std::vector<AppImage> AppImages();

// The evaluation kit launcher's four images: 256 (PNG), 48, 32 and 16 at 32 bits, all that
// Explorer and the console's title bar show on Windows 10 and 11.
std::vector<AppImage> KitImages();
