// The text of Bluetooth LE notifications: IsTextNotification, HexLine and
// NotificationLines on one TLineCutter, used as the link uses them (a
// notification that is not text is logged as hex and never cut into lines).
//
// Input: two bytes seeding the notification sizes, then the bytes the device
// sends, where 0x01 followed by k stands for (k + 1) x 40 bytes of '7' so that
// lines beyond the bound are within reach of short inputs (the stream is cut
// at four bounds).
// Properties: no line is longer than its bound, none is empty or holds LF or
// CR, none starts or ends with a blank or control character; what is pending
// stays within the bound; a notification is text exactly when all its bytes
// are TAB, LF, CR or printable ASCII, and the hex line of one that is not
// spells its bytes; the lines are those of the text notifications' bytes
// read as one stream, so the same bytes in any split give the same lines.
#include <string>
#include <vector>

#include <QByteArrayList>

#include "fuzz/FuzzSupport.h"
#include "links/core/NotificationText.h"

namespace {

// At most a few bounds long: longer streams find nothing new, only slower.
constexpr qsizetype MaxLine = qsizetype(TLineCutter::MaxLineLength);
constexpr qsizetype MaxStream = 4 * MaxLine;

QByteArray Stream(std::string_view bytes) {
    QByteArray stream;
    for (std::size_t i = 0; i < bytes.size() && stream.size() < MaxStream; ++i) {
        if (bytes[i] == '\x01' && i + 1 < bytes.size()) {
            stream.append(qsizetype((static_cast<unsigned char>(bytes[i + 1]) + 1u) * 40u), '7');
            ++i;
        } else {
            stream.append(bytes[i]);
        }
    }
    return stream;
}

bool TextByte(unsigned char b) {
    return b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b <= 0x7E);
}

bool Blank(QChar c) {
    return c.unicode() <= 0x20;
}

struct TReference {
    std::vector<QString> Lines;
    QString Pending;
    bool Skipping = false;
};

// LF, CR or CR LF end a line; a line of more than the bound is dropped
// whole; the rest is trimmed of blanks and control characters and kept
// unless empty.
TReference Reference(const QByteArray& text) {
    TReference result;
    QList<QByteArray> pieces{QByteArray()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char b = text[i];
        if (b == '\n' && i > 0 && text[i - 1] == '\r') continue;
        if (b == '\n' || b == '\r')
            pieces.append(QByteArray());
        else
            pieces.back().append(b);
    }
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        if (pieces[i].size() > MaxLine) continue;
        QString line = QString::fromLatin1(pieces[i]);
        while (!line.isEmpty() && Blank(line.front())) line.remove(0, 1);
        while (!line.isEmpty() && Blank(line.back())) line.chop(1);
        if (!line.isEmpty()) result.Lines.push_back(line);
    }
    const QByteArray& rest = pieces.back();
    if (rest.size() > MaxLine)
        result.Skipping = true;
    else
        result.Pending = QString::fromLatin1(rest);
    return result;
}

QString Pending(const TLineCutter& cutter) {
    return QString::fromStdWString(cutter.Unfinished());
}

void CheckLines(const std::vector<QString>& lines) {
    for (const QString& line : lines) {
        fuzz::Require(line.size() <= MaxLine, "no line above the bound",
                      QString::number(line.size()));
        fuzz::Require(!line.isEmpty(), "no empty line");
        fuzz::Require(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')),
                      "no line holds a line end", line);
        fuzz::Require(!Blank(line.front()) && !Blank(line.back()), "lines are trimmed", line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    unsigned seed = data[0] | (unsigned(data[1]) << 8);
    const QByteArray stream =
        Stream(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
    const unsigned largest = 1 + seed % 600;

    TLineCutter cutter;
    std::vector<QString> lines;
    QByteArray text;  // the bytes of the text notifications, in order
    for (qsizetype pos = 0; pos < stream.size();) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype n = std::min<qsizetype>(1 + (seed >> 8) % largest, stream.size() - pos);
        const QByteArray note = stream.mid(pos, n);
        pos += n;

        bool allText = true;
        for (const char b : note) allText = allText && TextByte(static_cast<unsigned char>(b));
        fuzz::Require(IsTextNotification(note) == allText, "text exactly when all bytes are",
                      QString::fromLatin1(note.toHex(' ')));
        if (!allText) {
            const QString hex = HexLine(note);
            fuzz::Require(hex == QString::fromLatin1(note.toHex(' ').toUpper()),
                          "the hex line spells the bytes", hex);
            continue;
        }
        text += note;
        const std::vector<QString> got = NotificationLines(cutter, note);
        CheckLines(got);
        fuzz::Require(qsizetype(cutter.PendingLength()) <= MaxLine, "pending within the bound",
                      QString::number(cutter.PendingLength()));
        lines.insert(lines.end(), got.begin(), got.end());
    }

    const TReference reference = Reference(text);
    const QString pending = Pending(cutter);
    fuzz::Require(lines == reference.Lines, "the lines are those of the text as one stream");
    fuzz::Require(reference.Skipping ? pending.isEmpty() : pending == reference.Pending,
                  "the rest is what follows the last line end");

    // The same bytes in one notification.
    TLineCutter whole;
    const std::vector<QString> wholeLines = NotificationLines(whole, text);
    fuzz::Require(wholeLines == lines, "any split gives the same lines");
    fuzz::Require(Pending(whole) == pending, "any split leaves the same rest");
    return 0;
}
