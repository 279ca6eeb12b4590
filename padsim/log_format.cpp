#include <cstring>

#include "padsim/log_record.h"

namespace {

// A line under construction. Every append is bounded by LOG_LINE_CAPACITY less room for the
// line end, which the formatter's worst case never reaches.
struct LINEBUILDER {
    char* data;
    size_t length;
};

constexpr size_t LINE_ROOM = LOG_LINE_CAPACITY - 1;

void AppendChar(LINEBUILDER& line, char c)
{
    if (line.length < LINE_ROOM) {
        line.data[line.length++] = c;
    }
}

void AppendText(LINEBUILDER& line, const char* text)
{
    while (*text != '\0') {
        AppendChar(line, *text++);
    }
}

void AppendUnsigned(LINEBUILDER& line, uint64_t value)
{
    char digits[20];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        AppendChar(line, digits[--count]);
    }
}

void AppendSigned(LINEBUILDER& line, int64_t value)
{
    if (value < 0) {
        AppendChar(line, '-');
        AppendUnsigned(line, 0 - static_cast<uint64_t>(value));
        return;
    }
    AppendUnsigned(line, static_cast<uint64_t>(value));
}

void AppendHex(LINEBUILDER& line, uint64_t value)
{
    static const char digits[] = "0123456789abcdef";
    AppendText(line, "0x");
    int shift = 60;
    while (shift > 0 && ((value >> shift) & 0xF) == 0) {
        shift -= 4;
    }
    for (; shift >= 0; shift -= 4) {
        AppendChar(line, digits[(value >> shift) & 0xF]);
    }
}

void AppendKey(LINEBUILDER& line, const char* key)
{
    AppendChar(line, ' ');
    AppendText(line, key);
    AppendChar(line, '=');
}

void AppendItem(LINEBUILDER& line, const char* key, int64_t value)
{
    AppendKey(line, key);
    AppendSigned(line, value);
}

void AppendPointer(LINEBUILDER& line, const char* key, int64_t value)
{
    AppendKey(line, key);
    AppendHex(line, static_cast<uint64_t>(value));
}

void AppendRecordText(LINEBUILDER& line, const SIMLOGRECORD& record)
{
    AppendKey(line, "text");
    const size_t length = record.textLength < LOG_TEXT_CAPACITY ? record.textLength
                                                                : LOG_TEXT_CAPACITY;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(record.text[i]);
        AppendChar(line, (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c));
    }
}

const char* const EntryNames[SIM_ENTRY_COUNT] = {
    "TpConnect",        "TpDisconnect",       "TpForwardRawReport",
    "TpButtonFollowUp", "TpCheckButtonFlags", "TpMouseButtonSwapChanged",
    "TpInitOnce",       "TpIsDisabled",       "TpGetTrayMode",
    "TpSetEnabled",
};

void AppendPayloadPlace(LINEBUILDER& line, const int64_t* values)
{
    AppendKey(line, "payload");
    if (values[0] == PAYLOAD_NULL) {
        AppendText(line, "null");
    } else if (values[0] == PAYLOAD_RELATIVE) {
        AppendChar(line, values[1] < 0 ? '-' : '+');
        AppendUnsigned(line, values[1] < 0 ? 0 - static_cast<uint64_t>(values[1])
                                           : static_cast<uint64_t>(values[1]));
    } else {
        AppendHex(line, static_cast<uint64_t>(values[1]));
    }
}

void FormatCall(LINEBUILDER& line, const SIMLOGRECORD& record)
{
    AppendText(line, "call=");
    AppendText(line, SimEntryName(record.code));
    const int64_t* values = record.values;
    switch (record.code) {
    case SIM_TP_CONNECT:
        AppendPointer(line, "instance", values[0]);
        AppendPointer(line, "callback", values[1]);
        break;
    case SIM_TP_FORWARD_RAW_REPORT:
        AppendPayloadPlace(line, values);
        break;
    case SIM_TP_BUTTON_FOLLOW_UP:
        AppendItem(line, "arg", values[0]);
        break;
    case SIM_TP_CHECK_BUTTON_FLAGS:
        AppendItem(line, "flags", values[0]);
        break;
    case SIM_TP_MOUSE_BUTTON_SWAP_CHANGED:
        AppendPointer(line, "area", values[0]);
        break;
    case SIM_TP_INIT_ONCE:
        AppendPointer(line, "record", values[0]);
        break;
    case SIM_TP_SET_ENABLED:
        AppendItem(line, "enabled", values[0]);
        break;
    default:
        break;
    }
    AppendItem(line, "ret", values[3]);
}

void AppendHexBytes(LINEBUILDER& line, const char* bytes, size_t count)
{
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < count; ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        AppendChar(line, digits[byte >> 4]);
        AppendChar(line, digits[byte & 0xF]);
    }
}

// "type" is read from the bytes kept in the record; a record shorter than a type has none.
void FormatDelivery(LINEBUILDER& line, const SIMLOGRECORD& record)
{
    AppendText(line, "event=deliver");
    AppendItem(line, "n", record.values[0]);
    if (record.values[2] != 0) {
        AppendText(line, " record=null");
        return;
    }
    const size_t size = static_cast<size_t>(record.values[1]);
    const size_t shown = record.textLength < LOG_BYTES_SHOWN ? record.textLength : LOG_BYTES_SHOWN;
    if (shown >= 4) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(record.text);
        AppendItem(line, "type",
                   static_cast<int64_t>(
                       static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                       static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24));
    }
    AppendItem(line, "len", static_cast<int64_t>(size));
    AppendKey(line, "bytes");
    AppendHexBytes(line, record.text, shown);
    if (size > shown) {
        AppendText(line, "...");
    }
}

const char* const StateNames[] = {"refuse", "traymode", "disabled", "checkbuttons"};
const char* const SourceNames[] = {"scenario", "pipe", "library"};
const char* const SettingNames[] = {"log", "scenario", "pipe"};

const char* NameOf(const char* const* names, size_t count, int64_t index)
{
    return index >= 0 && static_cast<size_t>(index) < count ? names[index] : "unknown";
}

void FormatSet(LINEBUILDER& line, const int64_t* values)
{
    AppendKey(line, "name");
    AppendText(line, NameOf(StateNames, 4, values[0]));
    if (values[0] == STATE_REFUSE) {
        AppendItem(line, "count", values[1]);
    }
    AppendItem(line, "value", values[0] == STATE_REFUSE ? values[2] : values[1]);
}

void FormatEventValues(LINEBUILDER& line, const SIMLOGRECORD& record)
{
    const int64_t* values = record.values;
    switch (record.code) {
    case EVENT_SETTING:
        AppendKey(line, "name");
        AppendText(line, NameOf(SettingNames, 3, values[0]));
        break;
    case EVENT_SCENARIO:
    case EVENT_PIPE:
        AppendItem(line, "commands", values[0]);
        AppendItem(line, "errors", values[1]);
        break;
    case EVENT_ERROR:
        AppendKey(line, "source");
        AppendText(line, NameOf(SourceNames, 3, values[0]));
        AppendItem(line, "line", values[1]);
        break;
    case EVENT_SET:
        FormatSet(line, values);
        break;
    case EVENT_CLEAR:
        AppendItem(line, "dropped", values[0]);
        break;
    case EVENT_HELD:
        AppendItem(line, "n", values[0]);
        break;
    case EVENT_RATE:
        AppendItem(line, "count", values[0]);
        AppendItem(line, "per_second", values[1]);
        AppendItem(line, "elapsed_us", values[2]);
        break;
    case EVENT_DROPPED:
        AppendItem(line, "count", values[0]);
        break;
    default:
        break;
    }
}

const char* const EventNames[SIM_EVENT_COUNT] = {
    "start",
    "setting",
    "scenario",
    "pipe",
    "error",
    "mark",
    "set",
    "clear",
    "held",
    "rate",
    "dropped",
    "unload",
    "configurator-start",
    "configurator-close",
};

void FormatEvent(LINEBUILDER& line, const SIMLOGRECORD& record)
{
    AppendText(line, "event=");
    AppendText(line, NameOf(EventNames, SIM_EVENT_COUNT, record.code));
    FormatEventValues(line, record);
    if (record.textLength > 0) {
        AppendRecordText(line, record);
    }
}

}  // namespace

const char* SimEntryName(uint16_t entry)
{
    return NameOf(EntryNames, SIM_ENTRY_COUNT, entry);
}

void SetLogText(SIMLOGRECORD& record, const char* text, size_t length)
{
    record.textLength = static_cast<uint16_t>(length < LOG_TEXT_CAPACITY ? length
                                                                         : LOG_TEXT_CAPACITY);
    if (record.textLength > 0) {
        std::memcpy(record.text, text, record.textLength);
    }
}

size_t FormatLogRecord(const SIMLOGRECORD& record, uint32_t processId, char* data)
{
    LINEBUILDER line{data, 0};
    AppendText(line, "t=");
    AppendUnsigned(line, record.micros);
    AppendItem(line, "tid", record.threadId);
    AppendItem(line, "pid", processId);
    AppendChar(line, ' ');
    if (record.kind == LOG_CALL) {
        FormatCall(line, record);
    } else if (record.kind == LOG_DELIVER) {
        FormatDelivery(line, record);
    } else {
        FormatEvent(line, record);
    }
    line.data[line.length++] = '\n';
    return line.length;
}
