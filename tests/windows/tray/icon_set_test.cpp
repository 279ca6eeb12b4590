#include <gtest/gtest.h>

#include "tray/icon_set.h"

namespace {

HINSTANCE ThisModule()
{
    return GetModuleHandleW(nullptr);
}

SIZE IconSize(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) {
        return SIZE{0, 0};
    }
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}

TEST(IconSetTest, SlotsMapToTheirResources)
{
    const struct {
        IconSlot slot;
        WORD resource;
    } expected[] = {
        {appIcon, 107},          {idleIcon, 129},         {FingerIcon(1, 0), 130}, {FingerIcon(1, 1), 135},
        {FingerIcon(1, 2), 136}, {FingerIcon(2, 0), 131}, {FingerIcon(2, 1), 137}, {FingerIcon(2, 2), 138},
        {FingerIcon(3, 0), 132}, {FingerIcon(3, 1), 139}, {FingerIcon(3, 2), 140}, {FingerIcon(4, 0), 133},
        {FingerIcon(4, 1), 141}, {FingerIcon(4, 2), 142}, {FingerIcon(5, 0), 134}, {FingerIcon(5, 1), 143},
        {FingerIcon(5, 2), 144}, {leftButtonIcon, 145},  {rightButtonIcon, 146}, {disabledIcon, 147},
        {unlinkedIcon, 32513},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(IconSlotResource(e.slot), e.resource) << e.slot;
    }
}

TEST(IconSetTest, MissingPictureLeavesOnlyItsSlotEmpty)
{
    LoadIconSet(ThisModule());
    for (int slot = 0; slot < ICON_SLOT_COUNT; ++slot) {
        SCOPED_TRACE(slot);
        if (slot == FingerIcon(3, 2)) {
            EXPECT_EQ(IconSet[slot], nullptr);
            continue;
        }
        ASSERT_NE(IconSet[slot], nullptr);
        const SIZE size = IconSize(IconSet[slot]);
        EXPECT_EQ(size.cx, 16);
        EXPECT_EQ(size.cy, 16);
    }
    // Each handle is a private copy: it can be destroyed, and only once.
    for (HICON& icon : IconSet) {
        if (icon != nullptr) {
            EXPECT_TRUE(DestroyIcon(icon));
            EXPECT_FALSE(DestroyIcon(icon));
            icon = nullptr;
        }
    }
}

TEST(IconSetTest, LoadsAreFreshCopiesEachTime)
{
    LoadIconSet(ThisModule());
    const HICON first = IconSet[idleIcon];
    const HICON firstUnlinked = IconSet[unlinkedIcon];
    LoadIconSet(ThisModule());
    EXPECT_NE(IconSet[idleIcon], first);
    EXPECT_NE(IconSet[unlinkedIcon], firstUnlinked);
    DestroyIcon(first);
    DestroyIcon(firstUnlinked);
    ReleaseIconSet();
}

TEST(IconSetTest, ReleaseDestroysEveryLoadedHandle)
{
    LoadIconSet(ThisModule());
    HICON loaded[ICON_SLOT_COUNT];
    int count = 0;
    for (int slot = 0; slot < ICON_SLOT_COUNT; ++slot) {
        loaded[slot] = IconSet[slot];
        count += loaded[slot] != nullptr;
    }
    EXPECT_EQ(count, 20);

    ReleaseIconSet();

    for (HICON icon : loaded) {
        if (icon != nullptr) {
            ICONINFO info = {};
            EXPECT_FALSE(GetIconInfo(icon, &info)) << "a handle survived the release";
        }
    }
    // The slots are not reset: nothing reads the set after the window is gone.
    EXPECT_EQ(IconSet[idleIcon], loaded[idleIcon]);
}

TEST(IconSetTest, ModuleWithoutPicturesGivesAnEmptySet)
{
    // ntdll holds no icons. In particular 32513 must not fall back to the system's icon of
    // the same number.
    LoadIconSet(GetModuleHandleW(L"ntdll.dll"));
    for (int slot = 0; slot < ICON_SLOT_COUNT; ++slot) {
        EXPECT_EQ(IconSet[slot], nullptr) << slot;
    }
    ReleaseIconSet();
    for (int slot = 0; slot < ICON_SLOT_COUNT; ++slot) {
        EXPECT_EQ(IconSet[slot], nullptr) << slot;
    }
}

}  // namespace
