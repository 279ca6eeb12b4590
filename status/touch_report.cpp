#include "status/touch_report.h"

#include "link/touchpad_api.h"
#include "status/touch_status.h"

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

int32_t ContactLevelOf(uint8_t contact)
{
    if (contact < 2) {
        return 0;
    }
    return contact < 4 ? 1 : 2;
}

// Only this callback writes the latches; a release bit beats a press bit of the same report.
void UpdateLatches(uint8_t buttonFlags)
{
    if (buttonFlags & BUTTON_LEFT_UP) {
        TouchStatus.leftLatch.store(0, relaxed);
    } else if (buttonFlags & BUTTON_LEFT_DOWN) {
        TouchStatus.leftLatch.store(1, relaxed);
    }
    if (buttonFlags & BUTTON_RIGHT_UP) {
        TouchStatus.rightLatch.store(0, relaxed);
    } else if (buttonFlags & BUTTON_RIGHT_DOWN) {
        TouchStatus.rightLatch.store(1, relaxed);
    }
}

int32_t ButtonModeOfLatches()
{
    if (TouchStatus.leftLatch.load(relaxed) == 1) {
        return 1;
    }
    return TouchStatus.rightLatch.load(relaxed) == 1 ? 2 : 0;
}

// Stores a mirrored field only when it changes, and announces the change after the store
// so that the poll tick which sees the flag also sees the value.
void StoreMirroredField(std::atomic<int32_t>& field, int32_t value)
{
    if (field.load(relaxed) != value) {
        field.store(value, relaxed);
        AnnounceRefresh(TouchStatus);
    }
}

}  // namespace

int32_t OnTouchReport(const TouchReport* report)
{
    if (report == nullptr) {
        return 0;
    }
    if (report->type == REPORT_RAW) {
        TpForwardRawReport(reinterpret_cast<const uint8_t*>(report) + REPORT_PAYLOAD_OFFSET);
        return 0;
    }
    if (report->type != REPORT_STATUS) {
        return 0;
    }

    StoreMirroredField(TouchStatus.contactLevel, ContactLevelOf(report->contact));
    StoreMirroredField(TouchStatus.fingerCount, report->fingers);

    const uint8_t buttonFlags = report->buttonFlags;
    if (buttonFlags != 0) {
        UpdateLatches(buttonFlags);
        if (TpCheckButtonFlags(buttonFlags) != 0) {
            TpButtonFollowUp(0);
        }
    }

    StoreMirroredField(TouchStatus.buttonMode, ButtonModeOfLatches());
    return 0;
}
