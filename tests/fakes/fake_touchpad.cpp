#include "tests/fakes/fake_touchpad.h"

FakeTouchpadScript FakeScript;
void (*FakeCallObserver)(const FakeCall& call) = nullptr;

namespace {

constexpr int MAX_RECORDED_CALLS = 1 << 16;

FakeCall RecordedCalls[MAX_RECORDED_CALLS];
std::atomic<int> RecordedCount{0};
std::atomic<int> EntryCounts[FAKE_ENTRY_COUNT];

int32_t Record(FakeEntry entry, int64_t value, const void* pointer, int32_t result,
               const void* pointer2 = nullptr)
{
    EntryCounts[entry].fetch_add(1, std::memory_order_relaxed);
    const int index = RecordedCount.fetch_add(1, std::memory_order_relaxed);
    const FakeCall call{entry, value, pointer, pointer2};
    if (index < MAX_RECORDED_CALLS) {
        RecordedCalls[index] = call;
    }
    if (FakeCallObserver != nullptr) {
        FakeCallObserver(call);
    }
    return result;
}

const char* const EntryNames[FAKE_ENTRY_COUNT] = {
    "TpConnect",  "TpDisconnect",  "TpForwardRawReport", "TpButtonFollowUp", "TpCheckButtonFlags",
    "TpMouseButtonSwapChanged", "TpInitOnce", "TpIsDisabled", "TpGetTrayMode", "TpSetEnabled",
};

}  // namespace

void ResetFakeTouchpad()
{
    FakeCallObserver = nullptr;
    RecordedCount.store(0);
    for (auto& count : EntryCounts) {
        count.store(0);
    }
    FakeScript.connectResult.store(1);
    FakeScript.isDisabledResult.store(0);
    FakeScript.trayModeResult.store(1);
    FakeScript.checkButtonsResult.store(0);
}

std::vector<FakeCall> FakeCalls()
{
    const int count = RecordedCount.load();
    const int kept = count < MAX_RECORDED_CALLS ? count : MAX_RECORDED_CALLS;
    return std::vector<FakeCall>(RecordedCalls, RecordedCalls + kept);
}

int FakeCallCount(FakeEntry entry)
{
    return EntryCounts[entry].load();
}

int FakeTotalCalls()
{
    return RecordedCount.load();
}

std::string DescribeFakeCall(const FakeCall& call)
{
    std::string text = EntryNames[call.entry];
    switch (call.entry) {
    case FAKE_BUTTON_FOLLOW_UP:
    case FAKE_CHECK_BUTTONS:
    case FAKE_SET_ENABLED:
        return text + "(" + std::to_string(call.value) + ")";
    default:
        return text + "()";
    }
}

std::vector<std::string> FakeCallNames()
{
    std::vector<std::string> names;
    for (const FakeCall& call : FakeCalls()) {
        names.push_back(DescribeFakeCall(call));
    }
    return names;
}

extern "C" {

int32_t TpConnect(void* instance, ReportCallback callback)
{
    return Record(FAKE_CONNECT, 0, instance, FakeScript.connectResult.load(),
                  reinterpret_cast<const void*>(callback));
}

int32_t TpDisconnect()
{
    return Record(FAKE_DISCONNECT, 0, nullptr, 0);
}

int32_t TpForwardRawReport(const void* payload)
{
    return Record(FAKE_FORWARD_RAW, 0, payload, 0);
}

int32_t TpButtonFollowUp(int32_t zero)
{
    return Record(FAKE_BUTTON_FOLLOW_UP, zero, nullptr, 0);
}

int32_t TpCheckButtonFlags(int32_t buttonFlags)
{
    return Record(FAKE_CHECK_BUTTONS, buttonFlags, nullptr, FakeScript.checkButtonsResult.load());
}

int32_t TpMouseButtonSwapChanged(void* scratch560)
{
    return Record(FAKE_MOUSE_SWAP, 0, scratch560, 0);
}

int32_t TpInitOnce(void* initRecord)
{
    return Record(FAKE_INIT_ONCE, 0, initRecord, 0);
}

int32_t TpIsDisabled()
{
    return Record(FAKE_IS_DISABLED, 0, nullptr, FakeScript.isDisabledResult.load());
}

int32_t TpGetTrayMode()
{
    return Record(FAKE_GET_TRAY_MODE, 0, nullptr, FakeScript.trayModeResult.load());
}

int32_t TpSetEnabled(int32_t enabled)
{
    return Record(FAKE_SET_ENABLED, enabled, nullptr, 0);
}

}  // extern "C"
