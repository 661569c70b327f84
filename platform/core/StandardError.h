#pragma once

#include <cstddef>

#include <QString>

// Writes text and a line end to the standard error as UTF-8 and flushes it,
// so a terminal or a session log sees the line at once. Any thread.
void PrintStandardError(const QString& text);

// Tells a run of one failure on the standard error once: the first report of
// a kind is printed, later reports of the same kind only counted, and when the
// run ends (End, a report of another kind, or destruction) a run of more than
// one report is told once more with the last report's text and the count:
// "<text> (<n> times in all)". A kind is any text the caller chooses (the
// message itself for "the same failure again"). Not thread-safe: one owner.
class TRepeatedReport {
public:
    TRepeatedReport() = default;
    TRepeatedReport(const TRepeatedReport&) = delete;
    TRepeatedReport& operator=(const TRepeatedReport&) = delete;
    ~TRepeatedReport();

    void Report(const QString& kind, const QString& text);
    void End();
    // Reports in the run going on (0 when none goes on).
    std::size_t Count() const { return FCount; }

private:
    QString FKind;
    QString FLast;
    std::size_t FCount = 0;
};
