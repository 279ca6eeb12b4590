#include <algorithm>

#include "padsim/scenario.h"
#include "padsim/scenario_line.h"

namespace {

// A repeat or rate whose end has not come yet. A bad opener still opens one, marked to be
// dissolved, so that its end pairs with it and not with an enclosing block.
struct OPENBLOCK {
    SIMCOMMAND block;
    bool dissolve;
};

struct SCRIPTPARSER {
    SIMSCRIPT script;
    std::vector<OPENBLOCK> openBlocks;  // innermost last; each collects its body
    int blockDepth = 0;                 // open blocks that are not to be dissolved
    size_t commandCount = 0;
    size_t recordBytes = 0;
    bool sawQueued = false;  // a queued command has come, at any level
};

void AddError(SCRIPTPARSER& parser, int line, std::string message)
{
    parser.script.errors.push_back({line, std::move(message)});
}

void Append(SCRIPTPARSER& parser, SIMCOMMAND&& command)
{
    if (!parser.openBlocks.empty()) {
        parser.openBlocks.back().block.body.push_back(std::move(command));
        return;
    }
    parser.script.commands.push_back(std::move(command));
}

bool IsBlock(SimCommandKind kind)
{
    return kind == CMD_REPEAT || kind == CMD_RATE;
}

// The limits that bound a whole script; false (with the error recorded) when one is passed.
bool WithinLimits(SCRIPTPARSER& parser, const SIMCOMMAND& command)
{
    if (parser.commandCount >= SIM_MAX_COMMANDS) {
        AddError(parser, command.line,
                 "more than " + std::to_string(SIM_MAX_COMMANDS) + " commands in one script");
        return false;
    }
    if (parser.recordBytes + command.record.size() > SIM_MAX_SCRIPT_RECORD_BYTES) {
        AddError(parser, command.line,
                 "more than " + std::to_string(SIM_MAX_SCRIPT_RECORD_BYTES) +
                     " report bytes in one script");
        return false;
    }
    if (IsBlock(command.kind) && parser.blockDepth >= SIM_MAX_BLOCK_DEPTH) {
        AddError(parser, command.line,
                 "blocks nested deeper than " + std::to_string(SIM_MAX_BLOCK_DEPTH));
        return false;
    }
    if (command.kind == CMD_CLEAR && (parser.sawQueued || !parser.openBlocks.empty())) {
        AddError(parser, command.line, "clear: only before the first queued command");
        return false;
    }
    return true;
}

void OpenBlock(SCRIPTPARSER& parser, SIMCOMMAND&& block, bool dissolve)
{
    if (!dissolve) {
        ++parser.blockDepth;
    }
    parser.openBlocks.push_back({std::move(block), dissolve});
}

// Takes the innermost open block off the stack. A block to be dissolved hands its body to
// the enclosing level, as if its opener had not been there.
void FinishBlock(SCRIPTPARSER& parser)
{
    OPENBLOCK open = std::move(parser.openBlocks.back());
    parser.openBlocks.pop_back();
    if (!open.dissolve) {
        --parser.blockDepth;
        Append(parser, std::move(open.block));
        return;
    }
    for (SIMCOMMAND& inner : open.block.body) {
        Append(parser, std::move(inner));
    }
}

void CloseBlock(SCRIPTPARSER& parser, int line, const TOKENS& tokens)
{
    if (parser.openBlocks.empty()) {
        AddError(parser, line, "end without repeat or rate");
        return;
    }
    if (tokens.size() > 1) {
        AddError(parser, line, "end: expected 'end'; taken as end");
    }
    FinishBlock(parser);
}

// A block left open at the end of the script: its opener is the bad line, so its body is
// kept in place, unrepeated.
void DissolveOpenBlocks(SCRIPTPARSER& parser)
{
    while (!parser.openBlocks.empty()) {
        OPENBLOCK& open = parser.openBlocks.back();
        if (!open.dissolve) {
            const char* name = open.block.kind == CMD_RATE ? "rate" : "repeat";
            AddError(parser, open.block.line,
                     std::string(name) + " without end; its body plays once");
            open.dissolve = true;
            --parser.blockDepth;
        }
        FinishBlock(parser);
    }
}

void ParseLine(SCRIPTPARSER& parser, int lineNumber, std::string_view line)
{
    if (line.size() > SIM_MAX_LINE_LENGTH) {
        AddError(parser, lineNumber,
                 "line longer than " + std::to_string(SIM_MAX_LINE_LENGTH) + " characters");
        return;
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    line = StripComment(line);
    const TOKENS tokens = Tokenize(line);
    if (tokens.empty()) {
        return;
    }
    if (tokens[0] == "end") {
        CloseBlock(parser, lineNumber, tokens);
        return;
    }
    SIMCOMMAND command;
    command.line = lineNumber;
    std::string error;
    const bool parsed = ParseCommand(tokens, line, &command, &error);
    if (!parsed) {
        AddError(parser, lineNumber, std::move(error));
    }
    if (!parsed || !WithinLimits(parser, command)) {
        // A bad block opener still pairs with its end.
        if (tokens[0] == "repeat" || tokens[0] == "rate") {
            OpenBlock(parser, std::move(command), true);
        }
        return;
    }
    ++parser.commandCount;
    parser.recordBytes += command.record.size();
    if (!IsStateCommand(command.kind)) {
        parser.sawQueued = true;
    }
    if (IsBlock(command.kind)) {
        OpenBlock(parser, std::move(command), false);
        return;
    }
    Append(parser, std::move(command));
}

}  // namespace

bool IsStateCommand(SimCommandKind kind)
{
    return kind == CMD_REFUSE || kind == CMD_TRAYMODE || kind == CMD_DISABLED ||
           kind == CMD_CHECKBUTTONS || kind == CMD_CLEAR;
}

SIMSCRIPT ParseScript(std::string_view text)
{
    SCRIPTPARSER parser;
    if (text.size() > SIM_MAX_SCRIPT_SIZE) {
        AddError(parser, 0,
                 "script longer than " + std::to_string(SIM_MAX_SCRIPT_SIZE) +
                     " bytes; nothing played");
        return parser.script;
    }
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, byteOrderMark.size()) == byteOrderMark) {
        text.remove_prefix(byteOrderMark.size());
    }
    int lineNumber = 0;
    size_t start = 0;
    for (;;) {
        const size_t newline = text.find('\n', start);
        const size_t end = newline == std::string_view::npos ? text.size() : newline;
        ParseLine(parser, ++lineNumber, text.substr(start, end - start));
        if (newline == std::string_view::npos) {
            break;
        }
        start = newline + 1;
    }
    DissolveOpenBlocks(parser);
    std::stable_sort(parser.script.errors.begin(), parser.script.errors.end(),
                     [](const SIMSCRIPTERROR& a, const SIMSCRIPTERROR& b) {
                         return a.line < b.line;
                     });
    return parser.script;
}