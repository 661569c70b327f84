#pragma once

// The BlueZ stand-in (bluez_standin.py beside this file) as the tests drive
// it: one per test program, on its own private system bus, started before
// the first test and ended after the last. It also ends by itself when the
// test program dies, since its standard input then closes.
#include <QProcess>
#include <QString>
#include <QStringList>

class TBlueZStandIn {
public:
    // Starts the stand-in; false (with the reason in Error) when it cannot.
    bool Start();
    void Stop();
    // The stand-in stops answering (SIGSTOP), as a bluetoothd that hangs
    // does; its bus goes on. Resume lets it go on (SIGCONT). No command may
    // be sent while it is paused.
    void Pause();
    void Resume();
    const QString& Address() const { return FAddress; }
    const QString& Error() const { return FError; }

    // Sends one command and waits for its answer; the answer's text after
    // "OK", or a test failure.
    QString Command(const QString& line);
    // The event lines printed so far (CONNECT, WRITE, START_NOTIFY, ...).
    QStringList Events();
    // Event lines that start with `prefix`.
    int Count(const QString& prefix);
    void ClearEvents();

private:
    void Read();

    QProcess FProcess;
    QString FAddress;
    QString FError;
    QStringList FEvents;
    QStringList FAnswers;
    QByteArray FPartial;
};

// The stand-in of this test program.
TBlueZStandIn& StandIn();
