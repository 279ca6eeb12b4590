#include "evalkit/call_summary.h"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cwchar>

#include "evalkit/picture_replay.h"

namespace {

double MedianOf(std::vector<double> values)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

std::vector<double> GapsMs(const std::vector<int64_t>& timesUs)
{
    std::vector<double> gaps;
    for (size_t i = 1; i < timesUs.size(); ++i) {
        gaps.push_back(static_cast<double>(timesUs[i] - timesUs[i - 1]) / 1000.0);
    }
    return gaps;
}

std::wstring Format(const wchar_t* format, ...)
{
    wchar_t text[256] = {};
    va_list arguments;
    va_start(arguments, format);
    const int length = vswprintf(text, 256, format, arguments);
    va_end(arguments);
    // A line too long for the buffer may come back unterminated: cut it at the buffer's end.
    return std::wstring(text, length >= 0 ? static_cast<size_t>(length) : wcsnlen(text, 255));
}

struct CALLCOUNTS {
    std::vector<int64_t> attempts;  // times of TpConnect up to the first accepted one
    int64_t linkedAt = -1;          // time of the first accepted TpConnect
    std::vector<int64_t> ticks;     // times of TpIsDisabled, one a poll tick
    int statusReports = 0;
    int rawReports = 0;
    int otherReports = 0;
    PICTUREREPLAY pictures;
};

void CountDelivery(const LOGLINE& line, CALLCOUNTS& counts)
{
    const int64_t type = LogNumber(line, "type", -1);
    if (type == 259) {
        ++counts.statusReports;
        ReplayStatusReport(counts.pictures, LogItem(line, "bytes"));
    } else if (type == 258) {
        ++counts.rawReports;
    } else {
        ++counts.otherReports;
    }
}

void CountLine(const LOGLINE& line, CALLCOUNTS& counts)
{
    const int64_t t = LogNumber(line, "t", 0);
    if (LogItem(line, "event") == "deliver") {
        CountDelivery(line, counts);
        return;
    }
    const std::string name = LogItem(line, "call");
    const int64_t ret = LogNumber(line, "ret", 0);
    if (name == "TpConnect") {
        if (counts.linkedAt < 0) {
            counts.attempts.push_back(t);
            counts.linkedAt = ret == 1 ? t : -1;
        }
        if (ret == 1) {
            ReplayLink(counts.pictures);
        }
    } else if (name == "TpIsDisabled") {
        counts.ticks.push_back(t);
        ReplayDisabledAnswer(counts.pictures, static_cast<int32_t>(ret));
    } else if (name == "TpGetTrayMode") {
        ReplayTrayModeAnswer(counts.pictures, static_cast<int32_t>(ret));
    }
}

std::wstring LinkLine(const CALLCOUNTS& counts)
{
    if (counts.linkedAt < 0) {
        return Format(L"link: never made (%u attempts refused)", static_cast<unsigned>(counts.attempts.size()));
    }
    const std::vector<double> gaps = GapsMs(counts.attempts);
    return Format(L"link: made at attempt %u (%u refused%ls), %.2f s after the start",
                  static_cast<unsigned>(counts.attempts.size()), static_cast<unsigned>(counts.attempts.size() - 1),
                  gaps.empty() ? L"" : Format(L", attempts %.0f ms apart", MedianOf(gaps)).c_str(),
                  static_cast<double>(counts.linkedAt) / 1e6);
}

std::wstring PollLine(const CALLCOUNTS& counts)
{
    if (counts.ticks.size() < 2) {
        return Format(L"poll: %u ticks", static_cast<unsigned>(counts.ticks.size()));
    }
    const double span = static_cast<double>(counts.ticks.back() - counts.ticks.front()) / 1e6;
    return Format(L"poll: %u ticks in %.1f s, %.0f a second, median period %.1f ms",
                  static_cast<unsigned>(counts.ticks.size()), span, static_cast<double>(counts.ticks.size() - 1) / span,
                  MedianOf(GapsMs(counts.ticks)));
}

// The first unreadable line, named as the reader names it ("line N: TEXT"); a byte beyond
// ASCII shows as "?", since the line may be cut inside a character.
std::wstring UnreadableLine(const std::vector<std::string>& unreadable)
{
    std::wstring line = Format(L"unreadable call log lines: %u, the first ", static_cast<unsigned>(unreadable.size()));
    for (const char c : unreadable.front()) {
        line += static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'?';
    }
    return line;
}

}  // namespace

std::vector<std::wstring> SummaryLines(const std::vector<LOGLINE>& logLines, const std::vector<std::string>& unreadable,
                                       uint32_t exitCode)
{
    CALLCOUNTS counts;
    for (const LOGLINE& line : logLines) {
        CountLine(line, counts);
    }
    const PICTUREREPLAY& pictures = counts.pictures;
    std::vector<std::wstring> lines = {
        LinkLine(counts),
        PollLine(counts),
        Format(L"reports handled: %d (%d status, %d raw, %d other)",
               counts.statusReports + counts.rawReports + counts.otherReports, counts.statusReports, counts.rawReports,
               counts.otherReports),
        Format(L"picture changes: %d (icon redraws that the reports and the pad's state called for), "
               L"%d removal(s), %d return(s)",
               pictures.changes, pictures.removals, pictures.returns),
        Format(exitCode < 256 ? L"exit code: %u" : L"exit code: 0x%08X", exitCode),
    };
    if (!unreadable.empty()) {
        lines.push_back(UnreadableLine(unreadable));
    }
    return lines;
}
