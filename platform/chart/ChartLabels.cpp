#include "platform/chart/ChartLabels.h"

#include <algorithm>
#include <cmath>

namespace {

// The smallest of 1, 2, 5 x 10^k that is not below v (v > 0).
double NiceCeil(double v) {
    const double base = std::pow(10.0, std::floor(std::log10(v)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * base >= v * (1 - 1e-9)) return m * base;
    }
    return 10 * base;
}

}  // namespace

double LabelStep(double span, int pixels, int minSpacing, double increment) {
    if (!(span > 0) || !std::isfinite(span) || pixels < 2) return 0;
    const double minStep = span * std::max(minSpacing, 1) / pixels;
    if (!(minStep > 0)) return 0;
    if (increment > 0) {
        const double ratio = minStep / increment;
        return ratio <= 1 ? increment : increment * NiceCeil(ratio);
    }
    return NiceCeil(minStep);
}
