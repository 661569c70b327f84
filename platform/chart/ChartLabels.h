#pragma once

#include <QString>

// Axis label helpers of the chart: pure functions.

// The step between labels: the smallest of increment x 1, 2, 5, 10, 20, ...
// (or of 1, 2, 5 x a power of ten when increment is 0) that keeps labels at
// least minSpacing pixels apart on an axis of `pixels` pixels over `span`.
// 0 when span or pixels leave no room for a step.
double LabelStep(double span, int pixels, int minSpacing, double increment);
