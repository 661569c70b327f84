#include "platform/core/StandardError.h"

#include <cstdio>

void PrintStandardError(const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

TRepeatedReport::~TRepeatedReport() {
    End();
}

void TRepeatedReport::Report(const QString& kind, const QString& text) {
    if (FCount > 0 && kind == FKind) {
        ++FCount;
        FLast = text;
        return;
    }
    End();
    PrintStandardError(text);
    FKind = kind;
    FLast = text;
    FCount = 1;
}

void TRepeatedReport::End() {
    // A single report was told in full already; a run says once how long
    // it lasted, so that a log shows both its start and its end.
    if (FCount > 1)
        PrintStandardError(QStringLiteral("%1 (%2 times in all)").arg(FLast).arg(FCount));
    FKind.clear();
    FLast.clear();
    FCount = 0;
}
