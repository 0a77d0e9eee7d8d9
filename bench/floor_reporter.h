#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

// A figure "name" is measured beside its floor "name/floor": the least work that does the same
// job with plain Qt. Absolute times on a shared machine say little; the ratio to a floor taken in
// the same run is what we hold ourselves to.
inline const std::string kFloorSuffix = "/floor";

inline void registerWithFloor(const std::string &name, void (*figure)(benchmark::State &),
                              void (*floor)(benchmark::State &))
{
    benchmark::RegisterBenchmark(name.c_str(), figure)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((name + kFloorSuffix).c_str(), floor)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

// The usual console report, then one line per figure: its time, its floor's time and the ratio,
// all in real time, and the ratio of CPU times beside it: where the floor waits on the disk, the
// real times hide what the code itself costs.
class FloorReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            // With --benchmark_repetitions the median stands for the lot; it comes last.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median))
                continue;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            m_times[run.run_name.function_name] = {run.GetAdjustedRealTime() / unit,
                                                   run.GetAdjustedCPUTime() / unit};
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::size_t width = 0;
        for (const auto &[name, times] : m_times) {
            if (m_times.count(name + kFloorSuffix) != 0)
                width = std::max(width, name.size());
        }
        for (const auto &[name, times] : m_times) {
            const auto floor = m_times.find(name + kFloorSuffix);
            if (floor == m_times.end())
                continue;
            char line[200];
            std::snprintf(line, sizeof line,
                          "%-*s %9.3f ms  floor %9.3f ms  ratio %5.2fx  (cpu ratio %5.2fx)\n",
                          static_cast<int>(width), name.c_str(), times.real * 1e3,
                          floor->second.real * 1e3, times.real / floor->second.real,
                          times.cpu / floor->second.cpu);
            GetOutputStream() << line;
        }
    }

private:
    struct Times {
        double real = 0;
        double cpu = 0;
    };
    std::map<std::string, Times> m_times;
};

// Runs every registered figure with the floor report; what a benchmark program's main() ends on.
inline int runWithFloors()
{
    FloorReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
