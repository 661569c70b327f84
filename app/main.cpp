// Program entry: the application object, the saved visual style, the one
// main form and the message loop.
#include <exception>

#include <QApplication>

#include "app/Style.h"
#include "form/Form1.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    TApplication application;
    RegisterProgramStyles();
    try {
        Application->Initialize();
        ApplySavedStyle();
        Application->MainFormOnTaskBar = true;
        Application->CreateForm(Form1);
        Application->Run();
    } catch (const Exception& e) {
        Application->ShowException(e);
    } catch (...) {
        try {
            throw Exception(QString());
        } catch (const Exception& e) {
            Application->ShowException(e);
        }
    }
    return 0;
}
