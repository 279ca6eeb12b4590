// icongen: draws the program's icons and cursor and writes them, with a contact sheet.
//
//   icongen ICON_DIR SHEET_PNG
//
// ICON_DIR receives app107.ico, the kit launcher's launcher1.ico, tray129.ico to tray147.ico,
// tray32513.ico and cursor152.cur; SHEET_PNG is the contact sheet. The output depends on
// nothing but this program, so every run writes the same bytes.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/icongen/app_images.h"
#include "tools/icongen/cursor_art.h"
#include "tools/icongen/ico_encode.h"
#include "tools/icongen/png_encode.h"
#include "tools/icongen/sheet_content.h"
#include "tools/icongen/tray_art.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    // An empty result means an encoder failed; the file must not pass for art.
    if (!out || bytes.empty()) {
        std::fprintf(stderr, "icongen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: icongen ICON_DIR SHEET_PNG\n");
        return 2;
    }
    std::string iconDir = argv[1];
    bool ok = true;

    std::vector<AppImage> app = AppImages();
    std::vector<IconImage> stored;
    for (const AppImage& image : app) {
        stored.push_back(image.stored);
    }
    ok = WriteFile(iconDir + "/app107.ico", IconFile(stored)) && ok;

    std::vector<AppImage> kit = KitImages();
    std::vector<IconImage> kitStored;
    for (const AppImage& image : kit) {
        kitStored.push_back(image.stored);
    }
    ok = WriteFile(iconDir + "/launcher1.ico", IconFile(kitStored)) && ok;

    std::vector<TrayPicture> tray = TrayPictures();
    std::vector<Image> trayImages;
    for (const TrayPicture& picture : tray) {
        trayImages.push_back(DrawTrayPicture(picture));
        std::string name = iconDir + "/tray" + std::to_string(picture.resource) + ".ico";
        ok = WriteFile(name, IconFile({Dib32(trayImages.back())})) && ok;
    }

    IconImage cursor = DibMonochrome(DrawCursorPicture());
    ok = WriteFile(iconDir + "/cursor152.cur", CursorFile(cursor, CURSOR_HOT_X, CURSOR_HOT_Y)) &&
         ok;

    Image sheet = ComposeSheet("QUIB Touch Pad Center: icons and cursor",
                               IconSheetSections(app, kit, tray, trayImages));
    ok = WriteFile(argv[2], EncodePng(sheet, false)) && ok;
    return ok ? 0 : 1;
}
