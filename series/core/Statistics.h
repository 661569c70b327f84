#pragma once

#include <QString>

// Running statistics of a series of values (the shown series keeps its own
// in TShotSeries).

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

// Adds one value: the first sets Mean, Min and Max to it with M2 0; later
// ones update Min, Max, Mean and M2. SumSquares is not touched.
void StatsAdd(TShotStats& stats, double value);

// StatsAdd and SumSquares together: what every shown series and every saved
// file's row 1 count (the average energy comes from SumSquares).
void StatsAddWithSquare(TShotStats& stats, double value);

// Every field 0.
void StatsReset(TShotStats& stats);

// Standard deviation sqrt(M2 / (Count - 1)); 0 below two values.
double StandardDeviation(const TShotStats& stats);

// Extreme spread |Max - Min|.
double ExtremeSpread(const TShotStats& stats);

// The texts of the statistics: the labels VAVG, VMAX, VMIN, dV, SV, EAVG (or
// PAVG) and NR, and row 1 of a saved CSV file. StatsTexts and ZeroStatsTexts
// fill the velocity texts with the picture "0.0" and the user's decimal
// separator and Count as a whole number; the average energy needs the weight
// and is left to the caller.
struct TStatsTexts {
    QString Average;
    QString Maximum;
    QString Minimum;
    QString Spread;
    QString Deviation;
    QString AverageEnergy;
    QString Count;
};
TStatsTexts StatsTexts(const TShotStats& stats);

// The placeholders shown while there is no value: 0 with "00.0" for the five
// velocity labels, "0" for NR.
TStatsTexts ZeroStatsTexts();
