// What the contact sheet shows: the icon set by slot, the finger pictures by row and
// column, the set as a taskbar shows it, the application icon's ten images,
// the kit launcher's four and the cursor.
#pragma once

#include <vector>

#include "tools/icongen/app_images.h"
#include "tools/icongen/contact_sheet.h"
#include "tools/icongen/tray_art.h"

// trayImages[i] is the drawing of tray[i].
std::vector<SheetSection> IconSheetSections(const std::vector<AppImage>& app,
                                            const std::vector<AppImage>& kit,
                                            const std::vector<TrayPicture>& tray,
                                            const std::vector<Image>& trayImages);
