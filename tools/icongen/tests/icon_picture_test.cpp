// Checks on the pixels that catch real faults in the art: a wrong dot count, levels in the
// wrong order, a sign on the wrong icon, two states that look alike, an opaque ground.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/icongen/tests/icon_reader.h"

namespace {

DecodedImage LoadImage(const std::string& name, size_t index = 0)
{
    IconFileData file;
    std::string error;
    DecodedImage image{0, 0, {}, {}};
    EXPECT_TRUE(ParseIconFile(ReadBytes(std::string(ICON_DIR) + "/" + name), file, error))
        << name << ": " << error;
    if (index < file.entries.size()) {
        EXPECT_TRUE(DecodeDib(file, file.entries[index], image)) << name << " image " << index;
    } else {
        ADD_FAILURE() << name << " has no image " << index;
    }
    return image;
}

DecodedImage LoadTray(int resource)
{
    return LoadImage("tray" + std::to_string(resource) + ".ico");
}

int Lightness(const Rgba8& p)
{
    return p.r + p.g + p.b;
}

bool IsStrongRed(const Rgba8& p)
{
    return p.a > 200 && p.r > 170 && p.g < 90 && p.b < 90;
}

// How much bluer and greener than the bare pad a pixel glows. The bare pad is taken as the
// darker of the two button pictures at each pixel, since each lights only its own bar.
std::vector<int> GlowOverBarePad(const DecodedImage& image)
{
    DecodedImage left = LoadTray(145);
    DecodedImage right = LoadTray(146);
    std::vector<int> glow(image.pixels.size(), 0);
    for (size_t i = 0; i < glow.size() && i < left.pixels.size() && i < right.pixels.size(); ++i) {
        const Rgba8& l = left.pixels[i];
        const Rgba8& r = right.pixels[i];
        int bare = std::min(l.g + l.b, r.g + r.b);
        glow[i] = image.pixels[i].g + image.pixels[i].b - bare;
    }
    return glow;
}

// Groups of touching pixels (diagonals included) whose glow reaches half the brightest:
// each finger dot must stand apart from the next.
int CountDots(const DecodedImage& image)
{
    std::vector<int> glow = GlowOverBarePad(image);
    int peak = *std::max_element(glow.begin(), glow.end());
    if (peak <= 0) {
        return 0;
    }
    std::vector<uint8_t> lit(glow.size());
    for (size_t i = 0; i < glow.size(); ++i) {
        lit[i] = glow[i] * 2 >= peak;
    }
    int dots = 0;
    for (size_t start = 0; start < lit.size(); ++start) {
        if (!lit[start]) {
            continue;
        }
        ++dots;
        std::vector<size_t> pending = {start};
        lit[start] = 0;
        while (!pending.empty()) {
            int x = static_cast<int>(pending.back() % image.width);
            int y = static_cast<int>(pending.back() / image.width);
            pending.pop_back();
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= image.width || ny >= image.height) {
                        continue;
                    }
                    size_t n = static_cast<size_t>(ny) * image.width + nx;
                    if (lit[n]) {
                        lit[n] = 0;
                        pending.push_back(n);
                    }
                }
            }
        }
    }
    return dots;
}

// The lightness of the brightest pixel that the dots change.
int PeakDotLightness(const DecodedImage& image)
{
    std::vector<int> glow = GlowOverBarePad(image);
    int peak = 0;
    for (size_t i = 0; i < glow.size(); ++i) {
        if (glow[i] > 0) {
            peak = std::max(peak, Lightness(image.pixels[i]));
        }
    }
    return peak;
}

// Resource numbers of finger row n (1 to 5), column c (0 to 2).
int FingerResource(int row, int column)
{
    const int perColumn[3] = {129 + row, 133 + 2 * row, 134 + 2 * row};
    return perColumn[column];
}

TEST(FingerPictures, ShowAsManyDotsAsFingers)
{
    for (int row = 1; row <= 5; ++row) {
        for (int column = 0; column < 3; ++column) {
            int resource = FingerResource(row, column);
            EXPECT_EQ(CountDots(LoadTray(resource)), row) << "resource " << resource;
        }
    }
}

TEST(FingerPictures, GlowBrighterWithEachContactLevel)
{
    for (int row = 1; row <= 5; ++row) {
        int faint = PeakDotLightness(LoadTray(FingerResource(row, 0)));
        int medium = PeakDotLightness(LoadTray(FingerResource(row, 1)));
        int bright = PeakDotLightness(LoadTray(FingerResource(row, 2)));
        EXPECT_LT(faint, medium) << "row " << row;
        EXPECT_LT(medium, bright) << "row " << row;
    }
}

TEST(StatePictures, IdleAndButtonPicturesShowNoDots)
{
    for (int resource : {129, 145, 146, 147, 32513}) {
        DecodedImage image = LoadTray(resource);
        int cyan = 0;
        for (int y = 2; y < 10; ++y) {
            for (int x = 2; x < 14; ++x) {
                const Rgba8& p = PixelAt(image, x, y);
                cyan += (p.b > p.r + 80 && p.g > p.r + 60) ? 1 : 0;
            }
        }
        EXPECT_EQ(cyan, 0) << "resource " << resource;
    }
}

// Sums the lightness of the bottom quarter's left and right halves.
void BottomHalves(const DecodedImage& image, int& left, int& right)
{
    left = right = 0;
    for (int y = image.height * 3 / 4; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            (x < image.width / 2 ? left : right) += Lightness(PixelAt(image, x, y));
        }
    }
}

TEST(StatePictures, EachButtonPictureLightsItsOwnSide)
{
    int leftOfLeft, rightOfLeft, leftOfRight, rightOfRight;
    BottomHalves(LoadTray(145), leftOfLeft, rightOfLeft);
    BottomHalves(LoadTray(146), leftOfRight, rightOfRight);
    EXPECT_GT(leftOfLeft, leftOfRight);
    EXPECT_GT(rightOfRight, rightOfLeft);
}

TEST(StatePictures, OnlyTheWarningsAreRed)
{
    for (int resource = 129; resource <= 146; ++resource) {
        DecodedImage image = LoadTray(resource);
        EXPECT_EQ(std::count_if(image.pixels.begin(), image.pixels.end(), IsStrongRed), 0)
            << "resource " << resource;
    }
    // The prohibition sign sits over the lower right; the exclamation mark stands tall
    // along the right edge.
    DecodedImage disabled = LoadTray(147);
    DecodedImage unlinked = LoadTray(32513);
    int signX = 0, signY = 0, signCount = 0;
    int markTop = 16, markBottom = -1, markLeft = 16;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            if (IsStrongRed(PixelAt(disabled, x, y))) {
                signX += x;
                signY += y;
                ++signCount;
            }
            if (IsStrongRed(PixelAt(unlinked, x, y))) {
                markTop = std::min(markTop, y);
                markBottom = std::max(markBottom, y);
                markLeft = std::min(markLeft, x);
            }
        }
    }
    ASSERT_GT(signCount, 10);
    EXPECT_GE(signX / signCount, 8);
    EXPECT_GE(signY / signCount, 8);
    EXPECT_GE(markBottom - markTop, 10);
    EXPECT_GE(markLeft, 10);
}

int VisibleDifference(const DecodedImage& a, const DecodedImage& b)
{
    int differing = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
        const Rgba8& p = a.pixels[i];
        const Rgba8& q = b.pixels[i];
        int d = std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) +
                std::abs(p.a - q.a);
        differing += d >= 60 ? 1 : 0;
    }
    return differing;
}

TEST(StatePictures, AllTwentyOneTellApart)
{
    std::vector<std::pair<std::string, DecodedImage>> pictures;
    pictures.emplace_back("app107 16x16", LoadImage("app107.ico", 9));
    for (int resource : {129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 142,
                         143, 144, 145, 146, 147, 32513}) {
        pictures.emplace_back(std::to_string(resource), LoadTray(resource));
    }
    for (size_t i = 0; i < pictures.size(); ++i) {
        for (size_t j = i + 1; j < pictures.size(); ++j) {
            EXPECT_GE(VisibleDifference(pictures[i].second, pictures[j].second), 3)
                << pictures[i].first << " and " << pictures[j].first << " look alike";
        }
    }
}

TEST(Transparency, MaskFollowsAlphaInTruecolourImages)
{
    std::vector<DecodedImage> images;
    for (size_t index = 6; index < 10; ++index) {
        images.push_back(LoadImage("app107.ico", index));
    }
    for (int resource : {129, 136, 145, 147, 32513}) {
        images.push_back(LoadTray(resource));
    }
    for (const DecodedImage& image : images) {
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                ASSERT_EQ(MaskedAt(image, x, y), PixelAt(image, x, y).a < 128)
                    << image.width << "x" << image.height << " at " << x << "," << y;
            }
        }
    }
}

TEST(Transparency, AppIconStandsOnAClearGroundWithABlueTouch)
{
    // Every bitmap image of the application icon (all but the PNG, place 6).
    for (size_t index : {0u, 1u, 2u, 3u, 4u, 6u, 7u, 8u, 9u}) {
        DecodedImage image = LoadImage("app107.ico", index);
        ASSERT_GT(image.width, 0);
        int last = image.width - 1;
        for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) {
            EXPECT_TRUE(MaskedAt(image, x, y)) << "image " << index + 1 << " corner";
            if (index >= 6) {
                EXPECT_EQ(PixelAt(image, x, y).a, 0) << "image " << index + 1 << " corner";
            }
        }
        int opaque = 0, blue = 0;
        for (int i = 0; i < image.width * image.height; ++i) {
            const Rgba8& p = image.pixels[i];
            if (image.mask[i]) {
                continue;
            }
            ++opaque;
            blue += (p.b >= 150 && p.b >= p.r + 90 && p.b >= p.g + 50) ? 1 : 0;
        }
        EXPECT_GT(opaque, image.width * image.height / 3) << "image " << index + 1;
        EXPECT_GT(blue, 0) << "image " << index + 1 << " shows no blue dot";
    }
}

// The kit launcher's icon is the application's picture, the same pixels outside its lower
// right corner, with a green badge there that the application's picture lacks.
TEST(KitIcon, IsTheAppPictureWithAGreenBadge)
{
    const std::pair<size_t, size_t> kitToApp[] = {{1, 7}, {2, 8}, {3, 9}};
    for (auto [kitIndex, appIndex] : kitToApp) {
        DecodedImage kit = LoadImage("launcher1.ico", kitIndex);
        DecodedImage app = LoadImage("app107.ico", appIndex);
        ASSERT_GT(kit.width, 0);
        ASSERT_EQ(kit.width, app.width);
        int same = 0, green = 0, appGreen = 0;
        for (int y = 0; y < kit.height; ++y) {
            for (int x = 0; x < kit.width; ++x) {
                const Rgba8& k = PixelAt(kit, x, y);
                const Rgba8& a = PixelAt(app, x, y);
                if (x < kit.width / 3 || y < kit.height / 3) {
                    same += (k.r == a.r && k.g == a.g && k.b == a.b && k.a == a.a) ? 1 : 0;
                }
                green += (k.a == 255 && k.g >= k.r + 60 && k.g >= k.b + 60) ? 1 : 0;
                appGreen += (a.a == 255 && a.g >= a.r + 60 && a.g >= a.b + 60) ? 1 : 0;
            }
        }
        const int corner = kit.width - kit.width / 3;
        const int outside = kit.width * kit.height - corner * corner;
        EXPECT_EQ(same, outside) << kit.width << "x" << kit.width;
        EXPECT_GT(green, kit.width * kit.height / 12) << kit.width << "x" << kit.width;
        EXPECT_EQ(appGreen, 0) << kit.width << "x" << kit.width;
    }
}

TEST(Transparency, CursorHotSpotLiesOnThePicture)
{
    DecodedImage cursor = LoadImage("cursor152.cur");
    ASSERT_EQ(cursor.width, 32);
    EXPECT_FALSE(MaskedAt(cursor, 16, 9));
    EXPECT_TRUE(MaskedAt(cursor, 0, 0));
}

}  // namespace
