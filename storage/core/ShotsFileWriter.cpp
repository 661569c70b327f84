#include "storage/core/ShotsFileWriter.h"

#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"

namespace {

// The velocity cell ("0.###"). From about 1e62 on the picture writes more
// digits than a number may have to be read back (LOAD, CMP); the shortest
// exponent form reads back as the same value, and no decimal is lost at
// that size.
QString VelocityCell(double velocity) {
    const QString text = FormatFloat(QStringLiteral("0.###"), velocity);
    double back = 0;
    if (ParseDotDouble(text, back)) return text;
    return FloatToStrGeneral(velocity, 17);
}

const QString Tab = QStringLiteral("\t");

double WeightOrZero(const TShotsFileSettings& settings) {
    double weight = 0.0;
    return ParseDotDouble(settings.WeightText, weight) ? weight : 0.0;
}

QString UnitWord(const TShotsFileSettings& settings) {
    return settings.Units.Metric ? QStringLiteral("metric") : QStringLiteral("imperial");
}

QString HeaderLine(const TShotsFileSettings& settings) {
    return QStringList{QStringLiteral("Nr"),
                       QStringLiteral("V"),
                       settings.PowerFactorMode ? QStringLiteral("PF") : QStringLiteral("E"),
                       QStringLiteral("VAVG"),
                       QStringLiteral("VMAX"),
                       QStringLiteral("VMIN"),
                       QStringLiteral("dV"),
                       QStringLiteral("SV"),
                       settings.PowerFactorMode ? QStringLiteral("PAVG") : QStringLiteral("EAVG"),
                       QStringLiteral("Weight [ ") + settings.WeightUnit + QStringLiteral(" ]"),
                       QStringLiteral("Shots"),
                       QStringLiteral("Units")}
        .join(Tab);
}

// The third cell from the velocity as written and the box weight.
QString ThirdCell(double velocity, double weight, const TShotsFileSettings& settings) {
    if (settings.PowerFactorMode)
        return PowerFactorText(PowerFactor(velocity, weight, settings.Units),
                               settings.PowerFactorIpsc);
    return FormatFloat(QStringLiteral("0.00"), ShotEnergy(velocity, weight, settings.Units));
}

// Header, two empty lines, then one row per velocity; row 1 ends with the
// nine statistics cells, later rows with nine empty cells when padded.
QStringList CsvTable(const TShotsFileSettings& settings, const std::vector<double>& velocities,
                     const std::vector<QString>& thirdCells, const QStringList& statistics,
                     bool padRows) {
    QStringList out;
    out.reserve(qsizetype(velocities.size()) + 3);
    out << HeaderLine(settings) << QString() << QString();
    const QString padding = padRows ? QString(9, QLatin1Char('\t')) : QString();
    const QString firstRowEnd = Tab + statistics.join(Tab);
    for (std::size_t i = 0; i < velocities.size(); ++i) {
        QString row =
            QString::number(i + 1) + Tab + VelocityCell(velocities[i]) + Tab + thirdCells[i];
        row += i == 0 ? firstRowEnd : padding;
        out << row;
    }
    return out;
}

QByteArray LinesBytes(const QStringList& lines) {
    QByteArray bytes("\xEF\xBB\xBF");
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

// The statistics of the velocities as the labels show them: "0.0" for the
// velocities, the average energy ("0.00") or the power factor of the mean.
TStatsTexts StatisticsOf(const std::vector<double>& velocities, double weight,
                         const TShotsFileSettings& settings, const TCnvEnergies& cnv) {
    TShotStats stats;
    for (const double v : velocities) StatsAddWithSquare(stats, v);
    QString average;
    if (settings.PowerFactorMode)
        average = PowerFactorText(PowerFactor(stats.Mean, weight, settings.Units),
                                  settings.PowerFactorIpsc);
    else if (cnv.MetresPerSecond && !cnv.MetresPerSecond->empty())
        average =
            FormatFloat(QStringLiteral("0.00"),
                        CnvAverageEnergy(*cnv.MetresPerSecond, cnv.Grams, settings.Units.Metric));
    else
        average = FormatFloat(QStringLiteral("0.00"),
                              AverageEnergy(stats.SumSquares, stats.Count, weight, settings.Units));
    TStatsTexts texts = StatsTexts(stats);
    texts.AverageEnergy = average;
    return texts;
}

QStringList StatisticsCells(const TStatsTexts& shown, const TShotsFileSettings& settings,
                            std::size_t count) {
    return QStringList{shown.Average,       shown.Maximum,          shown.Minimum,
                       shown.Spread,        shown.Deviation,        shown.AverageEnergy,
                       settings.WeightText, QString::number(count), UnitWord(settings)};
}

}  // namespace

QByteArray ShotsFileBytes(const std::vector<QString>& lines, const TShotsFileSettings& settings) {
    if (lines.empty()) return {};
    if (settings.Txt) {
        QStringList text;
        text.reserve(qsizetype(lines.size()));
        for (const QString& line : lines) text << line;
        return LinesBytes(text);
    }

    const double weight = WeightOrZero(settings);
    std::vector<double> velocities;
    std::vector<QString> thirdCells;
    velocities.reserve(lines.size());
    thirdCells.reserve(lines.size());
    for (const QString& line : lines) {
        double v = 0.0;
        if (!ParseShotValue(line, v)) continue;
        velocities.push_back(v);
        thirdCells.push_back(ThirdCell(v, weight, settings));
    }
    const QStringList statistics = StatisticsCells(
        StatisticsOf(velocities, weight, settings, TCnvEnergies{}), settings, velocities.size());
    return LinesBytes(CsvTable(settings, velocities, thirdCells, statistics, false));
}

QByteArray SavedCsvBytes(const QStringList& listLines, const TShotsFileSettings& settings,
                         const std::optional<TStatsTexts>& shown, const TCnvEnergies& cnv) {
    const double weight = WeightOrZero(settings);
    std::vector<double> velocities;
    std::vector<QString> thirdCells;
    velocities.reserve(std::size_t(listLines.size()));
    thirdCells.reserve(std::size_t(listLines.size()));
    for (const QString& line : listLines) {
        double v = 0.0;
        if (!ShotLineValue(line, v)) continue;
        const std::size_t n = velocities.size();
        velocities.push_back(v);
        if (!settings.PowerFactorMode && cnv.MetresPerSecond && n < cnv.MetresPerSecond->size())
            thirdCells.push_back(FormatFloat(
                QStringLiteral("0.00"),
                CnvShotEnergy((*cnv.MetresPerSecond)[n], cnv.Grams, settings.Units.Metric)));
        else
            thirdCells.push_back(ThirdCell(v, weight, settings));
    }
    const QStringList statistics =
        StatisticsCells(shown ? *shown : StatisticsOf(velocities, weight, settings, cnv), settings,
                        velocities.size());
    return LinesBytes(CsvTable(settings, velocities, thirdCells, statistics, true));
}

QByteArray SavedTxtBytes(const QString& listText) {
    return QByteArray("\xEF\xBB\xBF") + listText.toUtf8();
}
