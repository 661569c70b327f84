#pragma once

// A real main form on a settings file in a temporary folder, with message
// boxes and file dialogs answered by a recorder.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "RecordingDialogs.h"
#include "support/CoreSupport.h"
#include "form/Form1.h"
#include "support/FormProbe.h"

// Runs the event loop until `done` holds or `seconds` pass.
bool WaitFor(const std::function<bool()>& done, int seconds = 10);

class FormFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The settings file the form will use.
    QString IniFilePath() const;
    // Constructs the form and runs FormCreate, as the application does.
    TForm1& StartForm();
    // StartForm with the start-up timers that would reach for the machine
    // stopped: the port auto-open and the Bluetooth LE auto-connect.
    TForm1& StartFormOffline();
    // Runs FormClose (as closing the window does), then closed (if given) on
    // the closed form, and frees the form.
    void CloseForm(const std::function<void(TForm1&)>& closed = {});
    TForm1& Form() { return *FForm; }

    // Lines through the line intake as the drain passes them, with
    // TForm1Probe::LiveInput(*Form1) set around the calls when `live`.
    void Feed(const QStringList& lines, bool live = true);
    // Replaces or empties the shot list as the program's own writes do
    // (FMemoUpdating set), so that the change handler leaves the velocity
    // cache, the chart and the statistics alone.
    void SetListQuietly(const QStringList& lines);
    void EmptyListQuietly();
    // The form's received-line queue.
    TReceivedLineQueue& LineQueue() { return TForm1Probe::FReceivedLineQueue(Form()); }
    // Puts lines on the received-line queue as a link does (dropped while
    // input is discarded; the queue posts WM_LINES_RECEIVED when they go
    // into it empty); only the event loop or a call drains them.
    void QueueReceived(const QStringList& lines);
    bool ReceivedQueueEmpty();
    // Queues lines and drains them, as the form does for WM_LINES_RECEIVED.
    void Receive(const QStringList& lines);

    // Tab from the shot list reaches these controls in this order (their
    // inner parts aside).
    void ExpectTabOrderFromShotList(const std::vector<TWinControl*>& expected);

    QStringList MemoLines() { return Form().Memo1->Lines()->ToStringList(); }
    // The status line under the command buttons.
    QString Status() { return Form().Label20->Caption(); }
    // A key of the settings file, "<none>" when it is missing.
    QString IniValue(const char* section, const char* key) const;
    void WriteIniValue(const char* section, const char* key, const QString& value) const;
    // The [FILTER] section of the settings file.
    void WriteFilter(const QString& filter, const QString& shots, const QString& velocity) const;

    QTemporaryDir FDir;
    RecordingDialogs FDialogs;
    TForm1* FForm = nullptr;
};
