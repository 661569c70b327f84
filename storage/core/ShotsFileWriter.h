#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

#include "series/core/Energy.h"

// The shot files that the program writes by itself (automatic saving): the
// given lines as a TXT file, or as a tab-separated CSV table with the
// statistics of the values in its first row. Pure except WriteFileReplacing.

// What a CSV table needs besides the lines, as the main window shows it.
struct TShotsFileSettings {
    bool Txt = false;              // TXT, else CSV
    bool PowerFactorMode = false;  // third column "PF" instead of "E"
    bool PowerFactorIpsc = false;  // power factor with one decimal
    QString WeightText;            // the weight box as typed
    QString WeightUnit;            // its unit caption ("gr" or "g ")
    TUnitState Units;              // Units and Mix boxes
};

// The bytes of the file: UTF-8 with a byte-order mark, every line ended by
// CR LF.
// - TXT: the lines unchanged, one per file line.
// - CSV: a 12-cell header ("Nr", "V", "E" or "PF", "VAVG", "VMAX", "VMIN",
//   "dV", "SV", "EAVG" or "PAVG", "Weight [ <unit> ]", "Shots", "Units"), two
//   empty lines, then one row per line that ParseDotDouble accepts as it
//   stands (others are skipped and take no number): number from 1, velocity
//   ("0.###") and energy ("0.00", from the weight) or power factor; row 1
//   adds mean, largest, smallest, spread and sample deviation ("0.0"), the
//   average energy or the power factor of the mean, the weight text, the
//   count and "metric" or "imperial". Numbers use DecimalSeparator(). A weight
//   text that is no number counts as 0.
// Empty lines give an empty result (nothing to write).
QByteArray ShotsFileBytes(const std::vector<QString>& lines, const TShotsFileSettings& settings);

// Writes bytes as the whole content of the file at path, replacing it. The
// bytes go to "<path>.part" first, which then takes the file's place, so a
// failed write leaves an earlier file as it was. Raises ESysError with the
// failed call, errno and the path ("open error: 2 (No such file or
// directory: /home/u/shots/Chrono_001.csv)").
void WriteFileReplacing(const QString& path, const QByteArray& bytes);
