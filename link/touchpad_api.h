// The touchpad maker's control library, QuibTPApi.dll. The program binds these ten entries
// by ordinal alone (QuibTPApi.def); the names below are ours and never reach the import table.
#pragma once

#include <cstdint>

struct TouchReport;

// The report callback's shape: one read-only record in, always 0 out.
typedef int32_t (*ReportCallback)(const TouchReport* report);

extern "C" {
int32_t TpConnect(void* instance, ReportCallback callback);  // @1: 1 = linked
int32_t TpDisconnect();                                      // @2
int32_t TpForwardRawReport(const void* payload);             // @3
int32_t TpButtonFollowUp(int32_t zero);                      // @4
int32_t TpCheckButtonFlags(int32_t buttonFlags);             // @5: zero or nonzero
int32_t TpMouseButtonSwapChanged(void* scratch560);          // @7
int32_t TpInitOnce(void* initRecord);                        // @18
int32_t TpIsDisabled();                                      // @19: 0 enabled, 1 disabled
int32_t TpGetTrayMode();                                     // @27: 0 none, 1 live, 2 static
int32_t TpSetEnabled(int32_t enabled);                       // @29
}

// The size of the area handed to TpMouseButtonSwapChanged.
constexpr int MOUSE_SWAP_AREA_SIZE = 560;

// 24 bytes handed to TpInitOnce once; the program never reads or writes them.
extern unsigned char InitRecord[24];
