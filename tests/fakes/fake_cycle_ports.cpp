#include "tests/fakes/fake_cycle_ports.h"

#include "link/cycle_ports.h"
#include "tests/fakes/fake_touchpad.h"

FakeCycleWorld CycleWorld;

namespace {

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text != nullptr && *text != 0; ++text) {
        out += static_cast<char>(*text);
    }
    return out;
}

void RecordLibraryCall(const FakeCall& call)
{
    CycleWorld.events.push_back(DescribeFakeCall(call));
}

}  // namespace

std::string SlotName(IconSlot slot)
{
    static const char* const names[] = {"appIcon", "idleIcon", "leftButtonIcon", "rightButtonIcon",
                                        "disabledIcon", "unlinkedIcon"};
    if (slot >= appIcon && slot < fingerIcons) {
        return names[slot];
    }
    const int index = slot - fingerIcons;
    return "finger" + std::to_string(index / 3 + 1) + "_" + std::to_string(index % 3);
}

void ResetCycleWorld()
{
    CycleWorld = FakeCycleWorld{};
    ResetFakeTouchpad();
    FakeCallObserver = RecordLibraryCall;
}

void StartCycleTimer(uint32_t timerId, uint32_t periodMs)
{
    CycleWorld.timers[timerId] = periodMs;
    CycleWorld.events.push_back("start timer " + std::to_string(timerId) + " " + std::to_string(periodMs));
}

void StopCycleTimer(uint32_t timerId)
{
    CycleWorld.timers.erase(timerId);
    CycleWorld.events.push_back("stop timer " + std::to_string(timerId));
}

namespace {

// A refused call is recorded with " refused" and changes nothing the shell shows.
bool ShellAnswer(const std::string& event)
{
    const bool takes = CycleWorld.shellRefusals == 0;
    CycleWorld.shellRefusals -= takes ? 0 : 1;
    CycleWorld.events.push_back(event + (takes ? "" : " refused"));
    return takes;
}

}  // namespace

bool AddStatusIcon(IconSlot slot, const wchar_t* tip)
{
    CycleWorld.tip = tip;  // the record keeps the tip of a refused add too
    if (!ShellAnswer("tray add " + SlotName(slot) + " '" + Narrow(tip) + "'")) {
        return false;
    }
    CycleWorld.iconShown = true;
    CycleWorld.picture = slot;
    return true;
}

bool SetStatusIconImage(IconSlot slot)
{
    if (!ShellAnswer("tray image " + SlotName(slot))) {
        return false;
    }
    CycleWorld.picture = slot;
    return true;
}

void RemoveStatusIcon()
{
    CycleWorld.iconShown = false;
    CycleWorld.events.push_back("tray remove");
}

bool RestoreStatusIcon(IconSlot slot)
{
    if (!ShellAnswer("tray restore " + SlotName(slot) + " '" + Narrow(CycleWorld.tip.c_str()) + "'")) {
        return false;
    }
    CycleWorld.iconShown = true;
    CycleWorld.picture = slot;
    return true;
}
