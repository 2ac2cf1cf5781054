// Runs the registered benchmarks and then prints, for each (subject, baseline) pair, the ratio
// of their mean CPU times measured in this same run, so that the noise of a shared machine
// mostly cancels out.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct BenchRatio {
    std::string subject;
    std::string baseline;
    double goal;  // the ratio the subject should stay within; 0 = no goal
};

int RunBenchmarksWithRatios(int argc, char** argv, const std::vector<BenchRatio>& ratios);
