// The simulated library's delivery thread: it plays queued scripts in order, one command
// after another, and hands each report to the callback, never on a caller's thread. A
// report waits while there is no link and goes out once TpConnect has accepted one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "padsim/scenario.h"

constexpr size_t SIM_MAX_QUEUED_SCRIPTS = 64;

// Creates the delivery thread and the guarded record buffer.
void StartPlayer();

// Appends a script to play after those queued before it; false when the queue is full.
bool QueueScript(std::vector<SIMCOMMAND>&& commands);

// Drops every queued script and stops the one playing; returns how many were dropped.
int64_t ClearQueue();

// Tells the delivery thread that the link or the queue changed.
void WakePlayer();

// Waits (up to timeoutMs) until no callback is running, unless called from inside one.
void WaitForDeliveryToEnd(DWORD timeoutMs);

// Where an address lies relative to the record being delivered by the delivery thread
// calling this; false when that thread is delivering nothing.
bool OffsetInDeliveredRecord(const void* address, int64_t* offset);
