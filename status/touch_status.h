// The pad's state as the notification-area icon mirrors it: one record for the whole run.
#pragma once

#include <atomic>
#include <cstdint>

// Every field is a 32-bit signed value. The touchpad library may call the report callback
// on a thread of its own while the poll tick reads the same fields on the window thread, so
// each field is a lock-free atomic: no lock, no wait, no allocation on either side.
//
// The hand-over: a writer stores a field first and then sets refreshPending with a release
// read-modify-write (AnnounceRefresh); the poll tick takes and clears refreshPending in one
// acquire exchange (TakeRefreshPending) before it reads the fields. A value announced before
// the take is therefore seen by the redraw, and a flag set after the take survives it.
// Both threads announce, so every write of the flag is a read-modify-write: a plain store by
// one thread would end the release sequence of the other's announcement, and the take could
// then read the flag without seeing the field stored before it.
struct TOUCHSTATUS {
    std::atomic<int32_t> linked{0};            // 1 while the library link stands
    std::atomic<int32_t> touchpadDisabled{0};  // 1 while the library reports the pad disabled
    std::atomic<int32_t> trayMode{-1};         // last TpGetTrayMode; -1 until first asked
    std::atomic<int32_t> initDone{0};          // 1 once TpInitOnce has been called
    std::atomic<int32_t> fingerCount{0};       // fingers byte of the last status report
    std::atomic<int32_t> contactLevel{0};      // 0, 1 or 2
    std::atomic<int32_t> leftLatch{0};         // 1 while the left button is held
    std::atomic<int32_t> rightLatch{0};        // 1 while the right button is held
    std::atomic<int32_t> buttonMode{0};        // 0 none, 1 left, 2 right
    std::atomic<int32_t> refreshPending{0};    // 1 when the shown icon may be stale
};

static_assert(std::atomic<int32_t>::is_always_lock_free, "status fields must be lock-free");
static_assert(sizeof(std::atomic<int32_t>) == 4, "status fields are single 32-bit words");

extern TOUCHSTATUS TouchStatus;

// Publishes every field stored before it to the next TakeRefreshPending. An exchange, not a
// store, so that it continues every release sequence on the flag rather than ending one.
inline void AnnounceRefresh(TOUCHSTATUS& status)
{
    status.refreshPending.exchange(1, std::memory_order_release);
}

// Returns the flag's value and clears it in the same step, so a refresh announced while the
// caller is redrawing is kept for the next tick instead of being wiped by a later clear.
inline int32_t TakeRefreshPending(TOUCHSTATUS& status)
{
    return status.refreshPending.exchange(0, std::memory_order_acq_rel);
}
