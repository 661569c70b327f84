#pragma once

#include <optional>

#include <QString>

// Counter mode: the chronograph sends the raw count of its timer between the
// two sensors instead of a velocity, and the program converts it with the
// clock frequency, the gate distance and a count offset from the settings.

// The counter settings as read at start-up.
struct TCounterSettings {
    bool Mode = false;  // Freq > 0 and Gate > 0
    int A = 0;          // offset added to every raw count
    double Gate = 0;    // metres
    double Freq = 0;    // Hz
};

// Reads the settings texts FREQ, GATE and A (as stored, untrimmed).
// FREQ: a number with no unit, "Hz", "kHz" or "MHz" (any case and spacing,
// ',' or '.' as separator); GATE: no unit, "m", "mm" or "cm". Any other unit,
// a text that is no number, or a product that is not a finite number above 0
// leaves the value 0. A: the trimmed text as a decimal whole number in the
// 32-bit range with an optional sign, else 0. Mode is set when Freq and Gate are above 0.
// Examples: "16 MHz" -> 16000000 Hz; "5 cm" -> 0.05 m; "16 GHz" -> 0.
TCounterSettings CounterSettingsFromText(const QString& freq, const QString& gate,
                                         const QString& a);

// The velocity for a raw count: |gate x freq / (count + a)|, in the unit of
// the gate per second. Returns no value when count + a is 0 (there is no
// velocity for it, and the count itself is no velocity either) or when the
// result is not a finite number.
// Example: count 4000, a 0, gate 0.1, freq 16000000 -> 400.
std::optional<double> CounterToVelocity(double count, int a, double gate, double freq);
