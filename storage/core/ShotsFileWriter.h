#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "series/core/Energy.h"
#include "series/core/Statistics.h"

// The TXT and CSV shot files: what SAVE writes from the shot list and what
// automatic saving writes from its buffered lines. Every file is UTF-8 with a
// byte-order mark; lines end with CR LF. Pure: the writers pass the bytes to
// WriteFileReplacing.

// What a CSV table needs besides the lines, as the main window shows it.
struct TShotsFileSettings {
    bool Txt = false;              // TXT, else CSV
    bool PowerFactorMode = false;  // third column "PF" instead of "E"
    bool PowerFactorIpsc = false;  // power factor with one decimal
    QString WeightText;            // the weight box as typed
    QString WeightUnit;            // its unit caption ("gr" or "g ")
    TUnitState Units;              // Units and Mix boxes
};

// The bytes of an automatic save file. CSV rows take the velocity ("0.###")
// and the energy ("0.00", from the weight) or power factor of each line that
// ParseShotValue accepts as it stands (others are skipped and take no
// number); row 1 adds mean, largest, smallest, spread and sample deviation
// ("0.0"), the average energy or the power factor of the mean, the weight
// text, the count and "metric" or "imperial"; later rows have 3 cells.
// TXT: the lines unchanged, one per file line. Numbers use
// DecimalSeparator(). A weight text that is no number counts as 0.
// Empty lines give an empty result (nothing to write).
QByteArray ShotsFileBytes(const std::vector<QString>& lines, const TShotsFileSettings& settings);

// CNV mode: energies come from the velocity cache (m/s) and the weight in
// grams instead of the list's velocity and the weight box.
struct TCnvEnergies {
    const std::vector<double>* MetresPerSecond = nullptr;  // null outside CNV mode
    double Grams = 0;
};

// The bytes of a CSV file saved from the shot list. The value lines are the
// lines that ShotLineValue accepts; the rest take no row and no number.
// Header as for ShotsFileBytes, two empty lines, then one row of 12 cells per
// value line: number from 1, velocity ("0.###"), energy or power factor; row 1
// carries the six statistics, the weight text, the number of value lines and
// the unit word, later rows nine empty cells. The six statistics are shown's
// texts when given (the labels describe the list; its Count is not used),
// else those of the values written, as the labels would show them. In CNV mode the energy of row n
// comes from the n-th cached velocity while the cache holds one, and so does
// a computed average energy.
QByteArray SavedCsvBytes(const QStringList& listLines, const TShotsFileSettings& settings,
                         const std::optional<TStatsTexts>& shown, const TCnvEnergies& cnv);

// The bytes of a TXT file saved from the shot list: the byte-order mark and
// the list's text exactly as given (its lines separated by CR LF).
QByteArray SavedTxtBytes(const QString& listText);
