// The log's line format, and its reader checked against the writer's own lines: every line
// written below reads back, and what the writer never writes does not.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "padsim/log_line.h"
#include "padsim/log_record.h"

namespace {

SIMLOGRECORD Record(SimLogKind kind, uint16_t code, int64_t a = 0, int64_t b = 0, int64_t c = 0,
                    int64_t d = 0)
{
    SIMLOGRECORD record{};
    record.micros = 123456;
    record.threadId = 40;
    record.kind = kind;
    record.code = code;
    record.values[0] = a;
    record.values[1] = b;
    record.values[2] = c;
    record.values[3] = d;
    return record;
}

std::string Format(const SIMLOGRECORD& record)
{
    char line[LOG_LINE_CAPACITY];
    const size_t length = FormatLogRecord(record, 7, line);
    LOGREADER reader;
    std::vector<LOGLINE> read;
    TakeLogText(reader, line, length, &read);
    EXPECT_EQ(read.size(), 1u) << std::string(line, length);
    if (read.size() == 1) {
        EXPECT_EQ(read[0].at("t"), std::to_string(record.micros));
        EXPECT_EQ(read[0].at("tid"), std::to_string(record.threadId));
        EXPECT_EQ(read[0].at("pid"), "7");
        if (record.kind == LOG_CALL) {
            EXPECT_EQ(LogItem(read[0], "ret"), std::to_string(record.values[3]));
        } else {
            EXPECT_EQ(read[0].count("event"), 1u);
        }
    }
    return std::string(line, length);
}

TEST(LogFormat, CallLinesNameTheEntryItsArgumentsAndResult)
{
    const struct {
        SIMLOGRECORD record;
        const char* line;
    } cases[] = {
        {Record(LOG_CALL, SIM_TP_IS_DISABLED, 0, 0, 0, 1), "call=TpIsDisabled ret=1"},
        {Record(LOG_CALL, SIM_TP_GET_TRAY_MODE, 0, 0, 0, -1), "call=TpGetTrayMode ret=-1"},
        {Record(LOG_CALL, SIM_TP_CONNECT, 0x140000000, 0x140001a30, 0, 2),
         "call=TpConnect instance=0x140000000 callback=0x140001a30 ret=2"},
        {Record(LOG_CALL, SIM_TP_DISCONNECT), "call=TpDisconnect ret=0"},
        {Record(LOG_CALL, SIM_TP_FORWARD_RAW_REPORT, PAYLOAD_RELATIVE, 4),
         "call=TpForwardRawReport payload=+4 ret=0"},
        {Record(LOG_CALL, SIM_TP_FORWARD_RAW_REPORT, PAYLOAD_RELATIVE, -12),
         "call=TpForwardRawReport payload=-12 ret=0"},
        {Record(LOG_CALL, SIM_TP_FORWARD_RAW_REPORT, PAYLOAD_NULL),
         "call=TpForwardRawReport payload=null ret=0"},
        {Record(LOG_CALL, SIM_TP_FORWARD_RAW_REPORT, PAYLOAD_ABSOLUTE, 0x7ff0),
         "call=TpForwardRawReport payload=0x7ff0 ret=0"},
        {Record(LOG_CALL, SIM_TP_BUTTON_FOLLOW_UP, 0), "call=TpButtonFollowUp arg=0 ret=0"},
        {Record(LOG_CALL, SIM_TP_CHECK_BUTTON_FLAGS, 16, 0, 0, 7),
         "call=TpCheckButtonFlags flags=16 ret=7"},
        {Record(LOG_CALL, SIM_TP_MOUSE_BUTTON_SWAP_CHANGED, 0x22fd00),
         "call=TpMouseButtonSwapChanged area=0x22fd00 ret=0"},
        {Record(LOG_CALL, SIM_TP_INIT_ONCE, 0), "call=TpInitOnce record=0x0 ret=0"},
        {Record(LOG_CALL, SIM_TP_SET_ENABLED, 1), "call=TpSetEnabled enabled=1 ret=0"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Format(row.record), std::string("t=123456 tid=40 pid=7 ") + row.line + "\n");
    }
}

TEST(LogFormat, DeliveryLinesShowTypeLengthAndBytes)
{
    SIMLOGRECORD status = Record(LOG_DELIVER, 0, 3, 15);
    const unsigned char bytes[15] = {3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x05, 2, 0xAB};
    SetLogText(status, reinterpret_cast<const char*>(bytes), sizeof bytes);
    EXPECT_EQ(Format(status), "t=123456 tid=40 pid=7 event=deliver n=3 type=259 len=15 "
                              "bytes=030100000000000000000000050"
                              "2ab\n");

    SIMLOGRECORD big = Record(LOG_DELIVER, 0, 4, 1000);
    std::string shown(LOG_BYTES_SHOWN, '\x11');
    SetLogText(big, shown.data(), shown.size());
    EXPECT_EQ(Format(big), "t=123456 tid=40 pid=7 event=deliver n=4 type=286331153 len=1000 "
                           "bytes=" +
                               std::string(2 * LOG_BYTES_SHOWN, '1') + "...\n");

    EXPECT_EQ(Format(Record(LOG_DELIVER, 0, 5, 0, 1)),
              "t=123456 tid=40 pid=7 event=deliver n=5 record=null\n");
}

TEST(LogFormat, EventLinesCarryTheirValuesAndTextLast)
{
    SIMLOGRECORD error = Record(LOG_EVENT, EVENT_ERROR, SOURCE_PIPE, 3);
    const char message[] = "unknown command 'x'\nnext\x7f";
    SetLogText(error, message, sizeof message - 1);
    EXPECT_EQ(Format(error), "t=123456 tid=40 pid=7 event=error source=pipe line=3 "
                             "text=unknown command 'x'?next?\n");

    const struct {
        SIMLOGRECORD record;
        const char* line;
    } cases[] = {
        {Record(LOG_EVENT, EVENT_SET, STATE_REFUSE, 2, -1),
         "event=set name=refuse count=2 value=-1"},
        {Record(LOG_EVENT, EVENT_SET, STATE_TRAYMODE, 0), "event=set name=traymode value=0"},
        {Record(LOG_EVENT, EVENT_SCENARIO, 11, 2), "event=scenario commands=11 errors=2"},
        {Record(LOG_EVENT, EVENT_CLEAR, 1), "event=clear dropped=1"},
        {Record(LOG_EVENT, EVENT_HELD, 7), "event=held n=7"},
        {Record(LOG_EVENT, EVENT_RATE, 100, 50000, 2000),
         "event=rate count=100 per_second=50000 elapsed_us=2000"},
        {Record(LOG_EVENT, EVENT_DROPPED, 9), "event=dropped count=9"},
        {Record(LOG_EVENT, EVENT_UNLOAD), "event=unload"},
        {Record(LOG_EVENT, EVENT_CONFIGURATOR_START), "event=configurator-start"},
        {Record(LOG_EVENT, 999), "event=unknown"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Format(row.record), std::string("t=123456 tid=40 pid=7 ") + row.line + "\n");
    }
}

TEST(LogFormat, TextIsCutToTheRecordsCapacity)
{
    SIMLOGRECORD mark = Record(LOG_EVENT, EVENT_MARK);
    const std::string text(500, 'm');
    SetLogText(mark, text.data(), text.size());
    EXPECT_EQ(mark.textLength, LOG_TEXT_CAPACITY);
    mark.textLength = 60000;  // a corrupt length reads no further than the record
    EXPECT_EQ(Format(mark), "t=123456 tid=40 pid=7 event=mark text=" +
                                std::string(LOG_TEXT_CAPACITY, 'm') + "\n");
}

TEST(LogFormat, TheLongestLineFitsTheLineCapacity)
{
    SIMLOGRECORD record = Record(LOG_EVENT, EVENT_RATE, INT64_MIN, INT64_MIN, INT64_MIN, INT64_MIN);
    SetLogText(record, std::string(LOG_TEXT_CAPACITY, 'z').data(), LOG_TEXT_CAPACITY);
    record.micros = UINT64_MAX;
    record.threadId = UINT32_MAX;
    char line[LOG_LINE_CAPACITY];
    const size_t length = FormatLogRecord(record, UINT32_MAX, line);
    ASSERT_LT(length, LOG_LINE_CAPACITY);
    EXPECT_EQ(line[length - 1], '\n');
    EXPECT_EQ(std::string(line, length).find("text=" + std::string(LOG_TEXT_CAPACITY, 'z')),
              length - LOG_TEXT_CAPACITY - 6);
}

TEST(LogFormat, TheReaderRefusesWhatTheWriterNeverWrites)
{
    for (const char* text :
         {"", "garbage", "t=1 tid=2 pid=3", "t=x tid=2 pid=3 event=mark",
          "tid=2 t=1 pid=3 event=mark", "t=1 tid=2 pid=3 call=TpConnect",
          "t=1 tid=2 pid=3 call=TpConnect ret=1 ", "t=1 tid=2 pid=3 call=TpConnect ret=yes",
          "t=1 tid=2 pid=3 event=mark  text=a",
          "t=1 tid=2 pid=3 event=held n=", "t=1 tid=2 pid=3 event=held n=1 n=2",
          "t=1 tid=2 pid=3 call=TpIsDisabled ret=1 event=mark", "t=1 tid=2 pid=3 event=set Name=x",
          "t=1 tid=2 pid=3 event=set name=a=b", "t=1 tid=2 pid=3 event=mark text=",
          "t=1 tid=2 pid=3 event=mark text=a\tb", "t=1 tid=2 pid=3 event=mark!"}) {
        LOGLINE line;
        EXPECT_FALSE(ParseLogLine(text, &line)) << text;
    }
}

TEST(LogFormat, TheReaderNamesABadLineAndWaitsForAnUnfinishedOne)
{
    LOGREADER reader;
    std::vector<LOGLINE> lines;
    const std::string text = "t=1 tid=2 pid=3 call=TpConnect instance=0x140000000 ret=-1\r\nnot a "
                             "line\nt=2 tid=2 pid=3 ev";
    TakeLogText(reader, text.data(), text.size(), &lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogNumber(lines[0], "instance", 0), 0x140000000);
    EXPECT_EQ(LogNumber(lines[0], "ret", 0), -1);
    EXPECT_EQ(reader.unreadable, std::vector<std::string>{"line 2: not a line"});
    TakeLogText(reader, "ent=mark text=a b=c\n", 20, &lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(LogItem(lines[1], "text"), "a b=c");
    EXPECT_EQ(reader.unreadable.size(), 1u);
}

}  // namespace
