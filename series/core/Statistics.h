#pragma once

#include <QString>

// Running statistics of the shown series and the other program-wide values
// of the shot series. All of them belong to the main thread.

// The running statistics, updated one value at a time (Welford's method).
// Every value is in the unit shown (m/s or ft/s).
struct TShotStats {
    int Count = 0;          // values added since the last reset
    double Mean = 0;        // running mean
    double M2 = 0;          // running sum of squared deviations from the mean
    double Min = 0;         // smallest value added
    double Max = 0;         // largest value added
    double SumSquares = 0;  // sum of v x v; StatsAdd leaves it to the caller
};

extern TShotStats ShotStats;    // the shown series; all 0 at start
extern double LastVelocity;     // velocity of the last shot, unit shown; 0 at start
extern bool LastVelocityValid;  // LastVelocity holds a shot; false at start
extern int NextChartX;          // X of the next chart point; 1 at start and after a reset
// The scrolling chart window at its widest: this many shots, on a shot axis
// from 0 to FullWindowShots - 1.
inline constexpr int FullWindowShots = 26;
extern int VisibleShots;  // width of the scrolling chart window in shots; FullWindowShots at start
extern bool LiveInput;    // true only while the drain passes received lines on
extern bool BatchUpdate;  // true during a batch of list updates (one repaint at the end)
extern bool CounterMode;  // counter conversion configured (CounterFreq, CounterGate > 0)
extern int CounterA;      // offset added to every raw count
extern double CounterGate;  // metres between the two sensors
extern double CounterFreq;  // Hz of the chronograph's timer

// Adds one value: the first sets Mean, Min and Max to it with M2 0; later
// ones update Min, Max, Mean and M2. SumSquares is not touched.
void StatsAdd(TShotStats& stats, double value);

// Every field 0.
void StatsReset(TShotStats& stats);

// The program-wide reset: every field of ShotStats 0 and NextChartX 1;
// LastVelocity is left alone.
void ResetShotStats();

// Standard deviation sqrt(M2 / (Count - 1)); 0 below two values.
double StandardDeviation(const TShotStats& stats);

// Extreme spread |Max - Min|.
double ExtremeSpread(const TShotStats& stats);

// The texts of the statistics labels: VAVG, VMAX, VMIN, dV and SV with the
// picture "0.0" and the user's decimal separator, NR as a whole number.
struct TStatsTexts {
    QString Average;
    QString Maximum;
    QString Minimum;
    QString Spread;
    QString Deviation;
    QString Count;
};
TStatsTexts StatsTexts(const TShotStats& stats);

// The placeholders shown while there is no value: 0 with "00.0" for the five
// velocity labels, "0" for NR.
TStatsTexts ZeroStatsTexts();
