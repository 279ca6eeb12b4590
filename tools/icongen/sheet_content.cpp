#include "tools/icongen/sheet_content.h"

#include <string>

#include "tools/icongen/cursor_art.h"

namespace {

constexpr int ICON_SCALE = 8;

SheetCell TrayCell(const TrayPicture& picture, const Image& image)
{
    return {image, ICON_SCALE, std::to_string(picture.resource), picture.slot};
}

// The application icon's 16x16 image first, then the pictures that are not finger rows.
SheetSection StateSection(const Image& app16, const std::vector<TrayPicture>& tray,
                          const std::vector<Image>& trayImages)
{
    SheetSection section{"Icon set at 16x16 (resource, slot)", 6,
                         {{app16, ICON_SCALE, "107", "appIcon"}}};
    for (size_t i = 0; i < tray.size(); ++i) {
        if (tray[i].fingers == 0) {
            section.cells.push_back(TrayCell(tray[i], trayImages[i]));
        }
    }
    return section;
}

// Resource numbers interleave the rows; the sheet lays them out by row and level instead,
// so each row reads faint to bright.
SheetSection FingerSection(const std::vector<TrayPicture>& tray,
                           const std::vector<Image>& trayImages)
{
    SheetSection section{"Finger pictures: rows 1 to 5 fingers, columns contact level 0 to 2",
                         6, std::vector<SheetCell>(15)};
    for (size_t i = 0; i < tray.size(); ++i) {
        if (tray[i].fingers > 0) {
            size_t place = static_cast<size_t>((tray[i].fingers - 1) * 3 + tray[i].level);
            section.cells[place] = TrayCell(tray[i], trayImages[i]);
        }
    }
    return section;
}

SheetSection TaskbarSection(const SheetSection& states, const SheetSection& fingers)
{
    std::vector<Image> pictures;
    for (const SheetSection* section : {&states, &fingers}) {
        for (const SheetCell& cell : section->cells) {
            pictures.push_back(cell.picture);
        }
    }
    return {"As shown: 100 % and 200 %, on a light and a dark taskbar",
            1,
            {{TaskbarStrip(pictures, 1), 1, "100 %", ""},
             {TaskbarStrip(pictures, 2), 1, "200 %", ""}}};
}

// Small images are enlarged more, so that every image shows at 128 to 256 pixels.
int AppScale(int size)
{
    return size <= 32 ? 8 : (size <= 48 ? 4 : 256 / size);
}

// An icon's images in stored order, numbered.
SheetSection StoredImagesSection(const std::string& title, int columns,
                                 const std::vector<AppImage>& images)
{
    SheetSection section{title, columns, {}};
    for (size_t i = 0; i < images.size(); ++i) {
        section.cells.push_back({images[i].shown, AppScale(images[i].shown.width),
                                 "#" + std::to_string(i + 1), images[i].note});
    }
    return section;
}

}  // namespace

std::vector<SheetSection> IconSheetSections(const std::vector<AppImage>& app,
                                            const std::vector<AppImage>& kit,
                                            const std::vector<TrayPicture>& tray,
                                            const std::vector<Image>& trayImages)
{
    SheetSection states = StateSection(app.back().shown, tray, trayImages);
    SheetSection fingers = FingerSection(tray, trayImages);
    SheetSection taskbar = TaskbarSection(states, fingers);
    SheetSection pointer{"Cursor 152, hot spot (16, 9)", 1,
                         {{DrawCursorPicture(), ICON_SCALE, "152", "cursor"}}};
    return {states,
            fingers,
            taskbar,
            StoredImagesSection("Application icon 107, its ten images in stored order", 5, app),
            StoredImagesSection("Evaluation kit launcher, icon 1, its four images", 4, kit),
            pointer};
}
