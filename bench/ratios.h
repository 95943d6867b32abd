// ratios.h - prints how benchmarks of one run compare, as ratios.
//
// Speed on this shared 2-core machine moves from minute to minute, so only
// figures taken in the same run are compared. RatioReporter prints the usual
// console table and remembers each benchmark's real time (the median when
// repeated); printRatios then prints "name: baseline / name" for each pair.
#ifndef QUORVEX_BENCH_RATIOS_H
#define QUORVEX_BENCH_RATIOS_H

#include <benchmark/benchmark.h>
#include <stdio.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[name] = run.GetAdjustedRealTime();
            else if (run.run_type == Run::RT_Iteration && !medians.count(name))
                singles[name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double realTime(const std::string &name) const {
        auto m = medians.find(name);
        if (m != medians.end()) return m->second;
        auto s = singles.find(name);
        return s != singles.end() ? s->second : -1.0;
    }

    // Each pair is (baseline, contender); the ratio is how many times faster
    // the contender ran (above 1) or slower (below 1).
    void printRatios(const char *title, const std::vector<std::pair<std::string, std::string>> &pairs) const {
        printf("\n%s\n", title);
        for (const auto &p : pairs) {
            const double base = realTime(p.first), other = realTime(p.second);
            if (base <= 0 || other <= 0) continue;  // filtered out of this run
            printf("  %-44s %-44s %6.2fx\n", p.first.c_str(), p.second.c_str(), base / other);
        }
    }

private:
    std::map<std::string, double> medians, singles;
};

#endif
