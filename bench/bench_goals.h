// SPDX-License-Identifier: GPL-3.0-or-later
// Goals read off one run: each benchmark program registers what it is held to (a case against
// the sum of its reference cases, times a factor, plus an allowance), and at the end of the run
// prints every goal whose cases ran, with the figures, the ratio and whether it was met. The
// figures are medians of the real time: the aggregate when repetitions were asked for, the
// median of the runs otherwise.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace korvane::bench {

// measured <= factor * (sum of reference) + allowance_ms. factor 0 with an allowance is a limit
// in milliseconds, the reference shown beside it; neither is a comparison without a goal.
struct Goal {
    Goal(std::string what_, std::string measured_, std::vector<std::string> reference_ = {},
         double factor_ = 0, double allowance_ms_ = 0, std::string note_ = {})
        : what(std::move(what_)),
          measured(std::move(measured_)),
          reference(std::move(reference_)),
          factor(factor_),
          allowance_ms(allowance_ms_),
          note(std::move(note_)) {}

    std::string what;
    // Case names without the suffixes Google Benchmark adds (/real_time, /iterations:N):
    // the function's name and its arguments, "BM_VfsScan/read_ahead:1".
    std::string measured;
    std::vector<std::string> reference;
    double factor;
    double allowance_ms;
    // Printed after the goal: what the goal is stated for, when this run's size differs.
    std::string note;
};

inline std::vector<Goal>& goals() {
    static std::vector<Goal> registered;
    return registered;
}

inline bool add_goal(Goal goal) {
    goals().push_back(std::move(goal));
    return true;
}

class GoalReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = case_name(run);
            if (run.error_occurred) {
                failed_.insert(name);
                continue;
            }
            const double ms =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3;
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") medians_[name] = ms;
            } else {
                samples_[name].push_back(ms);
            }
        }
    }

    void Finalize() override {
        std::ostream& out = GetOutputStream();
        bool header = false;
        for (const Goal& goal : goals()) {
            if (!ran(goal.measured)) continue;
            if (!header) {
                out << "\nGoals (medians of real time):\n";
                header = true;
            }
            print(out, goal);
        }
        out.flush();
        ConsoleReporter::Finalize();
    }

private:
    static std::string case_name(const Run& run) {
        const benchmark::BenchmarkName& name = run.run_name;
        return name.args.empty() ? name.function_name : name.function_name + "/" + name.args;
    }

    bool ran(const std::string& name) const {
        return failed_.count(name) || medians_.count(name) || samples_.count(name);
    }

    // Milliseconds; negative when the case did not run or failed.
    double figure(const std::string& name) const {
        if (failed_.count(name)) return -1;
        if (auto m = medians_.find(name); m != medians_.end()) return m->second;
        auto s = samples_.find(name);
        if (s == samples_.end() || s->second.empty()) return -1;
        std::vector<double> values = s->second;
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    void print(std::ostream& out, const Goal& goal) const {
        const double measured = figure(goal.measured);
        double reference = 0;
        std::string names;
        for (const std::string& r : goal.reference) {
            const double v = figure(r);
            if (v < 0) {
                reference = -1;
                break;
            }
            reference += v;
            names += (names.empty() ? "" : " + ") + r;
        }
        out << "  " << goal.what << "\n";
        if (measured < 0) {
            out << "    not measured: " << goal.measured << " failed\n";
            return;
        }
        if (reference < 0) {
            out << "    not measured: a reference case failed or was not run (filter)\n";
            return;
        }
        out << "    " << goal.measured << " " << format("%.3f", measured) << " ms";
        if (!goal.reference.empty()) {
            out << "; reference " << names << " " << format("%.3f", reference) << " ms";
            if (reference > 0) out << "; ratio " << format("%.2f", measured / reference);
        }
        out << "\n";
        if (goal.factor > 0 || goal.allowance_ms > 0) {
            const double limit = goal.factor * reference + goal.allowance_ms;
            std::string stated;
            if (goal.factor > 0) stated = format("%g", goal.factor) + " x reference";
            if (goal.allowance_ms > 0) {
                stated += (stated.empty() ? "" : " + ") + format("%g", goal.allowance_ms) + " ms";
            }
            out << "    goal <= " << stated << " = " << format("%.3f", limit) << " ms: ";
            if (measured <= limit) {
                out << "pass\n";
            } else {
                out << "MISS by " << format("%.3f", measured - limit) << " ms ("
                    << format("%.0f", (measured / limit - 1) * 100) << "%)\n";
            }
        }
        if (!goal.note.empty()) out << "    " << goal.note << "\n";
    }

    static std::string format(const char* pattern, double value) {
        char text[64];
        std::snprintf(text, sizeof text, pattern, value);
        return text;
    }

    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> samples_;
    std::set<std::string> failed_;
};

// The body of every benchmark program's main, once its own set-up is done. The screen gets the
// console format and the goals whatever --benchmark_format says; --benchmark_out and
// --benchmark_out_format still write JSON or CSV to a file.
inline int run_benchmarks(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    GoalReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace korvane::bench
