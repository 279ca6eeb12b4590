// Feeds the report callback sequences of arbitrary records and checks after each one what
// the callback promises: the mirrored fields stay in their ranges and agree with each other,
// a refresh is announced exactly when a mirrored field changed, the cycle's own fields are
// never touched, and the library hears exactly the calls that the record calls for.
//
// Input: 4 bytes for linked, touchpadDisabled, trayMode and initDone (each a signed byte),
// then records of 16 bytes each, the last one padded with zeros: a control byte and the 15
// bytes of the record. Control bits 0-1: 0 keeps the record's own type, 1 makes it raw, 2
// and 3 make it a status report, so the status path is taken often. Bits 2-3: what the
// button check answers (0, 1, -1, or the record's bytes 4-7). Bit 4: a record that is not a
// status report is cut to its 4 type bytes, so any read past the type is out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "status/touch_report.h"
#include "status/touch_status.h"
#include "tests/fakes/fake_touchpad.h"
#include "tests/fakes/test_status.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr size_t HEADER_SIZE = 4;
constexpr size_t CHUNK_SIZE = 1 + REPORT_STATUS_SIZE;

struct RecordPlan {
    uint8_t bytes[REPORT_STATUS_SIZE];
    uint32_t type;
    int32_t checkAnswer;
    size_t size;  // how many bytes the callback gets to see
};

uint32_t LittleEndian32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void StoreType(uint8_t* bytes, uint32_t type)
{
    for (int shift = 0; shift < 32; shift += 8) {
        *bytes++ = static_cast<uint8_t>(type >> shift);
    }
}

RecordPlan PlanRecord(const uint8_t* chunk, size_t available)
{
    uint8_t padded[CHUNK_SIZE] = {};
    std::memcpy(padded, chunk, available < CHUNK_SIZE ? available : CHUNK_SIZE);
    const uint8_t control = padded[0];

    RecordPlan plan{};
    std::memcpy(plan.bytes, padded + 1, REPORT_STATUS_SIZE);
    if ((control & 0x03) == 1) {
        StoreType(plan.bytes, REPORT_RAW);
    } else if ((control & 0x03) >= 2) {
        StoreType(plan.bytes, REPORT_STATUS);
    }
    plan.type = LittleEndian32(plan.bytes);
    const int32_t answers[] = {0, 1, -1, static_cast<int32_t>(LittleEndian32(plan.bytes + 4))};
    plan.checkAnswer = answers[(control >> 2) & 0x03];
    plan.size = (control & 0x10) && plan.type != REPORT_STATUS ? 4 : REPORT_STATUS_SIZE;
    return plan;
}

bool IsLatch(int32_t value)
{
    return value == 0 || value == 1;
}

void CheckRanges(const StatusSnapshot& after)
{
    FUZZ_CHECK(after.contactLevel >= 0 && after.contactLevel <= 2);
    FUZZ_CHECK(IsLatch(after.leftLatch) && IsLatch(after.rightLatch));
    const int32_t mode = after.leftLatch == 1 ? 1 : (after.rightLatch == 1 ? 2 : 0);
    FUZZ_CHECK(after.buttonMode == mode);
}

// What a status report must leave behind, latch by latch and field by field.
void CheckStatusReport(const RecordPlan& plan, const StatusSnapshot& before, const StatusSnapshot& after)
{
    const uint8_t flags = plan.bytes[12];
    const uint8_t fingers = plan.bytes[13];
    const uint8_t contact = plan.bytes[14];
    FUZZ_CHECK(after.fingerCount == fingers);
    FUZZ_CHECK(after.contactLevel == (contact < 2 ? 0 : (contact < 4 ? 1 : 2)));
    const int32_t left = flags & BUTTON_LEFT_UP ? 0 : (flags & BUTTON_LEFT_DOWN ? 1 : before.leftLatch);
    const int32_t right = flags & BUTTON_RIGHT_UP ? 0 : (flags & BUTTON_RIGHT_DOWN ? 1 : before.rightLatch);
    FUZZ_CHECK(after.leftLatch == left && after.rightLatch == right);

    const std::vector<FakeCall> calls = FakeCalls();
    if (flags == 0) {
        FUZZ_CHECK(calls.empty());
        return;
    }
    const size_t expected = plan.checkAnswer != 0 ? 2 : 1;
    FUZZ_CHECK(calls.size() == expected);
    FUZZ_CHECK(calls[0].entry == FAKE_CHECK_BUTTONS && calls[0].value == flags);
    if (expected == 2) {
        FUZZ_CHECK(calls[1].entry == FAKE_BUTTON_FOLLOW_UP && calls[1].value == 0);
    }
}

void DeliverAndCheck(const RecordPlan& plan)
{
    // An exactly sized copy, so that the sanitizer catches a read past what was handed over.
    const std::unique_ptr<uint8_t[]> record(new uint8_t[plan.size]);
    std::memcpy(record.get(), plan.bytes, plan.size);

    ResetFakeTouchpad();
    FakeScript.checkButtonsResult = plan.checkAnswer;
    TouchStatus.refreshPending = 0;
    const StatusSnapshot before = SnapshotOf(TouchStatus);

    FUZZ_CHECK(OnTouchReport(reinterpret_cast<const TouchReport*>(record.get())) == 0);

    const StatusSnapshot after = SnapshotOf(TouchStatus);
    CheckRanges(after);
    FUZZ_CHECK(after.linked == before.linked && after.touchpadDisabled == before.touchpadDisabled &&
               after.trayMode == before.trayMode && after.initDone == before.initDone);
    const bool changed = after.contactLevel != before.contactLevel || after.fingerCount != before.fingerCount ||
                         after.buttonMode != before.buttonMode;
    FUZZ_CHECK(after.refreshPending == (changed ? 1 : 0));

    if (plan.type == REPORT_STATUS) {
        CheckStatusReport(plan, before, after);
        return;
    }
    // Anything else leaves the status as it was.
    FUZZ_CHECK(after == before);
    const std::vector<FakeCall> calls = FakeCalls();
    if (plan.type == REPORT_RAW) {
        FUZZ_CHECK(calls.size() == 1);
        FUZZ_CHECK(calls[0].entry == FAKE_FORWARD_RAW && calls[0].pointer == record.get() + REPORT_PAYLOAD_OFFSET);
    } else {
        FUZZ_CHECK(calls.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ResetTouchStatus();
    uint8_t header[HEADER_SIZE] = {};
    std::memcpy(header, data, size < HEADER_SIZE ? size : HEADER_SIZE);
    TouchStatus.linked = static_cast<int8_t>(header[0]);
    TouchStatus.touchpadDisabled = static_cast<int8_t>(header[1]);
    TouchStatus.trayMode = static_cast<int8_t>(header[2]);
    TouchStatus.initDone = static_cast<int8_t>(header[3]);

    for (size_t offset = HEADER_SIZE; offset < size; offset += CHUNK_SIZE) {
        DeliverAndCheck(PlanRecord(data + offset, size - offset));
    }
    return 0;
}
