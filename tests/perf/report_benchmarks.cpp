// The report callback and the icon choice, through the lean library stand-in.
#include <benchmark/benchmark.h>

#include "tests/perf/perf_scenarios.h"

namespace {

// Library calls per iteration, shown beside the time so a run also shows the path it took.
void CountLibraryCalls(benchmark::State& state)
{
    state.counters["lib_calls"] =
        benchmark::Counter(static_cast<double>(NullTotalCalls()), benchmark::Counter::kAvgIterations);
}

void BM_OnTouchReport_Changing(benchmark::State& state)
{
    EnterQuietLink();
    const REPORTPAIR pair = MovingReports();
    unsigned turn = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(OnTouchReport(&pair.reports[turn++ & 1]));
    }
    CountLibraryCalls(state);
}
BENCHMARK(BM_OnTouchReport_Changing);

void BM_OnTouchReport_Click(benchmark::State& state)
{
    EnterQuietLink();
    NullTouchpad.checkButtonsResult = 1;
    const REPORTPAIR pair = ClickReports();
    unsigned turn = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(OnTouchReport(&pair.reports[turn++ & 1]));
    }
    CountLibraryCalls(state);
}
BENCHMARK(BM_OnTouchReport_Click);

void BM_OnTouchReport_Repeating(benchmark::State& state)
{
    EnterQuietLink();
    const TouchReport report = RestingReport();
    OnTouchReport(&report);
    for (auto _ : state) {
        benchmark::DoNotOptimize(OnTouchReport(&report));
    }
    CountLibraryCalls(state);
}
BENCHMARK(BM_OnTouchReport_Repeating);

void BM_OnTouchReport_Raw(benchmark::State& state)
{
    EnterQuietLink();
    const TouchReport report = RawReport();
    for (auto _ : state) {
        benchmark::DoNotOptimize(OnTouchReport(&report));
    }
    CountLibraryCalls(state);
}
BENCHMARK(BM_OnTouchReport_Raw);

void BM_ChooseTrayIcon(benchmark::State& state)
{
    EnterThreeFingerStatus();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ChooseTrayIcon(TouchStatus));
    }
}
BENCHMARK(BM_ChooseTrayIcon);

}  // namespace
