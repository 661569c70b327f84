#pragma once

// The targets of a benchmark program. Each figure that has a target is
// printed against it. Timings on a shared machine are noisy, so only a miss
// by more than a factor of two counts as a failure: Finish() then returns 1,
// which the program returns from main (make bench fails).
#include <cstdio>

class TBenchTargets {
public:
    // A figure that should stay at or below target (same unit).
    void AtMost(const char* what, double value, double target, const char* unit) {
        const char* verdict = "met";
        if (value > 2 * target) {
            verdict = "MISSED by more than 2x";
            ++FFailed;
        } else if (value > target) {
            verdict = "missed (within 2x)";
        }
        std::printf("target: %s: %.2f %s, target at most %.2f %s: %s\n", what, value, unit, target,
                    unit, verdict);
        ++FChecked;
    }

    // Prints the tally; 0 when no target was missed by more than 2x.
    int Finish() const {
        std::printf("targets: %d checked, %d missed by more than 2x\n", FChecked, FFailed);
        return FFailed > 0 ? 1 : 0;
    }

private:
    int FChecked = 0;
    int FFailed = 0;
};
