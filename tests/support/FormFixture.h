#pragma once

// A real main form on a settings file in a temporary folder, with message
// boxes and file dialogs answered by a recorder.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "RecordingDialogs.h"
#include "form/Form1.h"
#include "support/FormProbe.h"

// Puts the program-wide values back to their program-start state.
void ResetProgramWideValues();

// Runs the event loop until `done` holds or `seconds` pass.
bool WaitFor(const std::function<bool()>& done, int seconds = 10);

// Writes a text file (UTF-8) and returns its path.
QString WriteTextFile(const QString& path, const QByteArray& content);
QByteArray ReadFileBytes(const QString& path);

class FormFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The settings file the form will use.
    QString IniFilePath() const;
    // Constructs the form and runs FormCreate, as the application does.
    TForm1& StartForm();
    // Runs FormClose (as closing the window does) and frees the form.
    void CloseForm();
    TForm1& Form() { return *FForm; }

    QTemporaryDir FDir;
    RecordingDialogs FDialogs;
    TForm1* FForm = nullptr;
};
