// The scenario language: what good scripts turn into, and how bad lines are reported and
// skipped without taking the good ones with them.
#include <gtest/gtest.h>

#include <string>

#include "padsim/scenario.h"
#include "padsim/sim_record.h"

namespace {

std::vector<SimCommandKind> KindsOf(const std::vector<SIMCOMMAND>& commands)
{
    std::vector<SimCommandKind> kinds;
    kinds.reserve(commands.size());
    for (const SIMCOMMAND& command : commands) {
        kinds.push_back(command.kind);
    }
    return kinds;
}

std::vector<int> ErrorLines(const SIMSCRIPT& script)
{
    std::vector<int> lines;
    lines.reserve(script.errors.size());
    for (const SIMSCRIPTERROR& error : script.errors) {
        lines.push_back(error.line);
    }
    return lines;
}

TEST(ScenarioParse, AGoodScriptBecomesItsCommands)
{
    const SIMSCRIPT script = ParseScript("# a whole scenario\n"
                                         "refuse 3 -1\n"
                                         "traymode 2\n"
                                         "disabled 0x1\n"
                                         "checkbuttons 7   # trailing comment\n"
                                         "\n"
                                         "status 0x05 2 4\n"
                                         "raw 3\n"
                                         "report 260 0xff 0\n"
                                         "null\n"
                                         "wait 250\n"
                                         "mark  two  fingers#1 here # gone\n"
                                         "repeat 2\n"
                                         "  rate 50000 10\n"
                                         "    raw 0\n"
                                         "  end\n"
                                         "end\n");
    EXPECT_TRUE(script.errors.empty());
    EXPECT_EQ(KindsOf(script.commands),
              (std::vector<SimCommandKind>{CMD_REFUSE, CMD_TRAYMODE, CMD_DISABLED, CMD_CHECKBUTTONS,
                                           CMD_REPORT, CMD_REPORT, CMD_REPORT, CMD_NULL_REPORT,
                                           CMD_WAIT, CMD_MARK, CMD_REPEAT}));
    const std::vector<SIMCOMMAND>& c = script.commands;
    EXPECT_EQ(c[0].first, 3);
    EXPECT_EQ(c[0].second, -1);
    EXPECT_EQ(c[2].first, 1);
    EXPECT_EQ(c[4].record, StatusRecord(0x05, 2, 4));
    EXPECT_EQ(c[5].record, (std::vector<uint8_t>{0x02, 0x01, 0, 0, 0, 1, 2}));
    EXPECT_EQ(c[6].record, (std::vector<uint8_t>{0x04, 0x01, 0, 0, 0xFF, 0}));
    EXPECT_EQ(c[8].first, 250);
    EXPECT_EQ(c[9].text, "two  fingers#1 here");
    EXPECT_EQ(c[9].line, 12);
    ASSERT_EQ(c[10].body.size(), 1u);
    const SIMCOMMAND& rate = c[10].body[0];
    EXPECT_EQ(rate.kind, CMD_RATE);
    EXPECT_EQ(rate.first, 50000);
    EXPECT_EQ(rate.second, 10);
    EXPECT_EQ(KindsOf(rate.body), (std::vector<SimCommandKind>{CMD_REPORT}));
}

TEST(ScenarioParse, StatusRecordsPutTheirFieldsAtTwelveToFourteen)
{
    const std::vector<uint8_t> record = StatusRecord(0x0C, 9, 255);
    ASSERT_EQ(record.size(), SIM_STATUS_RECORD_SIZE);
    EXPECT_EQ(RecordType(record.data(), record.size()), SIM_REPORT_STATUS);
    EXPECT_EQ(record[12], 0x0C);
    EXPECT_EQ(record[13], 9);
    EXPECT_EQ(record[14], 255);
    EXPECT_EQ(RecordType(record.data(), 3), 0u);
}

TEST(ScenarioParse, AnyThirtyTwoBitValueIsTakenEitherWay)
{
    const SIMSCRIPT script = ParseScript("traymode 0xFFFFFFFF\ndisabled -2147483648\n"
                                         "checkbuttons 4294967295\nrefuse 1 0x80000000\n"
                                         "report 0xFFFFFFFF\n");
    ASSERT_TRUE(script.errors.empty());
    EXPECT_EQ(script.commands[0].first, -1);
    EXPECT_EQ(script.commands[1].first, INT32_MIN);
    EXPECT_EQ(script.commands[2].first, -1);
    EXPECT_EQ(script.commands[3].second, INT32_MIN);
    EXPECT_EQ(script.commands[4].record, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ScenarioParse, BadLinesAreReportedWithTheirLineAndSkipped)
{
    const std::string longMark = "mark " + std::string(201, 'm');
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"frobnicate 1", "unknown command 'frobnicate'"},
        {"status 1 2", "status: expected 'status FLAGS FINGERS CONTACT'"},
        {"status 1 2 256", "status: '256' is not a number from 0 to 255"},
        {"status 1 2 x", "status: 'x' is not a number from 0 to 255"},
        {"traymode 4294967296",
         "traymode: '4294967296' is not a number from -2147483648 to 4294967295"},
        {"traymode", "traymode: expected 'traymode M'"},
        {"refuse -1", "refuse: '-1' is not a number from 0 to 2147483647"},
        {"refuse 2 1", "refuse: the value 1 means linked, not refused"},
        {"raw 65533", "raw: '65533' is not a number from 0 to 65532"},
        {"wait 0x", "wait: '0x' is not a number from 0 to 86400000"},
        {"rate 0 5", "rate: '0' is not a number from 1 to 10000000"},
        {"null 1", "null: expected 'null'"},
        {"end", "end without repeat or rate"},
        {"Status 1 2 3", "unknown command 'Status'"},
        {longMark.c_str(), "mark: text longer than 200 characters"},
    };
    for (const auto& row : cases) {
        const SIMSCRIPT script = ParseScript(std::string("traymode 1\n") + row.line + "\nnull\n");
        ASSERT_EQ(script.errors.size(), 1u) << row.line;
        EXPECT_EQ(script.errors[0].line, 2) << row.line;
        EXPECT_EQ(script.errors[0].message, row.message) << row.line;
        EXPECT_EQ(KindsOf(script.commands),
                  (std::vector<SimCommandKind>{CMD_TRAYMODE, CMD_NULL_REPORT}))
            << row.line;
    }
}

TEST(ScenarioParse, ErrorMessagesQuoteTokensShortAndPrintable)
{
    const SIMSCRIPT script = ParseScript("bad\x01word " + std::string(100, 'x') + "\n" +
                                         std::string(60, 'q') + "\n");
    ASSERT_EQ(script.errors.size(), 2u);
    EXPECT_EQ(script.errors[0].message, "unknown command 'bad?word'");
    EXPECT_EQ(script.errors[1].message, "unknown command '" + std::string(40, 'q') + "...'");
}

TEST(ScenarioParse, IntegersAreDecimalOrHexWithinTheirRange)
{
    const struct {
        const char* token;
        bool good;
        int64_t value;
    } cases[] = {
        {"0", true, 0},
        {"-0", true, 0},
        {"42", true, 42},
        {"0x2A", true, 42},
        {"0X2a", true, 42},
        {"-0x10", true, -16},
        {"", false, 0},
        {"-", false, 0},
        {"0x", false, 0},
        {"+1", false, 0},
        {"1.5", false, 0},
        {"12a", false, 0},
        {"0xg", false, 0},
        {" 1", false, 0},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, 0},
        {"99999999999999999999999", false, 0},
        {"0x10000000000000000", false, 0},
    };
    for (const auto& row : cases) {
        int64_t value = -99;
        EXPECT_EQ(ParseInteger(row.token, INT64_MIN, INT64_MAX, &value), row.good) << row.token;
        if (row.good) {
            EXPECT_EQ(value, row.value) << row.token;
        }
    }
    int64_t value = 0;
    EXPECT_FALSE(ParseInteger("256", 0, 255, &value));
    EXPECT_FALSE(ParseInteger("-1", 0, 255, &value));
    EXPECT_TRUE(ParseInteger("255", 0, 255, &value));
}

TEST(ScenarioParse, CommentsLineEndsAndByteOrderMark)
{
    const SIMSCRIPT script = ParseScript("\xEF\xBB\xBFwait 1\r\n#status 1 1 1\r\n"
                                         "\t wait 2 \t# note\r\nmark a#b\n   # only\n");
    EXPECT_TRUE(script.errors.empty());
    ASSERT_EQ(script.commands.size(), 3u);
    EXPECT_EQ(script.commands[1].first, 2);
    EXPECT_EQ(script.commands[1].line, 3);
    EXPECT_EQ(script.commands[2].text, "a#b");
    EXPECT_TRUE(ParseScript("").commands.empty());
    EXPECT_TRUE(ParseScript("").errors.empty());
}

TEST(ScenarioParse, ABlockWithoutEndIsDissolvedAndItsBodyKept)
{
    const SIMSCRIPT script = ParseScript("repeat 3\nraw 1\nrepeat 2\nnull\nend\n");
    EXPECT_EQ(ErrorLines(script), std::vector<int>{1});
    EXPECT_EQ(script.errors[0].message, "repeat without end; its body plays once");
    EXPECT_EQ(KindsOf(script.commands), (std::vector<SimCommandKind>{CMD_REPORT, CMD_REPEAT}));
    EXPECT_EQ(script.commands[1].first, 2);
}

// A bad opener still pairs with its own end, so the enclosing block stays whole.
TEST(ScenarioParse, ABadOpenerKeepsItsEndFromClosingTheOuterBlock)
{
    const SIMSCRIPT script = ParseScript("repeat 2\n  repeat x\n    raw 1\n  end\n  null\nend\n");
    EXPECT_EQ(ErrorLines(script), std::vector<int>{2});
    ASSERT_EQ(KindsOf(script.commands), std::vector<SimCommandKind>{CMD_REPEAT});
    EXPECT_EQ(KindsOf(script.commands[0].body),
              (std::vector<SimCommandKind>{CMD_REPORT, CMD_NULL_REPORT}));
}

TEST(ScenarioParse, BlocksNestEightDeep)
{
    std::string text;
    for (int i = 0; i < 9; ++i) {
        text += "repeat 1\n";
    }
    text += "null\n";
    for (int i = 0; i < 9; ++i) {
        text += "end\n";
    }
    const SIMSCRIPT script = ParseScript(text);
    EXPECT_EQ(ErrorLines(script), std::vector<int>{9});
    EXPECT_EQ(script.errors[0].message, "blocks nested deeper than 8");
    const SIMCOMMAND* level = &script.commands.at(0);
    for (int depth = 1; depth < 8; ++depth) {
        ASSERT_EQ(level->body.size(), 1u) << depth;
        level = &level->body[0];
    }
    EXPECT_EQ(KindsOf(level->body), std::vector<SimCommandKind>{CMD_NULL_REPORT});
}

TEST(ScenarioParse, ClearOnlyBeforeTheFirstQueuedCommand)
{
    EXPECT_TRUE(ParseScript("clear\ntraymode 1\nclear\nnull\n").errors.empty());
    const SIMSCRIPT late = ParseScript("null\nclear\n");
    EXPECT_EQ(ErrorLines(late), std::vector<int>{2});
    EXPECT_EQ(late.errors[0].message, "clear: only before the first queued command");
    EXPECT_EQ(ErrorLines(ParseScript("repeat 1\nclear\nend\n")), std::vector<int>{2});
}

TEST(ScenarioParse, StateCommandsAreTheOnesThatApplyAtOnce)
{
    for (const SimCommandKind kind :
         {CMD_REFUSE, CMD_TRAYMODE, CMD_DISABLED, CMD_CHECKBUTTONS, CMD_CLEAR}) {
        EXPECT_TRUE(IsStateCommand(kind)) << kind;
    }
    for (const SimCommandKind kind :
         {CMD_REPORT, CMD_NULL_REPORT, CMD_WAIT, CMD_MARK, CMD_REPEAT, CMD_RATE}) {
        EXPECT_FALSE(IsStateCommand(kind)) << kind;
    }
}

TEST(ScenarioParse, OverlongInputIsBounded)
{
    const SIMSCRIPT longLine = ParseScript(std::string(SIM_MAX_LINE_LENGTH + 1, 'x') + "\nnull\n");
    EXPECT_EQ(ErrorLines(longLine), std::vector<int>{1});
    EXPECT_EQ(longLine.commands.size(), 1u);

    const SIMSCRIPT huge = ParseScript(std::string(SIM_MAX_SCRIPT_SIZE + 1, '\n'));
    EXPECT_EQ(ErrorLines(huge), std::vector<int>{0});
    EXPECT_TRUE(huge.commands.empty());

    std::string many;
    for (size_t i = 0; i <= SIM_MAX_COMMANDS; ++i) {
        many += "null\n";
    }
    const SIMSCRIPT tooMany = ParseScript(many);
    EXPECT_EQ(tooMany.commands.size(), SIM_MAX_COMMANDS);
    EXPECT_EQ(ErrorLines(tooMany), std::vector<int>{static_cast<int>(SIM_MAX_COMMANDS) + 1});

    std::string heavy;
    for (int i = 0; i < 300; ++i) {
        heavy += "raw 65532\n";
    }
    const SIMSCRIPT tooHeavy = ParseScript(heavy);
    EXPECT_EQ(tooHeavy.commands.size(), SIM_MAX_SCRIPT_RECORD_BYTES / SIM_MAX_RECORD_SIZE);
    EXPECT_FALSE(tooHeavy.errors.empty());
}

}  // namespace
