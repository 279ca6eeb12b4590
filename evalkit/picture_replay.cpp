#include "evalkit/picture_replay.h"

#include <cstring>

#include "status/touch_report.h"
#include "status/touch_status.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

int ByteAt(const std::string& hexBytes, size_t index)
{
    if (hexBytes.size() < 2 * index + 2) {
        return -1;
    }
    const int high = HexDigit(hexBytes[2 * index]);
    const int low = HexDigit(hexBytes[2 * index + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

void ReplayLink(PICTUREREPLAY& replay)
{
    replay.pending = true;
}

void ReplayStatusReport(PICTUREREPLAY& replay, const std::string& hexBytes)
{
    uint8_t bytes[REPORT_STATUS_SIZE];
    for (size_t i = 0; i < REPORT_STATUS_SIZE; ++i) {
        const int value = ByteAt(hexBytes, i);
        if (value < 0) {
            return;  // a short record: the log keeps no more of it to replay
        }
        bytes[i] = static_cast<uint8_t>(value);
    }
    TouchReport report = {};
    std::memcpy(&report, bytes, REPORT_STATUS_SIZE);
    OnTouchReport(&report);
    if (TakeRefreshPending(TouchStatus) != 0) {
        replay.pending = true;
    }
}

void ReplayDisabledAnswer(PICTUREREPLAY& replay, int32_t answer)
{
    // The program flips its flag on any answer other than the one it holds.
    if (answer != replay.disabled) {
        replay.disabled = replay.disabled == 0 ? 1 : 0;
        replay.pending = true;
    }
}

void ReplayTrayModeAnswer(PICTUREREPLAY& replay, int32_t answer)
{
    if (answer != replay.trayMode) {
        replay.removals += answer == 0 ? 1 : 0;
        replay.returns += replay.trayMode == 0 ? 1 : 0;
        replay.trayMode = answer;
        replay.pending = true;
    }
    // While the tray mode hides the icon, the change waits for its return.
    if (replay.trayMode != 0 && replay.pending) {
        replay.pending = false;
        ++replay.changes;
    }
}
