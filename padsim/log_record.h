// One entry of the simulator's call log, as the hot path stores it: fixed size and binary,
// so recording a call costs a clock read and a few stores. The log writer turns records
// into text lines later, off the caller's thread.
//
// Line format: "t=<us> tid=<thread> pid=<process> " then "call=<entry> <args> ret=<result>"
// or "event=<name> <key=value>...". A "text=" or "bytes=" item, when present, comes last and
// runs to the end of the line.
// padsim/log_line.h reads the lines back.
#pragma once

#include <cstddef>
#include <cstdint>

enum SimEntry : uint16_t {
    SIM_TP_CONNECT,
    SIM_TP_DISCONNECT,
    SIM_TP_FORWARD_RAW_REPORT,
    SIM_TP_BUTTON_FOLLOW_UP,
    SIM_TP_CHECK_BUTTON_FLAGS,
    SIM_TP_MOUSE_BUTTON_SWAP_CHANGED,
    SIM_TP_INIT_ONCE,
    SIM_TP_IS_DISABLED,
    SIM_TP_GET_TRAY_MODE,
    SIM_TP_SET_ENABLED,
    SIM_ENTRY_COUNT,
};

enum SimEvent : uint16_t {
    EVENT_START,               // text: what started
    EVENT_SETTING,             // values[0]: SimSetting; text: its value
    EVENT_SCENARIO,            // values: commands, errors; text: the file
    EVENT_PIPE,                // values: commands, errors; text: the first line sent
    EVENT_ERROR,               // values: SimSource, line; text: what was wrong
    EVENT_MARK,                // text: the mark's text
    EVENT_SET,                 // values: SimStateItem, value, refusal value
    EVENT_CLEAR,               // values: queued scripts dropped
    EVENT_HELD,                // values: report number; no link, the report waits
    EVENT_RATE,                // values: count, per second, elapsed microseconds
    EVENT_DROPPED,             // values: log records lost to a full ring
    EVENT_UNLOAD,              // the library is unloaded with its process
    EVENT_CONFIGURATOR_START,  // the stand-in configurator started
    EVENT_CONFIGURATOR_CLOSE,  // ... and closed
    SIM_EVENT_COUNT,
};

enum SimLogKind : uint16_t {
    LOG_CALL,     // code: SimEntry; values: arguments, values[3]: result
    LOG_DELIVER,  // values: report number, record size, 1 for a null record
    LOG_EVENT,    // code: SimEvent
};

enum SimSource : int64_t { SOURCE_SCENARIO, SOURCE_PIPE, SOURCE_LIBRARY };
enum SimSetting : int64_t { SETTING_LOG, SETTING_SCENARIO, SETTING_PIPE };
enum SimStateItem : int64_t { STATE_REFUSE, STATE_TRAYMODE, STATE_DISABLED, STATE_CHECKBUTTONS };

// How TpForwardRawReport's address is logged (values[0] of its call record).
enum SimPayloadPlace : int64_t {
    PAYLOAD_NULL,      // a null pointer
    PAYLOAD_RELATIVE,  // values[1]: offset from the start of the record being delivered
    PAYLOAD_ABSOLUTE,  // values[1]: the address; no record was being delivered
};

constexpr size_t LOG_RECORD_SIZE = 256;
constexpr size_t LOG_TEXT_CAPACITY = 206;
constexpr size_t LOG_BYTES_SHOWN = 64;  // bytes of a delivered record written out in hex

struct SIMLOGRECORD {
    uint64_t micros;  // since the module was loaded
    uint32_t threadId;
    uint16_t kind;  // SimLogKind
    uint16_t code;  // SimEntry or SimEvent
    int64_t values[4];
    uint16_t textLength;
    char text[LOG_TEXT_CAPACITY];  // event text, or the first bytes of a delivered record
};

static_assert(sizeof(SIMLOGRECORD) == LOG_RECORD_SIZE, "log records fill their ring slots");
static_assert(LOG_BYTES_SHOWN <= LOG_TEXT_CAPACITY, "delivered bytes fit a record");

// A formatted line is never longer than this, its line end included.
constexpr size_t LOG_LINE_CAPACITY = 768;

// Writes one record as a text line ending in '\n'; returns its length. Text is cleaned of
// control characters so that every record stays one line.
size_t FormatLogRecord(const SIMLOGRECORD& record, uint32_t processId, char* data);

// Fills the text of a record, cut to its capacity.
void SetLogText(SIMLOGRECORD& record, const char* text, size_t length);

// The entry's name as logged: "TpConnect" and so on.
const char* SimEntryName(uint16_t entry);
