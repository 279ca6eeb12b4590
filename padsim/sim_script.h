// Scripts as they arrive, from the scenario file or over the control pipe: parsed, their bad
// lines logged, their leading state commands applied at once and the rest queued for the
// delivery thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "padsim/log_record.h"
#include "padsim/scenario.h"

struct SIMSUBMISSION {
    size_t commands;                     // top-level commands taken
    std::vector<SIMSCRIPTERROR> errors;  // lines skipped, and a full queue
};

// Logs `summary` (EVENT_SCENARIO or EVENT_PIPE) with `label` as its text, then each bad line,
// then plays the state commands that come before the first queued command. The state
// commands after it are played in their turn by the delivery thread.
SIMSUBMISSION SubmitScript(std::string_view text, SimSource source, SimEvent summary,
                           std::string_view label);

// The answer sent back over the pipe: "OK\n", or "ERR\n" and one "line N: message\n" for
// each error.
std::string SubmissionReply(const SIMSUBMISSION& submission);
