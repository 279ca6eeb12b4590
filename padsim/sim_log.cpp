#include "padsim/sim_log.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "padsim/log_file.h"

namespace {

// One ring slot, after Vyukov's bounded queue: sequence equals the slot's position while
// the slot is free for that position, and position + 1 once its record is published.
struct LOGSLOT {
    std::atomic<uint64_t> sequence;
    SIMLOGRECORD record;
};

constexpr uint64_t RING_MASK = LOG_RING_SLOTS - 1;
constexpr size_t BATCH_SIZE = size_t{64} * 1024;
static_assert((LOG_RING_SLOTS & RING_MASK) == 0, "the ring size is a power of two");

LOGSLOT Ring[LOG_RING_SLOTS];
std::atomic<uint64_t> EnqueuePosition{0};
uint64_t DequeuePosition = 0;  // the consumer's, under DrainLock
std::atomic<int64_t> DroppedRecords{0};
std::atomic<bool> LogEnabled{false};

HANDLE LogFile = INVALID_HANDLE_VALUE;
CRITICAL_SECTION DrainLock;
char Batch[BATCH_SIZE];
uint32_t ProcessId = 0;
LARGE_INTEGER LoadTicks;
LARGE_INTEGER TickFrequency;

// The hot path stores raw counter ticks; the consumer converts them.
uint64_t TicksNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart);
}

uint64_t MicrosOfTicks(uint64_t ticks)
{
    const uint64_t base = static_cast<uint64_t>(LoadTicks.QuadPart);
    const uint64_t delta = ticks > base ? ticks - base : 0;
    const uint64_t frequency = static_cast<uint64_t>(TickFrequency.QuadPart);
    return delta / frequency * 1000000 + delta % frequency * 1000000 / frequency;
}

// Claims the slot for the next position, or null when the ring is full: a full ring costs
// a lost record, never a wait.
LOGSLOT* BeginRecord(uint64_t* position)
{
    uint64_t claimed = EnqueuePosition.load(std::memory_order_relaxed);
    for (;;) {
        LOGSLOT& slot = Ring[claimed & RING_MASK];
        const uint64_t sequence = slot.sequence.load(std::memory_order_acquire);
        const int64_t lead = static_cast<int64_t>(sequence - claimed);
        if (lead == 0) {
            if (EnqueuePosition.compare_exchange_weak(claimed, claimed + 1,
                                                      std::memory_order_relaxed)) {
                *position = claimed;
                return &slot;
            }
        } else if (lead < 0) {
            DroppedRecords.fetch_add(1, std::memory_order_relaxed);
            return nullptr;
        } else {
            claimed = EnqueuePosition.load(std::memory_order_relaxed);
        }
    }
}

void EndRecord(LOGSLOT* slot, uint64_t position)
{
    slot->sequence.store(position + 1, std::memory_order_release);
}

SIMLOGRECORD* StartRecord(SimLogKind kind, uint16_t code, uint64_t* position, LOGSLOT** slot)
{
    if (!LogEnabled.load(std::memory_order_relaxed)) {
        return nullptr;
    }
    *slot = BeginRecord(position);
    if (*slot == nullptr) {
        return nullptr;
    }
    SIMLOGRECORD& record = (*slot)->record;
    record.micros = TicksNow();
    record.threadId = GetCurrentThreadId();
    record.kind = kind;
    record.code = code;
    record.textLength = 0;
    return &record;
}

void ReleaseSlots(uint64_t from, uint64_t to)
{
    for (uint64_t position = from; position < to; ++position) {
        Ring[position & RING_MASK].sequence.store(position + LOG_RING_SLOTS,
                                                  std::memory_order_release);
    }
    DequeuePosition = to;
}

size_t AppendDroppedLine(size_t length)
{
    const int64_t dropped = DroppedRecords.exchange(0, std::memory_order_relaxed);
    if (dropped == 0) {
        return length;
    }
    SIMLOGRECORD record{};
    record.micros = MicrosOfTicks(TicksNow());
    record.threadId = GetCurrentThreadId();
    record.kind = LOG_EVENT;
    record.code = EVENT_DROPPED;
    record.values[0] = dropped;
    return length + FormatLogRecord(record, ProcessId, Batch + length);
}

// Formats the published records in order and appends them in batches. Slots are released
// only after their batch is written, so a writer cut off at process exit loses nothing.
void DrainLog(bool atExit)
{
    uint64_t position = DequeuePosition;
    uint64_t batchStart = position;
    size_t length = AppendDroppedLine(0);
    const uint64_t end = EnqueuePosition.load(std::memory_order_acquire);
    while (position < end) {
        LOGSLOT& slot = Ring[position & RING_MASK];
        if (slot.sequence.load(std::memory_order_acquire) != position + 1) {
            if (!atExit) {
                break;  // still being written; the next drain takes it
            }
            ++position;  // its writer is gone
            continue;
        }
        if (length + LOG_LINE_CAPACITY > BATCH_SIZE) {
            AppendToLog(LogFile, Batch, length);
            ReleaseSlots(batchStart, position);
            batchStart = position;
            length = 0;
        }
        // Converted in a copy: a drain cut off at exit formats the same slot again.
        SIMLOGRECORD record = slot.record;
        record.micros = MicrosOfTicks(record.micros);
        length += FormatLogRecord(record, ProcessId, Batch + length);
        ++position;
    }
    AppendToLog(LogFile, Batch, length);
    ReleaseSlots(batchStart, position);
}

DWORD WINAPI LogWriterThread(void*)
{
    for (;;) {
        Sleep(LOG_FLUSH_INTERVAL_MS);
        EnterCriticalSection(&DrainLock);
        DrainLog(false);
        LeaveCriticalSection(&DrainLock);
    }
}

}  // namespace

void InitLog()
{
    for (uint64_t i = 0; i < LOG_RING_SLOTS; ++i) {
        Ring[i].sequence.store(i, std::memory_order_relaxed);
    }
    InitializeCriticalSection(&DrainLock);
    QueryPerformanceFrequency(&TickFrequency);
    QueryPerformanceCounter(&LoadTicks);
    ProcessId = GetCurrentProcessId();
}

void StartLog(const std::wstring& path)
{
    LogFile = OpenAppendLog(path);
    if (LogFile == INVALID_HANDLE_VALUE) {
        return;
    }
    const HANDLE thread = CreateThread(nullptr, 0, LogWriterThread, nullptr, 0, nullptr);
    if (thread == nullptr) {
        return;  // no writer: stay silent rather than fill a ring nobody empties
    }
    CloseHandle(thread);
    LogEnabled.store(true, std::memory_order_release);
}

void LogCall(SimEntry entry, int64_t first, int64_t second, int64_t result)
{
    uint64_t position = 0;
    LOGSLOT* slot = nullptr;
    SIMLOGRECORD* record = StartRecord(LOG_CALL, entry, &position, &slot);
    if (record == nullptr) {
        return;
    }
    record->values[0] = first;
    record->values[1] = second;
    record->values[2] = 0;
    record->values[3] = result;
    EndRecord(slot, position);
}

void LogDelivery(int64_t number, const uint8_t* bytes, size_t size)
{
    uint64_t position = 0;
    LOGSLOT* slot = nullptr;
    SIMLOGRECORD* record = StartRecord(LOG_DELIVER, 0, &position, &slot);
    if (record == nullptr) {
        return;
    }
    record->values[0] = number;
    record->values[1] = static_cast<int64_t>(size);
    record->values[2] = bytes == nullptr ? 1 : 0;
    record->values[3] = 0;
    if (bytes != nullptr) {
        const size_t shown = size < LOG_BYTES_SHOWN ? size : LOG_BYTES_SHOWN;
        SetLogText(*record, reinterpret_cast<const char*>(bytes), shown);
    }
    EndRecord(slot, position);
}

void LogEvent(SimEvent event, int64_t first, int64_t second, int64_t third, std::string_view text)
{
    uint64_t position = 0;
    LOGSLOT* slot = nullptr;
    SIMLOGRECORD* record = StartRecord(LOG_EVENT, event, &position, &slot);
    if (record == nullptr) {
        return;
    }
    record->values[0] = first;
    record->values[1] = second;
    record->values[2] = third;
    record->values[3] = 0;
    SetLogText(*record, text.data(), text.size());
    EndRecord(slot, position);
}

void FlushLog()
{
    if (!LogEnabled.load(std::memory_order_acquire)) {
        return;
    }
    EnterCriticalSection(&DrainLock);
    DrainLog(false);
    LeaveCriticalSection(&DrainLock);
}

void FlushLogAtExit()
{
    if (!LogEnabled.load(std::memory_order_acquire)) {
        return;
    }
    DrainLog(true);
}
