#include "tools/icongen/app_images.h"

#include "tools/icongen/app_art.h"
#include "tools/icongen/kit_art.h"
#include "tools/icongen/palette.h"

namespace {

std::string SizeText(const Image& picture)
{
    return std::to_string(picture.width) + "x" + std::to_string(picture.height);
}

AppImage Truecolour(const Image& picture)
{
    return {Dib32(picture), picture, SizeText(picture) + " 32-bit"};
}

AppImage Compressed(const Image& picture)
{
    return {PngImage(picture), picture, SizeText(picture) + " 32-bit PNG"};
}

// Each palette is fitted to its own picture: the silver and blue need more shades than a
// fixed system palette offers.
AppImage Paletted(const Image& picture, int bitCount)
{
    IndexedImage indexed = MapToPalette(picture, FittedPalette(picture, 1 << bitCount));
    return {DibIndexed(indexed, bitCount), ShowIndexed(indexed),
            SizeText(picture) + " " + std::to_string(bitCount) + "-bit"};
}

}  // namespace

std::vector<AppImage> AppImages()
{
    Image p256 = DrawAppPicture(256);
    Image p128 = DrawAppPicture(128);
    Image p48 = DrawAppPicture(48);
    Image p32 = DrawAppPicture(32);
    Image p16 = DrawAppPicture(16);
    return {Paletted(p32, 4),  Paletted(p16, 4),    Paletted(p48, 8),   Paletted(p32, 8),
            Paletted(p16, 8),  Compressed(p256),    Truecolour(p128),   Truecolour(p48),
            Truecolour(p32),   Truecolour(p16)};
}

std::vector<AppImage> KitImages()
{
    return {Compressed(DrawKitPicture(256)), Truecolour(DrawKitPicture(48)),
            Truecolour(DrawKitPicture(32)), Truecolour(DrawKitPicture(16))};
}
