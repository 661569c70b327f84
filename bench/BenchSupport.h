#pragma once

// What every benchmark program sets up: the Qt and class-library
// application objects on the offscreen platform, the program's styles, and
// a settings file and Documents folder in a temporary folder, with message
// boxes printed instead of shown.
#include <cstdio>

#include <QApplication>
#include <QTemporaryDir>

#include "app/Style.h"
#include "form/Form1.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/Paths.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"

class TSilentDialogs : public IDialogs {
public:
    void ShowMessage(const QString& text) override {
        std::printf("message: %s\n", qPrintable(text));
    }
    void ShowError(const QString& text) override { std::printf("error: %s\n", qPrintable(text)); }
    bool ExecuteOpen(TFileDialogRequest&) override { return false; }
    bool ExecuteSave(TFileDialogRequest&) override { return false; }
};

class TBenchEnvironment {
public:
    TBenchEnvironment(int& argc, char** argv) : FQtApp(Offscreen(argc), argv) {
        RegisterProgramStyles();
        SetDialogs(&FDialogs);
        SetExecutablePathForTesting(FDir.filePath(QStringLiteral("tarvex")));
        SetDocumentsPathForTesting(FDir.filePath(QStringLiteral("Documents")));
        SetDecimalSeparatorForTesting(QLatin1Char('.'));
    }
    ~TBenchEnvironment() { SetDialogs(nullptr); }
    QString FilePath(const QString& name) const { return FDir.filePath(name); }

private:
    // Chooses the offscreen platform unless one is set, before Qt starts.
    static int& Offscreen(int& argc) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }
    QApplication FQtApp;
    TApplication FApplication;
    TSilentDialogs FDialogs;
    QTemporaryDir FDir;
};

// Creates and shows the main form as the program does, without the port
// auto-open that would reach for the machine. The application frees it.
inline TForm1* StartBenchForm() {
    auto* form = new TForm1(Application);
    Form1 = form;
    form->DoCreate();
    form->Show();
    KillTimer(form, TIMER_COM_AUTOOPEN);
    QCoreApplication::processEvents();
    return form;
}
