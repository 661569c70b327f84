#pragma once

// What the end-to-end tests share to run the real programs as processes: a
// copy of the executable in a fresh folder laid out as on a shooter's
// machine, its settings file beside it, a chronograph on a pseudo-terminal,
// and the waits with generous deadlines that the tests need.
#include <string>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <unistd.h>

#include "links/PseudoTerminal.h"
#include "support/CoreSupport.h"

// Generous: a sanitized build on a loaded machine starts slowly. No test
// waits this long when it passes.
constexpr int DeadlineMs = 120000;

// The programs of this build.
struct TProgram {
    const char* Name;
    const char* Path;
    bool Ble;  // the full program, with Bluetooth LE
};

inline const TProgram Programs[] = {
    {"tarvex", TARVEX_PROGRAM, true},
    {"tarvex-serial", TARVEX_SERIAL_PROGRAM, false},
};

// The test name of a program parameter: "Tarvex" or "TarvexSerial".
std::string ProgramTestName(const ::testing::TestParamInfo<TProgram>& info);

// Writes the bytes into a file, replacing it; false (and a failed
// expectation) when it cannot be written whole.
inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    return !WriteTextFile(path, bytes).isEmpty();
}

// Polls the condition until it holds (true) or the deadline passes (false).
template <class Condition>
bool WaitFor(Condition condition, int deadlineMs = DeadlineMs) {
    QDeadlineTimer deadline(deadlineMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        ::usleep(20000);
    }
    return true;
}

// Puts the terminal's master into packet mode, so that it learns when the
// program flushes the port's input, which the program does once while opening
// it: bytes sent before that would be thrown away, as a real port's stale
// bytes are. Returns false when the mode cannot be set.
bool WatchForFlush(const TPseudoTerminal& terminal);

// Waits until the process has opened the terminal's port and flushed its
// input (see WatchForFlush). False when the process ends first or the
// deadline passes.
bool WaitForPortOpen(const QProcess& process, const TPseudoTerminal& terminal,
                     int deadlineMs = DeadlineMs);

// True once the process catches the signal: from then on it turns the signal
// into an orderly close instead of dying of it.
bool Catches(const QProcess& process, int signal);

// Sends the signal and waits for the end: the program must end by itself,
// with status 0. Fails the test otherwise.
void EndWith(QProcess& process, int signal, int deadlineMs = DeadlineMs);

// Kills the process if it still runs and waits for it, so that no test leaves
// a program behind.
void KillIfRunning(QProcess& process);

// A value of a settings file, "<none>" when the key is missing.
QString Setting(const QString& iniFile, const char* section, const char* key);

// A fresh temporary folder holding Prog (the copy of the program and its
// settings file), Home, Cwd (the current folder) and Run (the runtime
// folder). Check Make() with ASSERT_NO_FATAL_FAILURE.
class TProgramFolder {
public:
    // Makes the folders and copies the program into Prog under `name`.
    void Make(const char* programPath, const char* name);

    // A path below the folder.
    QString Path(const QString& relative) const;
    // The copy of the program, and its settings file beside it.
    const QString& Exe() const { return FExe; }
    const QString& Ini() const { return FIni; }

    // The system's environment with the offscreen platform, the home,
    // configuration, data and runtime folders inside this folder, and no
    // simulated Bluetooth LE.
    QProcessEnvironment Environment() const;

    // Starts the copy with the environment in Cwd and waits until it runs.
    // The process's channels are set by the caller beforehand.
    void Start(QProcess& process, const QProcessEnvironment& environment) const;
    void Start(QProcess& process) const { Start(process, Environment()); }

private:
    QTemporaryDir FRoot;
    QString FExe;
    QString FIni;
};

// The fixture of a test run for each program (TProgram parameter): the copy
// of the program in its fresh folder and a chronograph on a pseudo-terminal
// that learns when the program flushes the port. The process, if it still
// runs, is killed when the test ends.
class ProgramTest : public ::testing::TestWithParam<TProgram> {
protected:
    void SetUp() override;
    void TearDown() override { KillIfRunning(FProcess); }

    // A path below the program's folder.
    QString Path(const char* relative) const { return FFolder.Path(QString::fromLatin1(relative)); }

    // A value of the program's settings file, "<none>" when the key is missing.
    QString Setting(const char* section, const char* key) const {
        return ::Setting(FIni, section, key);
    }

    TProgramFolder FFolder;
    TPseudoTerminal FTerminal;
    QProcess FProcess;
    QString FIni;  // the settings file beside the program
};
