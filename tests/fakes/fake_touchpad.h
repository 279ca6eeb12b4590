// A recording stand-in for the ten library entries, linked into test programs in place of
// QuibTPApi.dll. Results are scripted; every call is recorded lock-free (a lock here would
// add ordering between the report thread and the poll thread and hide races from TSan).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "link/touchpad_api.h"

enum FakeEntry {
    FAKE_CONNECT,
    FAKE_DISCONNECT,
    FAKE_FORWARD_RAW,
    FAKE_BUTTON_FOLLOW_UP,
    FAKE_CHECK_BUTTONS,
    FAKE_MOUSE_SWAP,
    FAKE_INIT_ONCE,
    FAKE_IS_DISABLED,
    FAKE_GET_TRAY_MODE,
    FAKE_SET_ENABLED,
    FAKE_ENTRY_COUNT,
};

struct FakeCall {
    FakeEntry entry;
    int64_t value;        // the integer argument, or 0
    const void* pointer;  // the pointer argument, or null
    const void* pointer2; // TpConnect's callback
};

struct FakeTouchpadScript {
    std::atomic<int32_t> connectResult{1};
    std::atomic<int32_t> isDisabledResult{0};
    std::atomic<int32_t> trayModeResult{1};
    std::atomic<int32_t> checkButtonsResult{0};
};

extern FakeTouchpadScript FakeScript;

// When set, called with every call as it is recorded (single-threaded tests only), so a
// test can interleave library calls with other events in one sequence.
extern void (*FakeCallObserver)(const FakeCall& call);

// Clears the record, removes the observer and restores the default script (connect accepted, pad enabled,
// live icon, button check answering 0).
void ResetFakeTouchpad();

// Calls recorded since the last reset, oldest first. Call only while no thread is calling.
std::vector<FakeCall> FakeCalls();
int FakeCallCount(FakeEntry entry);
int FakeTotalCalls();

// "TpSetEnabled(0)", "TpIsDisabled()", ...: one readable line per call, for assertions.
std::vector<std::string> FakeCallNames();
std::string DescribeFakeCall(const FakeCall& call);
