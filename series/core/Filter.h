#pragma once

#include <cstdint>

// The [FILTER] section in parsed form.

// One parsed range rule. When Valid is false only ApplyLive and Kind carry
// meaning.
struct TFilterRule {
    bool Valid = false;
    bool HasMin = false;
    bool HasMax = false;
    bool ApplyLive = false;  // the rule text ended in "+"
    double Min = 0.0;
    double Max = 0.0;
    std::int32_t MinInclusive = 0;  // 1: value >= Min, 0: value > Min
    std::int32_t MaxInclusive = 0;  // 1: value <= Max, 0: value < Max
    std::int32_t Kind = 0;          // 0 velocity rule "V", 1 shots rule "S"
};

// A zero configuration means: not enabled, no rule.
struct TFilterConfig {
    bool Enabled = false;
    TFilterRule ShotsRule;
    TFilterRule VelocityRule;
};
