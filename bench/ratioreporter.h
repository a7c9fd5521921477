#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <string>
#include <vector>

// The median of timings taken in turn with others, which a moment of a busy machine moves less
// than it moves their mean.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "ratio WHAT = x": a ratio printed for information.
inline void printRatioLine(const std::string &what, double ratio)
{
    std::cout << "ratio " << what << " = " << ratio << '\n';
}

// "goal ratio WHAT = x (at most g): met", or "NOT met": a ratio against its goal.
inline void printGoalLine(const std::string &what, double ratio, double atMost)
{
    std::cout << "goal ratio " << what << " = " << ratio << " (at most " << atMost
              << "): " << (ratio <= atMost ? "met" : "NOT met") << '\n';
}

// "goal WHAT = x s (at most g s): met", or "NOT met": a time against a goal of its own.
inline void printGoalSecondsLine(const std::string &what, double seconds, double atMost)
{
    std::cout << "goal " << what << " = " << seconds << " s (at most " << atMost
              << " s): " << (seconds <= atMost ? "met" : "NOT met") << '\n';
}

// Keeps each benchmark's real time per iteration, by function name, so that a program can
// print the ratios that matter once all of its benchmarks have run in the same process.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            m_seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "ratio A / B = x" when both have run.
    void printRatio(const std::string &numerator, const std::string &denominator) const
    {
        const auto top = m_seconds.find(numerator);
        const auto bottom = m_seconds.find(denominator);
        if (top != m_seconds.end() && bottom != m_seconds.end()) {
            printRatioLine(numerator + " / " + denominator, top->second / bottom->second);
        }
    }

    // The ratio against its goal: "goal ratio A / B = x (at most g): met" or "NOT met".
    void printGoal(const std::string &numerator, const std::string &denominator,
                   double atMost) const
    {
        const auto top = m_seconds.find(numerator);
        const auto bottom = m_seconds.find(denominator);
        if (top != m_seconds.end() && bottom != m_seconds.end()) {
            printGoalLine(numerator + " / " + denominator, top->second / bottom->second, atMost);
        }
    }

    // Every other benchmark against one baseline.
    void printRatiosTo(const std::string &baseline) const
    {
        for (const auto &entry : m_seconds) {
            if (entry.first != baseline) {
                printRatio(entry.first, baseline);
            }
        }
    }

private:
    std::map<std::string, double> m_seconds;
};
