// The settings file when it has grown huge: about 50 MB, most of it the
// user's own lines, a million of them repeating one key. Times the first
// read (the file indexed), a read of the indexed file (what every shot
// does), a write that changes a key (what close and automatic saving do)
// and a read just after that write.
//
// Targets: first read under 500 ms, an indexed read under 0.1 ms, a write
// under 500 ms (the whole file goes to the disk), a read after a write
// under 100 ms. Prints the median of several runs against its target and
// ends with status 1 when one is missed by more than a factor of two.
// Run: build/bench/bench_SettingsFileBench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "BenchTargets.h"
#include "platform/core/IniFile.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Runs = 5;

QByteArray HugeFile() {
    QByteArray bytes = "[Settings]\r\nCNV=0\r\nMU=10\r\n[Notes]\r\n";
    bytes.reserve(52 << 20);
    for (int i = 0; bytes.size() < (50 << 20); ++i) {
        if (i % 1000 == 0) bytes += "; range day " + QByteArray::number(i) + "\r\n";
        bytes += "Shot=" + QByteArray::number(700 + i % 200) + ".5 m/s, 10 m, calm\r\n";
    }
    return bytes + "[AUTOSAVE]\r\nINDEX=001\r\n";
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::printf("cannot write %s\n", qPrintable(path));
}

template <class Prepare, class Run>
double MedianMs(Prepare&& prepare, Run&& run, int repeat = 1) {
    std::vector<double> samples;
    for (int i = 0; i < Runs; ++i) {
        prepare();
        const auto start = Clock::now();
        for (int r = 0; r < repeat; ++r) run();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count() /
                          repeat);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarvex.ini"));
    const QByteArray huge = HugeFile();
    std::printf("settings file: %.1f MB\n", huge.size() / 1048576.0);
    TBenchTargets targets;
    int sink = 0;

    // A file new to the program: read and indexed once.
    const double first = MedianMs([&] { Write(path, huge); },
                                  [&] { sink += TIniFile(path).ReadInteger("Settings", "MU", 0); });
    targets.AtMost("first read of the file", first, 500, "ms");

    // The file settled and indexed: each read looks up one line.
    Write(path, huge);
    ::sleep(3);
    TIniFile(path).ReadInteger("Settings", "MU", 0);
    const double indexed = MedianMs([] {},
                                    [&] {
                                        const TIniFile ini(path);
                                        sink += ini.ReadInteger("Settings", "CNV", 0);
                                        sink += ini.ReadInteger("AUTOSAVE", "AUT", 0);
                                        sink += ini.ValueExists("AUTOSHOT", "AUT") ? 1 : 0;
                                    },
                                    1000);
    targets.AtMost("three reads of the indexed file", indexed, 0.1, "ms");

    int index = 1;
    const double write = MedianMs(
        [] {}, [&] { TIniFile(path).WriteString("AUTOSAVE", "INDEX", QString::number(++index)); });
    targets.AtMost("write of one key", write, 500, "ms");

    const double afterWrite =
        MedianMs([&] { TIniFile(path).WriteString("AUTOSAVE", "INDEX", QString::number(++index)); },
                 [&] { sink += TIniFile(path).ReadInteger("Settings", "CNV", 0); });
    targets.AtMost("read just after a write", afterWrite, 100, "ms");

    std::printf("(%d)\n", sink);
    return targets.Finish();
}
