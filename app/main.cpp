// Program entry: the application object, the saved visual style, the one
// main form and the message loop.
#include <cstdlib>

#include <QApplication>

#include "app/Style.h"
#include "form/Form1.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Signals.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    TApplication application;
    RegisterProgramStyles();
    // A logout, `kill` or Ctrl+C closes the window as the user would: the
    // close handler saves the settings and shuts the port, and the program
    // ends with status 0. Nobody is there to answer a box: one already open
    // is closed, and a failure of the close is reported on the standard
    // error instead.
    OnTerminationRequest([] {
        EndDialogsForTermination();
        RunGuarded([] {
            if (TForm* form = Application->MainForm())
                form->Close();
            else
                Application->Terminate();
        });
    });
    try {
        Application->Initialize();
        ApplySavedStyle();
        Application->MainFormOnTaskBar = true;
        Application->CreateForm(Form1);
        Application->Run();
    } catch (...) {
        // A start that failed, or a failure nothing handled on its way out
        // of the message loop: shown as any unhandled failure is, and told
        // to whoever started the program by the exit status.
        Application->HandleException();
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
