#include "padsim/log_line.h"

#include <cerrno>
#include <cstdlib>

namespace {

constexpr size_t SHOWN_CHARS = 120;  // of an unreadable line, where it is named

// The items that open every line, in this order; the fourth is "call" or "event".
const char* const HEAD_KEYS[] = {"t", "tid", "pid"};
constexpr size_t HEAD_COUNT = 3;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsKeyChar(char c)
{
    return (c >= 'a' && c <= 'z') || IsDigit(c) || c == '_';
}

bool IsNameChar(char c)
{
    return IsKeyChar(c) || (c >= 'A' && c <= 'Z') || c == '-';
}

// The writer cleans control characters out of every text.
bool IsTextChar(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F;
}

bool IsPlainChar(char c)
{
    return IsTextChar(c) && c != ' ' && c != '=';
}

template <typename CHARTEST>
bool AllOf(const std::string& text, CHARTEST test)
{
    for (const char c : text) {
        if (!test(c)) {
            return false;
        }
    }
    return true;
}

bool IsSignedNumber(const std::string& text)
{
    const std::string digits = text[0] == '-' ? text.substr(1) : text;
    return !digits.empty() && AllOf(digits, IsDigit);
}

// The head's numbers, the entry's or event's name, a text or the bytes (which may be empty),
// or a plain value.
bool ValueFits(const std::string& key, size_t place, const std::string& value)
{
    if (key == "bytes") {
        return AllOf(value, IsTextChar);
    }
    if (value.empty()) {
        return false;
    }
    if (place < HEAD_COUNT) {
        return AllOf(value, IsDigit);
    }
    if (place == HEAD_COUNT) {
        return AllOf(value, IsNameChar);
    }
    return AllOf(value, key == "text" ? IsTextChar : IsPlainChar);
}

// Whether an item may stand at this place of the line: the head's keys first, then the
// line's kind, then any other key once.
bool FitsPlace(const std::string& key, size_t place, const LOGLINE& items)
{
    if (place < HEAD_COUNT) {
        return key == HEAD_KEYS[place];
    }
    const bool kind = key == "call" || key == "event";
    return place == HEAD_COUNT ? kind : !kind && items.count(key) == 0;
}

}  // namespace

bool ParseLogLine(const std::string& text, LOGLINE* line)
{
    LOGLINE items;
    std::string lastKey;
    size_t at = 0;
    for (size_t place = 0; at < text.size(); ++place) {
        // Every item but the first follows one blank, and a blank is followed by an item.
        if (place > 0) {
            if (text[at] != ' ' || at + 1 == text.size()) {
                return false;
            }
            ++at;
        }
        const size_t equals = text.find('=', at);
        if (equals == std::string::npos) {
            return false;
        }
        const std::string key = text.substr(at, equals - at);
        if (key.empty() || !AllOf(key, IsKeyChar) || !FitsPlace(key, place, items)) {
            return false;
        }
        // A text or the bytes run to the end of the line, blanks and all.
        const bool rest = key == "text" || key == "bytes";
        const size_t blank = text.find(' ', equals);
        const size_t end = rest || blank == std::string::npos ? text.size() : blank;
        const std::string value = text.substr(equals + 1, end - equals - 1);
        if (!ValueFits(key, place, value)) {
            return false;
        }
        items[key] = value;
        lastKey = key;
        at = end;
    }
    // A call ends with what it returned.
    if (items.size() <= HEAD_COUNT ||
        (items.count("call") != 0 && (lastKey != "ret" || !IsSignedNumber(items["ret"])))) {
        return false;
    }
    *line = std::move(items);
    return true;
}

void TakeLogText(LOGREADER& reader, const char* data, size_t size, std::vector<LOGLINE>* lines)
{
    reader.pending.append(data, size);
    size_t start = 0;
    for (size_t end = reader.pending.find('\n'); end != std::string::npos;
         end = reader.pending.find('\n', start)) {
        const size_t length = end > start && reader.pending[end - 1] == '\r' ? end - start - 1
                                                                             : end - start;
        const std::string text = reader.pending.substr(start, length);
        start = end + 1;
        ++reader.lineNumber;
        LOGLINE line;
        if (ParseLogLine(text, &line)) {
            lines->push_back(std::move(line));
        } else {
            reader.unreadable.push_back("line " + std::to_string(reader.lineNumber) + ": " +
                                        text.substr(0, SHOWN_CHARS) +
                                        (text.size() > SHOWN_CHARS ? "..." : ""));
        }
    }
    reader.pending.erase(0, start);
}

std::string LogItem(const LOGLINE& line, const char* key)
{
    const auto item = line.find(key);
    return item != line.end() ? item->second : std::string();
}

int64_t LogNumber(const LOGLINE& line, const char* key, int64_t fallback)
{
    const std::string text = LogItem(line, key);
    if (text.empty()) {
        return fallback;
    }
    const bool hex = text.compare(0, 2, "0x") == 0;
    char* end = nullptr;
    errno = 0;
    const long long value = hex ? static_cast<long long>(std::strtoull(text.c_str() + 2, &end, 16))
                                : std::strtoll(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0 && end != text.c_str() + (hex ? 2 : 0)
               ? static_cast<int64_t>(value)
               : fallback;
}

bool LineHas(const LOGLINE& line, const LOGLINE& wanted)
{
    for (const auto& item : wanted) {
        const auto found = line.find(item.first);
        if (found == line.end() || found->second != item.second) {
            return false;
        }
    }
    return true;
}

std::vector<LOGLINE> LinesWith(const std::vector<LOGLINE>& lines, const LOGLINE& wanted)
{
    std::vector<LOGLINE> found;
    for (const LOGLINE& line : lines) {
        if (LineHas(line, wanted)) {
            found.push_back(line);
        }
    }
    return found;
}
