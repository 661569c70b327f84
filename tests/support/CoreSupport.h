#pragma once

// Helpers for every test program, those of the pure cores included: header
// only and built on Qt Core and platform/core alone, so a core test program
// that links its core by itself can use them.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QChar>
#include <QFile>
#include <QString>

#include "platform/core/FormatFloat.h"

// Writes the bytes into a file, replacing it. Returns the path, or an empty
// path (failing the test) when the file cannot be written whole.
inline QString WriteTextFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(content) == content.size();
    EXPECT_TRUE(written) << "cannot write " << path.toStdString();
    return written ? path : QString();
}

// The bytes of a file, nothing when it cannot be read.
inline QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// The decimal separator the program sees for one scope; the system's again
// after it.
class TDecimalSeparatorScope {
public:
    explicit TDecimalSeparatorScope(QChar separator) { SetDecimalSeparatorForTesting(separator); }
    ~TDecimalSeparatorScope() { SetDecimalSeparatorForTesting(QChar()); }
    TDecimalSeparatorScope(const TDecimalSeparatorScope&) = delete;
    TDecimalSeparatorScope& operator=(const TDecimalSeparatorScope&) = delete;
};
