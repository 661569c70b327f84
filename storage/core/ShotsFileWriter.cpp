#include "storage/core/ShotsFileWriter.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QStringList>

#include "platform/core/Exception.h"
#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"

namespace {

const QString Tab = QStringLiteral("\t");

QString CellText(double velocity, double weight, const TShotsFileSettings& settings) {
    if (settings.PowerFactorMode)
        return PowerFactorText(PowerFactor(velocity, weight, settings.Units),
                               settings.PowerFactorIpsc);
    return FormatFloat(QStringLiteral("0.00"), ShotEnergy(velocity, weight, settings.Units));
}

QStringList CsvLines(const std::vector<QString>& lines, const TShotsFileSettings& settings) {
    double weight = 0.0;
    if (!ParseDotDouble(settings.WeightText, weight)) weight = 0.0;
    const QString unitWord =
        settings.Units.Metric ? QStringLiteral("metric") : QStringLiteral("imperial");

    std::vector<double> values;
    values.reserve(lines.size());
    TShotStats stats;
    for (const QString& line : lines) {
        double v = 0.0;
        if (!ParseDotDouble(line, v)) continue;
        values.push_back(v);
        StatsAdd(stats, v);
        stats.SumSquares += v * v;
    }

    QStringList out;
    out << QStringList{QStringLiteral("Nr"),
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
    out << QString() << QString();

    const QString oneDecimal = QStringLiteral("0.0");
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        QStringList cells{QString::number(i + 1), FormatFloat(QStringLiteral("0.###"), v),
                          CellText(v, weight, settings)};
        if (i == 0) {
            const QString average =
                settings.PowerFactorMode
                    ? PowerFactorText(PowerFactor(stats.Mean, weight, settings.Units),
                                      settings.PowerFactorIpsc)
                    : FormatFloat(QStringLiteral("0.00"),
                                  AverageEnergy(stats.SumSquares, stats.Count, weight,
                                                settings.Units));
            cells << FormatFloat(oneDecimal, stats.Mean) << FormatFloat(oneDecimal, stats.Max)
                  << FormatFloat(oneDecimal, stats.Min)
                  << FormatFloat(oneDecimal, stats.Max - stats.Min)
                  << FormatFloat(oneDecimal, StandardDeviation(stats)) << average
                  << settings.WeightText << QString::number(stats.Count) << unitWord;
        }
        out << cells.join(Tab);
    }
    return out;
}

}  // namespace

QByteArray ShotsFileBytes(const std::vector<QString>& lines, const TShotsFileSettings& settings) {
    if (lines.empty()) return {};
    QStringList text;
    if (settings.Txt)
        for (const QString& line : lines) text << line;
    else
        text = CsvLines(lines, settings);

    QByteArray bytes("\xEF\xBB\xBF");
    for (const QString& line : text) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

void WriteFileReplacing(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray part = target + ".part";
    const int fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw ESysError(QStringLiteral("open"), errno, path);

    // On any failure the partial file goes; the file it was to replace stays.
    const auto fail = [&](const char* call, int error, bool open) {
        if (open) ::close(fd);
        ::unlink(part.constData());
        throw ESysError(QString::fromLatin1(call), error, path);
    };
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("write", errno, true);
        }
        done += n;
    }
    if (::close(fd) != 0) fail("close", errno, false);
    if (::rename(part.constData(), target.constData()) != 0) fail("rename", errno, false);
}
