// The program's icon groups: the application icon and the twenty notification-area icons.
#pragma once

#include "res/resource.h"
#include "tests/windows/resources/resource_module.h"

#include <cstddef>

struct IconGroup {
    WORD id;
    LANGID language;
    size_t imageCount;
};

inline constexpr IconGroup kIconGroups[] = {
    {IDI_APP, kEnglishUs, 10},
    {IDI_TRAY_IDLE, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER1_0, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER2_0, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER3_0, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER4_0, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER5_0, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER1_1, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER1_2, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER2_1, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER2_2, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER3_1, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER3_2, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER4_1, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER4_2, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER5_1, kChineseTaiwan, 1},
    {IDI_TRAY_FINGER5_2, kChineseTaiwan, 1},
    {IDI_TRAY_LEFT_BUTTON, kChineseTaiwan, 1},
    {IDI_TRAY_RIGHT_BUTTON, kChineseTaiwan, 1},
    {IDI_TRAY_DISABLED, kChineseTaiwan, 1},
    {IDI_TRAY_UNLINKED, kChineseTaiwan, 1},
};
