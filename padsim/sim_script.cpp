#include "padsim/sim_script.h"

#include "padsim/sim_log.h"
#include "padsim/sim_player.h"
#include "padsim/sim_state.h"

namespace {

constexpr size_t MAX_REPLY = size_t{16} * 1024;

void ApplyOnArrival(const SIMCOMMAND& command)
{
    if (command.kind == CMD_CLEAR) {
        LogEvent(EVENT_CLEAR, ClearQueue(), 0, 0);
        return;
    }
    ApplyStateCommand(command);
}

}  // namespace

SIMSUBMISSION SubmitScript(std::string_view text, SimSource source, SimEvent summary,
                           std::string_view label)
{
    SIMSCRIPT script = ParseScript(text);
    SIMSUBMISSION submission{script.commands.size(), std::move(script.errors)};
    LogEvent(summary, static_cast<int64_t>(submission.commands),
             static_cast<int64_t>(submission.errors.size()), 0, label);
    for (const SIMSCRIPTERROR& error : submission.errors) {
        LogEvent(EVENT_ERROR, source, error.line, 0, error.message);
    }

    auto first = script.commands.begin();
    while (first != script.commands.end() && IsStateCommand(first->kind)) {
        ApplyOnArrival(*first++);
    }
    if (first == script.commands.end()) {
        return submission;
    }
    const int line = first->line;
    std::vector<SIMCOMMAND> queued(std::make_move_iterator(first),
                                   std::make_move_iterator(script.commands.end()));
    if (!QueueScript(std::move(queued))) {
        const std::string message = "too many scripts queued; dropped from here on";
        LogEvent(EVENT_ERROR, source, line, 0, message);
        submission.errors.push_back({line, message});
    }
    return submission;
}

std::string SubmissionReply(const SIMSUBMISSION& submission)
{
    if (submission.errors.empty()) {
        return "OK\n";
    }
    std::string reply = "ERR\n";
    for (const SIMSCRIPTERROR& error : submission.errors) {
        std::string line = "line " + std::to_string(error.line) + ": " + error.message + "\n";
        if (reply.size() + line.size() > MAX_REPLY) {
            reply += "...\n";
            break;
        }
        reply += line;
    }
    return reply;
}
