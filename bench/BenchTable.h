// Timing of repeated operations for the benchmark programs. Each figure is
// the median over the rounds of the nanoseconds one operation took; the
// programs print one tab-separated line per figure ("row", width, operation,
// count, median ns, ratio to its baseline or "-", note) for tools/bench.sh,
// and "info" lines for the machine.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace bench {

class Table {
public:
    // Reads "--quick" (one short round: checks the paths, not the numbers).
    Table(int argc, char** argv);

    // The count to use for an operation that runs `full` times per round.
    unsigned count(unsigned full) const;

    // Runs `body()` `count` times per round and prints the median ns per
    // operation, with its ratio when a baseline (ns) is given. Answers the
    // median.
    template <class F>
    double run(const std::string& operation, unsigned count, F body, double baseline = 0,
               const std::string& note = std::string()) {
        std::vector<double> perOperation;
        for (int round = 0; round < rounds_; ++round) {
            LARGE_INTEGER start;
            LARGE_INTEGER end;
            QueryPerformanceCounter(&start);
            for (unsigned i = 0; i < count; ++i)
                body();
            QueryPerformanceCounter(&end);
            perOperation.push_back(nanoseconds(end.QuadPart - start.QuadPart) / count);
        }
        std::sort(perOperation.begin(), perOperation.end());
        const double median = perOperation[perOperation.size() / 2];
        print(operation, count, median, baseline, note);
        return median;
    }

    void info(const char* key, const std::string& value) const;

private:
    double nanoseconds(long long ticks) const;
    void print(const std::string& operation, unsigned count, double median, double baseline,
               const std::string& note) const;

    int rounds_;
    bool quick_;
    double ticksPerSecond_;
};

// Keeps a computed value alive so that the timed loop is not optimised away.
void keep(const void* value);
void keep(unsigned long long value);

}  // namespace bench
