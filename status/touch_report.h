// The record through which the touchpad library delivers reports, and the callback that
// decodes it into TouchStatus.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    REPORT_RAW = 0x102,     // handed straight back to the library
    REPORT_STATUS = 0x103,  // fingers, contact and buttons
};

enum : uint8_t {
    BUTTON_LEFT_DOWN = 0x01,
    BUTTON_LEFT_UP = 0x02,  // wins over BUTTON_LEFT_DOWN in the same report
    BUTTON_RIGHT_DOWN = 0x04,
    BUTTON_RIGHT_UP = 0x08,  // wins over BUTTON_RIGHT_DOWN in the same report
};

// Owned by the library, little-endian, read in place during the callback only. A raw
// report's body after the type is the library's own; only a status report is known to
// reach offset 14.
struct TouchReport {
    uint32_t type;
    uint8_t unread[8];
    uint8_t buttonFlags;
    uint8_t fingers;
    uint8_t contact;
};

constexpr size_t REPORT_PAYLOAD_OFFSET = 4;
constexpr size_t REPORT_STATUS_SIZE = 15;

static_assert(offsetof(TouchReport, buttonFlags) == 12, "report layout");
static_assert(offsetof(TouchReport, fingers) == 13, "report layout");
static_assert(offsetof(TouchReport, contact) == 14, "report layout");

// The library's report callback (ReportCallback). Always returns 0.
int32_t OnTouchReport(const TouchReport* report);
