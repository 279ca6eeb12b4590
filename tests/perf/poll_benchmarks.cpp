// The poll tick that runs every 10 ms, through the lean library and tray stand-ins.
#include <benchmark/benchmark.h>

#include "tests/perf/perf_scenarios.h"

namespace {

void CountCalls(benchmark::State& state)
{
    state.counters["lib_calls"] =
        benchmark::Counter(static_cast<double>(NullTotalCalls()), benchmark::Counter::kAvgIterations);
    state.counters["tray_calls"] =
        benchmark::Counter(static_cast<double>(NullTrayCalls()), benchmark::Counter::kAvgIterations);
}

// Nothing changed since the last tick: the two library calls and a look at the flag.
void BM_PollTick_Quiet(benchmark::State& state)
{
    EnterQuietLink();
    for (auto _ : state) {
        PollTick();
    }
    CountCalls(state);
}
BENCHMARK(BM_PollTick_Quiet);

// A report came in since the last tick: the icon choice and a picture change as well.
void BM_PollTick_Redraw(benchmark::State& state)
{
    EnterThreeFingerStatus();
    for (auto _ : state) {
        AnnounceRefresh(TouchStatus);
        PollTick();
    }
    CountCalls(state);
}
BENCHMARK(BM_PollTick_Redraw);

}  // namespace
