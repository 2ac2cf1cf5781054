#include "bench/bench_ratios.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "mean") {
                const std::string name = run.run_name.function_name;
                // With repetitions, prefer the mean; otherwise the single run.
                if (run.aggregate_name == "mean" || times.count(name) == 0) {
                    times[name] = run.GetAdjustedCPUTime();
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int RunBenchmarksWithRatios(int argc, char** argv, const std::vector<BenchRatio>& ratios) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\n%-34s %-34s %8s %8s\n", "subject", "baseline", "ratio", "goal");
    for (const BenchRatio& r : ratios) {
        auto s = reporter.times.find(r.subject);
        auto b = reporter.times.find(r.baseline);
        if (s == reporter.times.end() || b == reporter.times.end() || b->second <= 0) {
            continue;  // filtered out of this run
        }
        const double ratio = s->second / b->second;
        if (r.goal > 0) {
            std::printf("%-34s %-34s %8.3f %7.2fx %s\n", r.subject.c_str(), r.baseline.c_str(),
                        ratio, r.goal, ratio <= r.goal ? "met" : "MISSED");
        } else {
            std::printf("%-34s %-34s %8.3f\n", r.subject.c_str(), r.baseline.c_str(), ratio);
        }
    }
    return 0;
}
