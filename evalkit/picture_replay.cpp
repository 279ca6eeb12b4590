#include "evalkit/picture_replay.h"

namespace {

// The report's button bits: a release beats a press of the same button in one report.
enum : int32_t { LEFT_DOWN = 0x01, LEFT_UP = 0x02, RIGHT_DOWN = 0x04, RIGHT_UP = 0x08 };

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

void Store(PICTUREREPLAY& replay, int32_t& field, int32_t value)
{
    if (field != value) {
        field = value;
        replay.pending = true;
    }
}

}  // namespace

void ReplayLink(PICTUREREPLAY& replay)
{
    replay.pending = true;
}

void ReplayStatusReport(PICTUREREPLAY& replay, const std::string& hexBytes)
{
    const int flags = ByteAt(hexBytes, 12);
    const int fingers = ByteAt(hexBytes, 13);
    const int contact = ByteAt(hexBytes, 14);
    if (flags < 0 || fingers < 0 || contact < 0) {
        return;  // a short record: the log keeps no more of it to replay
    }
    Store(replay, replay.contactLevel, contact < 2 ? 0 : (contact < 4 ? 1 : 2));
    Store(replay, replay.fingers, fingers);
    if (flags & LEFT_UP) {
        replay.leftHeld = 0;
    } else if (flags & LEFT_DOWN) {
        replay.leftHeld = 1;
    }
    if (flags & RIGHT_UP) {
        replay.rightHeld = 0;
    } else if (flags & RIGHT_DOWN) {
        replay.rightHeld = 1;
    }
    Store(replay, replay.buttonMode, replay.leftHeld != 0 ? 1 : (replay.rightHeld != 0 ? 2 : 0));
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
