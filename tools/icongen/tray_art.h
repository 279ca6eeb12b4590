// The twenty 16x16 pictures of the notification-area icon.
#pragma once

#include <string>
#include <vector>

#include "tools/icongen/canvas.h"

enum TrayMark : int {
    MARK_NONE,
    MARK_LEFT_BUTTON,   // left button bar lit
    MARK_RIGHT_BUTTON,  // right button bar lit
    MARK_DISABLED,      // red prohibition sign
    MARK_UNLINKED,      // red exclamation mark
};

struct TrayPicture {
    int resource;
    std::string slot;  // the icon slot's name, for the contact sheet
    bool idle;         // the idle pad's own colours
    int fingers;       // 0 to 5 glowing dots
    int level;         // contact level 0 to 2: how bright the dots glow
    TrayMark mark;
};

// All twenty, in resource-number order.
std::vector<TrayPicture> TrayPictures();

Image DrawTrayPicture(const TrayPicture& picture);
