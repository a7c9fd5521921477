#pragma once

#include <benchmark/benchmark.h>

#include <iostream>
#include <map>
#include <string>

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
            std::cout << "ratio " << numerator << " / " << denominator << " = "
                      << top->second / bottom->second << '\n';
        }
    }

    // The ratio against its goal: "goal ratio A / B = x (at most g): met" or "NOT met".
    void printGoal(const std::string &numerator, const std::string &denominator,
                   double atMost) const
    {
        const auto top = m_seconds.find(numerator);
        const auto bottom = m_seconds.find(denominator);
        if (top != m_seconds.end() && bottom != m_seconds.end()) {
            const double ratio = top->second / bottom->second;
            std::cout << "goal ratio " << numerator << " / " << denominator << " = " << ratio
                      << " (at most " << atMost << "): " << (ratio <= atMost ? "met" : "NOT met")
                      << '\n';
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
