#pragma once

// Shared helpers of the fuzz targets: cutting one input into fields, turning
// bytes into text, and reporting a broken property as a crash that libFuzzer
// keeps as a reproducer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <QString>
#include <QStringList>

namespace fuzz {

// The input cut at its NUL bytes into at most count fields; the last field
// keeps the rest, NULs included. Missing fields are empty.
inline std::vector<std::string_view> Fields(const std::uint8_t* data, std::size_t size,
                                            std::size_t count) {
    std::vector<std::string_view> fields;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (fields.size() + 1 < count) {
        const std::size_t nul = rest.find('\0');
        if (nul == std::string_view::npos) break;
        fields.push_back(rest.substr(0, nul));
        rest.remove_prefix(nul + 1);
    }
    fields.push_back(rest);
    fields.resize(count);
    return fields;
}

// Bytes as text: UTF-8 as a rule; a field that starts with 0xFE is the raw
// UTF-16 (little-endian) of the bytes after it, so unpaired surrogates and
// any other code unit can be reached too.
inline QString Text(std::string_view bytes) {
    if (!bytes.empty() && static_cast<unsigned char>(bytes.front()) == 0xFE) {
        bytes.remove_prefix(1);
        QString text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const auto low = static_cast<unsigned char>(bytes[i]);
            const auto high = static_cast<unsigned char>(bytes[i + 1]);
            text.append(QChar(char16_t(low | (high << 8))));
        }
        return text;
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Bytes widened one to one (0x80-0xFF become U+0080-U+00FF), as the serial
// link hands them over.
inline QString Latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Values as one text, "|" between them, for a report of a broken property.
inline QString Shown(const std::vector<QString>& texts) {
    return QStringList(texts.begin(), texts.end()).join(QLatin1Char('|'));
}

[[noreturn]] inline void Broken(const char* property, const QString& detail) {
    std::fprintf(stderr, "\nPROPERTY BROKEN: %s\n  %s\n", property, detail.toUtf8().constData());
    std::abort();
}

inline void Require(bool holds, const char* property, const QString& detail = QString()) {
    if (!holds) Broken(property, detail);
}

}  // namespace fuzz
