#include "padsim/sim_player.h"

#include <atomic>
#include <cstring>

#include "padsim/sim_log.h"
#include "padsim/sim_state.h"

namespace {

using SCRIPT = std::vector<SIMCOMMAND>;

constexpr DWORD LINK_RECHECK_MS = 100;
constexpr size_t PAGE = 4096;
constexpr size_t RECORD_AREA = (SIM_MAX_RECORD_SIZE + PAGE - 1) / PAGE * PAGE + PAGE;
constexpr uint8_t POISON = 0xDD;

CRITICAL_SECTION QueueLock;
SCRIPT* Queue[SIM_MAX_QUEUED_SCRIPTS];
size_t QueueHead = 0;
size_t QueueCount = 0;
bool Playing = false;  // under QueueLock

// A clear moves the generation on; a script plays only while its generation is current.
std::atomic<uint32_t> Generation{0};
HANDLE PlayerWake = nullptr;
DWORD DeliveryThreadId = 0;

std::atomic<int32_t> InCallback{0};
std::atomic<const uint8_t*> DeliveringRecord{nullptr};
int64_t DeliveredCount = 0;

// Records are placed to end just before an inaccessible page, so a reader that goes past a
// record's end faults instead of reading stale bytes.
uint8_t* GuardPage = nullptr;
alignas(8) uint8_t FallbackArea[SIM_MAX_RECORD_SIZE + 8];

bool Current(uint32_t generation)
{
    return Generation.load() == generation;
}

void AllocateRecordArea()
{
    uint8_t* area = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, RECORD_AREA + PAGE, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old = 0;
    if (area != nullptr && VirtualProtect(area + RECORD_AREA, PAGE, PAGE_NOACCESS, &old)) {
        GuardPage = area + RECORD_AREA;
    }
}

uint8_t* PlaceRecord(const std::vector<uint8_t>& bytes)
{
    const size_t room = (bytes.size() + 7) / 8 * 8;
    uint8_t* record = GuardPage != nullptr ? GuardPage - room : FallbackArea;
    if (!bytes.empty()) {
        std::memcpy(record, bytes.data(), bytes.size());
    }
    return record;
}

// Sleeps for a wait command; false when a clear cut it short.
bool Pause(int64_t milliseconds, uint32_t generation)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (;;) {
        if (!Current(generation)) {
            return false;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return true;
        }
        WaitForSingleObject(PlayerWake, static_cast<DWORD>(deadline - now));
    }
}

// Holds a report until a link stands and claims the callback slot; false after a clear.
bool AwaitLinkAndEnterCallback(uint32_t generation)
{
    bool heldLogged = false;
    for (;;) {
        if (!Current(generation)) {
            return false;
        }
        // Paired with TpDisconnect, which clears linked and then waits for InCallback: either
        // this sees the link gone or TpDisconnect sees the callback running.
        InCallback.store(1);
        if (SimState.linked.load() == 1) {
            return true;
        }
        InCallback.store(0);
        if (!heldLogged) {
            LogEvent(EVENT_HELD, DeliveredCount + 1, 0, 0);
            heldLogged = true;
        }
        WaitForSingleObject(PlayerWake, LINK_RECHECK_MS);
    }
}

bool Deliver(const SIMCOMMAND& command, uint32_t generation)
{
    if (!AwaitLinkAndEnterCallback(generation)) {
        return false;
    }
    const bool isNull = command.kind == CMD_NULL_REPORT;
    uint8_t* record = isNull ? nullptr : PlaceRecord(command.record);
    const size_t size = isNull ? 0 : command.record.size();
    LogDelivery(++DeliveredCount, record, size);
    const ReportCallback callback = SimState.callback.load();
    DeliveringRecord.store(record);
    if (callback != nullptr) {
        callback(reinterpret_cast<const TouchReport*>(record));
    }
    DeliveringRecord.store(nullptr);
    if (record != nullptr) {
        std::memset(record, POISON, size);  // a pointer kept past the call reads garbage
    }
    InCallback.store(0);
    return true;
}

bool PlayCommands(const SCRIPT& commands, uint32_t generation);

// The body COUNT times, PER_SECOND times a second. Iterations that fall due while the thread
// sleeps go out back to back, so high rates need no sub-millisecond sleeps; a backlog of
// more than a tenth of a second (a report held for the link) is forgiven, not flooded out.
bool PlayRate(const SIMCOMMAND& command, uint32_t generation)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const int64_t rate = command.first;
    const int64_t count = command.second;
    const int64_t backlogLimit = rate / 10 + 1;
    int64_t baseTicks = start.QuadPart;
    int64_t baseIndex = 0;
    for (int64_t index = 0; index < count;) {
        if (!Current(generation)) {
            return false;
        }
        QueryPerformanceCounter(&now);
        const int64_t elapsed = now.QuadPart - baseTicks;
        const int64_t due = elapsed / frequency.QuadPart * rate +
                            elapsed % frequency.QuadPart * rate / frequency.QuadPart + 1;
        const int64_t done = index - baseIndex;
        if (due - done > backlogLimit) {
            baseTicks = now.QuadPart;
            baseIndex = index;
        }
        if (done < due) {
            if (!PlayCommands(command.body, generation)) {
                return false;
            }
            ++index;
            continue;
        }
        WaitForSingleObject(PlayerWake, 1);
    }
    QueryPerformanceCounter(&now);
    const int64_t elapsedMicros = (now.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
    LogEvent(EVENT_RATE, count, rate, elapsedMicros);
    return true;
}

bool PlayRepeat(const SIMCOMMAND& command, uint32_t generation)
{
    for (int64_t i = 0; i < command.first; ++i) {
        if (!Current(generation) || !PlayCommands(command.body, generation)) {
            return false;
        }
    }
    return true;
}

bool PlayCommand(const SIMCOMMAND& command, uint32_t generation)
{
    switch (command.kind) {
    case CMD_REPORT:
    case CMD_NULL_REPORT:
        return Deliver(command, generation);
    case CMD_WAIT:
        return Pause(command.first, generation);
    case CMD_MARK:
        LogEvent(EVENT_MARK, 0, 0, 0, command.text);
        return true;
    case CMD_REPEAT:
        return PlayRepeat(command, generation);
    case CMD_RATE:
        return PlayRate(command, generation);
    case CMD_CLEAR:
        return true;  // only ever applied on arrival
    default:
        ApplyStateCommand(command);
        return true;
    }
}

bool PlayCommands(const SCRIPT& commands, uint32_t generation)
{
    for (const SIMCOMMAND& command : commands) {
        if (!Current(generation) || !PlayCommand(command, generation)) {
            return false;
        }
    }
    return true;
}

SCRIPT* TakeScript(uint32_t* generation)
{
    for (;;) {
        EnterCriticalSection(&QueueLock);
        SCRIPT* script = nullptr;
        if (QueueCount > 0) {
            script = Queue[QueueHead];
            QueueHead = (QueueHead + 1) % SIM_MAX_QUEUED_SCRIPTS;
            --QueueCount;
            *generation = Generation.load();
        }
        Playing = script != nullptr;
        LeaveCriticalSection(&QueueLock);
        if (script != nullptr) {
            return script;
        }
        WaitForSingleObject(PlayerWake, INFINITE);
    }
}

DWORD WINAPI PlayerThread(void*)
{
    for (;;) {
        uint32_t generation = 0;
        SCRIPT* script = TakeScript(&generation);
        PlayCommands(*script, generation);
        delete script;
    }
}

}  // namespace

void StartPlayer()
{
    InitializeCriticalSection(&QueueLock);
    PlayerWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (PlayerWake == nullptr) {
        return;  // without its event the player's waits would return at once: no player
    }
    AllocateRecordArea();
    const HANDLE thread = CreateThread(nullptr, 0, PlayerThread, nullptr, 0, &DeliveryThreadId);
    if (thread != nullptr) {
        CloseHandle(thread);
    }
}

bool QueueScript(std::vector<SIMCOMMAND>&& commands)
{
    EnterCriticalSection(&QueueLock);
    const bool room = QueueCount < SIM_MAX_QUEUED_SCRIPTS;
    if (room) {
        Queue[(QueueHead + QueueCount) % SIM_MAX_QUEUED_SCRIPTS] = new SCRIPT(std::move(commands));
        ++QueueCount;
    }
    LeaveCriticalSection(&QueueLock);
    WakePlayer();
    return room;
}

int64_t ClearQueue()
{
    EnterCriticalSection(&QueueLock);
    int64_t dropped = static_cast<int64_t>(QueueCount) + (Playing ? 1 : 0);
    while (QueueCount > 0) {
        delete Queue[QueueHead];
        QueueHead = (QueueHead + 1) % SIM_MAX_QUEUED_SCRIPTS;
        --QueueCount;
    }
    Generation.fetch_add(1);
    LeaveCriticalSection(&QueueLock);
    WakePlayer();
    return dropped;
}

void WakePlayer()
{
    if (PlayerWake != nullptr) {
        SetEvent(PlayerWake);
    }
}

void WaitForDeliveryToEnd(DWORD timeoutMs)
{
    if (GetCurrentThreadId() == DeliveryThreadId) {
        return;  // TpDisconnect from inside the callback: the delivery ends when it returns
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (InCallback.load() != 0 && GetTickCount64() < deadline) {
        Sleep(1);
    }
}

bool OffsetInDeliveredRecord(const void* address, int64_t* offset)
{
    if (GetCurrentThreadId() != DeliveryThreadId) {
        return false;
    }
    const uint8_t* record = DeliveringRecord.load();
    if (record == nullptr) {
        return false;
    }
    *offset = reinterpret_cast<intptr_t>(address) - reinterpret_cast<intptr_t>(record);
    return true;
}
