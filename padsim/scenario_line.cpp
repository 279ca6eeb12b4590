#include <climits>

#include "padsim/scenario_line.h"
#include "padsim/sim_record.h"

namespace {

// Every "any 32-bit value" argument takes the signed and the unsigned spelling alike, so
// -1 and 0xFFFFFFFF name the same value.
constexpr int64_t ANY32_LOW = INT32_MIN;
constexpr int64_t ANY32_HIGH = UINT32_MAX;

int32_t Wrap32(int64_t value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A token quoted for an error message: short and free of control characters, so the
// message stays on its log line.
std::string Quote(std::string_view token)
{
    constexpr size_t shown = 40;
    std::string quoted = "'";
    for (size_t i = 0; i < token.size() && i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        quoted += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    if (token.size() > shown) {
        quoted += "...";
    }
    return quoted + "'";
}

bool Fail(std::string* error, std::string message)
{
    *error = std::move(message);
    return false;
}

bool ExpectArguments(const TOKENS& tokens, size_t low, size_t high, const char* usage,
                     std::string* error)
{
    const size_t count = tokens.size() - 1;
    if (count < low || count > high) {
        return Fail(error, std::string(tokens[0]) + ": expected '" + usage + "'");
    }
    return true;
}

bool Argument(const TOKENS& tokens, size_t index, int64_t low, int64_t high, int64_t* value,
              std::string* error)
{
    if (ParseInteger(tokens[index], low, high, value)) {
        return true;
    }
    return Fail(error, std::string(tokens[0]) + ": " + Quote(tokens[index]) +
                           " is not a number from " + std::to_string(low) + " to " +
                           std::to_string(high));
}

bool ParseRefuse(const TOKENS& tokens, SIMCOMMAND* command, std::string* error)
{
    if (!ExpectArguments(tokens, 1, 2, "refuse N [VALUE]", error) ||
        !Argument(tokens, 1, 0, INT32_MAX, &command->first, error)) {
        return false;
    }
    command->second = 0;
    if (tokens.size() == 3) {
        if (!Argument(tokens, 2, ANY32_LOW, ANY32_HIGH, &command->second, error)) {
            return false;
        }
        command->second = Wrap32(command->second);
        if (command->second == 1) {
            return Fail(error, "refuse: the value 1 means linked, not refused");
        }
    }
    command->kind = CMD_REFUSE;
    return true;
}

bool ParseStateValue(const TOKENS& tokens, SimCommandKind kind, const char* usage,
                     SIMCOMMAND* command, std::string* error)
{
    if (!ExpectArguments(tokens, 1, 1, usage, error) ||
        !Argument(tokens, 1, ANY32_LOW, ANY32_HIGH, &command->first, error)) {
        return false;
    }
    command->first = Wrap32(command->first);
    command->kind = kind;
    return true;
}

bool ParseStatus(const TOKENS& tokens, SIMCOMMAND* command, std::string* error)
{
    int64_t values[3];
    if (!ExpectArguments(tokens, 3, 3, "status FLAGS FINGERS CONTACT", error)) {
        return false;
    }
    for (size_t i = 0; i < 3; ++i) {
        if (!Argument(tokens, i + 1, 0, 255, &values[i], error)) {
            return false;
        }
    }
    command->kind = CMD_REPORT;
    command->record = StatusRecord(static_cast<uint8_t>(values[0]), static_cast<uint8_t>(values[1]),
                                   static_cast<uint8_t>(values[2]));
    return true;
}

bool ParseRaw(const TOKENS& tokens, SIMCOMMAND* command, std::string* error)
{
    int64_t size = 0;
    if (!ExpectArguments(tokens, 1, 1, "raw N", error) ||
        !Argument(tokens, 1, 0, SIM_MAX_RECORD_SIZE - SIM_TYPE_SIZE, &size, error)) {
        return false;
    }
    command->kind = CMD_REPORT;
    command->record = RawRecord(static_cast<size_t>(size));
    return true;
}

bool ParseReport(const TOKENS& tokens, SIMCOMMAND* command, std::string* error)
{
    int64_t type = 0;
    if (!ExpectArguments(tokens, 1, SIM_MAX_RECORD_SIZE - SIM_TYPE_SIZE + 1,
                         "report TYPE [BYTE...]", error) ||
        !Argument(tokens, 1, ANY32_LOW, ANY32_HIGH, &type, error)) {
        return false;
    }
    std::vector<uint8_t> body;
    for (size_t i = 2; i < tokens.size(); ++i) {
        int64_t byte = 0;
        if (!Argument(tokens, i, 0, 255, &byte, error)) {
            return false;
        }
        body.push_back(static_cast<uint8_t>(byte));
    }
    command->kind = CMD_REPORT;
    command->record = TypedRecord(static_cast<uint32_t>(type), body);
    return true;
}

bool ParseNoArguments(const TOKENS& tokens, SimCommandKind kind, SIMCOMMAND* command,
                      std::string* error)
{
    if (!ExpectArguments(tokens, 0, 0, std::string(tokens[0]).c_str(), error)) {
        return false;
    }
    command->kind = kind;
    return true;
}

bool ParseWait(const TOKENS& tokens, SIMCOMMAND* command, std::string* error)
{
    if (!ExpectArguments(tokens, 1, 1, "wait MS", error) ||
        !Argument(tokens, 1, 0, SIM_MAX_WAIT_MS, &command->first, error)) {
        return false;
    }
    command->kind = CMD_WAIT;
    return true;
}

// The text is the rest of the line after the word, so it keeps its inner blanks.
bool ParseMark(std::string_view line, SIMCOMMAND* command, std::string* error)
{
    std::string_view text = TrimBlanks(line);
    text = TrimBlanks(text.substr(4));
    if (text.size() > SIM_MAX_MARK_LENGTH) {
        return Fail(error, "mark: text longer than " + std::to_string(SIM_MAX_MARK_LENGTH) +
                               " characters");
    }
    command->kind = CMD_MARK;
    command->text.assign(text);
    for (char& c : command->text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            c = '?';
        }
    }
    return true;
}

bool ParseRepeat(const TOKENS& tokens, SIMCOMMAND* command, std::string* error)
{
    if (!ExpectArguments(tokens, 1, 1, "repeat N", error) ||
        !Argument(tokens, 1, 0, INT32_MAX, &command->first, error)) {
        return false;
    }
    command->kind = CMD_REPEAT;
    return true;
}

bool ParseRate(const TOKENS& tokens, SIMCOMMAND* command, std::string* error)
{
    if (!ExpectArguments(tokens, 2, 2, "rate PER_SECOND COUNT", error) ||
        !Argument(tokens, 1, 1, SIM_MAX_RATE, &command->first, error) ||
        !Argument(tokens, 2, 0, INT32_MAX, &command->second, error)) {
        return false;
    }
    command->kind = CMD_RATE;
    return true;
}

}  // namespace

std::string_view StripComment(std::string_view line)
{
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || IsBlank(line[i - 1]))) {
            return line.substr(0, i);
        }
    }
    return line;
}

TOKENS Tokenize(std::string_view line)
{
    TOKENS tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            tokens.push_back(line.substr(start, i - start));
        }
    }
    return tokens;
}

bool ParseCommand(const TOKENS& tokens, std::string_view line, SIMCOMMAND* command,
                  std::string* error)
{
    const std::string_view word = tokens[0];
    if (word == "refuse") {
        return ParseRefuse(tokens, command, error);
    }
    if (word == "traymode") {
        return ParseStateValue(tokens, CMD_TRAYMODE, "traymode M", command, error);
    }
    if (word == "disabled") {
        return ParseStateValue(tokens, CMD_DISABLED, "disabled D", command, error);
    }
    if (word == "checkbuttons") {
        return ParseStateValue(tokens, CMD_CHECKBUTTONS, "checkbuttons V", command, error);
    }
    if (word == "clear") {
        return ParseNoArguments(tokens, CMD_CLEAR, command, error);
    }
    if (word == "status") {
        return ParseStatus(tokens, command, error);
    }
    if (word == "raw") {
        return ParseRaw(tokens, command, error);
    }
    if (word == "report") {
        return ParseReport(tokens, command, error);
    }
    if (word == "null") {
        return ParseNoArguments(tokens, CMD_NULL_REPORT, command, error);
    }
    if (word == "wait") {
        return ParseWait(tokens, command, error);
    }
    if (word == "mark") {
        return ParseMark(line, command, error);
    }
    if (word == "repeat") {
        return ParseRepeat(tokens, command, error);
    }
    if (word == "rate") {
        return ParseRate(tokens, command, error);
    }
    return Fail(error, "unknown command " + Quote(word));
}

bool ParseInteger(std::string_view token, int64_t low, int64_t high, int64_t* value)
{
    const bool negative = !token.empty() && token[0] == '-';
    if (negative) {
        token.remove_prefix(1);
    }
    uint64_t base = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        base = 16;
        token.remove_prefix(2);
    }
    if (token.empty()) {
        return false;
    }
    constexpr uint64_t limit = uint64_t{1} << 63;  // the magnitude of INT64_MIN
    uint64_t magnitude = 0;
    for (const char c : token) {
        uint64_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint64_t>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<uint64_t>(c - 'a') + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<uint64_t>(c - 'A') + 10;
        } else {
            return false;
        }
        if (digit >= base || magnitude > (limit - digit) / base) {
            return false;
        }
        magnitude = magnitude * base + digit;
    }
    if (!negative && magnitude == limit) {
        return false;
    }
    const int64_t result = negative ? static_cast<int64_t>(0 - magnitude)
                                    : static_cast<int64_t>(magnitude);
    if (result < low || result > high) {
        return false;
    }
    *value = result;
    return true;
}
