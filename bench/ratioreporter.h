// SPDX-License-Identifier: MIT
// Runs the registered benchmarks, prints Google Benchmark's table, then one line
// per ratio: these machines are noisy, and a ratio measured in the same run says
// more than a time.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
                nanoseconds_[run.run_name.function_name] =
                    run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond   ? 1e6
                                                 : run.time_unit == benchmark::kMicrosecond ? 1e3
                                                                                            : 1);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double nanoseconds(const std::string& name) const {
        const auto found = nanoseconds_.find(name);
        return found == nanoseconds_.end() ? 0 : found->second;
    }
    // Prints "what: a / b = ratio (goal)".
    void printRatio(const char* what, const std::string& a, const std::string& b, const char* goal) const {
        const double x = nanoseconds(a), y = nanoseconds(b);
        if (x > 0 && y > 0) {
            std::printf("%-44s %10.3f ms / %10.3f ms = %7.2f x   (goal %s)\n", what, x / 1e6, y / 1e6, x / y,
                        goal);
        }
    }

private:
    std::map<std::string, double> nanoseconds_;
};

inline int runWithRatios(int argc, char** argv, RatioReporter& reporter,
                         const std::vector<std::pair<std::vector<std::string>, const char*>>& ratios,
                         const std::vector<const char*>& labels) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    for (std::size_t i = 0; i < ratios.size(); ++i) {
        reporter.printRatio(labels[i], ratios[i].first[0], ratios[i].first[1], ratios[i].second);
    }
    benchmark::Shutdown();
    return 0;
}
