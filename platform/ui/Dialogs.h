#pragma once

#include <QString>

// Message boxes and file dialogs behind one interface, so that tests answer
// them without a person. The default shows real modal Qt dialogs (Qt's own
// file dialog, not the desktop's): the filter's pairs become Qt name
// filters ("*.*" matching every file), DefaultExt is added to a name typed
// without one, and a save dialog replaces an existing file without asking.

struct TFileDialogRequest {
    QString Title;
    QString Filter;      // "Text files (*.txt)|*.txt|All files (*.*)|*.*"
    QString DefaultExt;  // without the dot
    QString InitialDir;
    QString FileName;  // initial name; on success the chosen path
};

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // An information box with an OK button (ShowMessage).
    virtual void ShowMessage(const QString& text) = 0;
    // The box the application shows for an exception nobody handled.
    virtual void ShowError(const QString& text) = 0;
    // True with request.FileName set when the user chose a file.
    virtual bool ExecuteOpen(TFileDialogRequest& request) = 0;
    virtual bool ExecuteSave(TFileDialogRequest& request) = 0;
};

// The dialogs in use; never null.
IDialogs& Dialogs();
// Replaces the dialogs (tests); null restores the real ones. The caller
// keeps ownership.
void SetDialogs(IDialogs* dialogs);

// For a program that ends on a request from outside (SIGTERM, SIGINT), where
// nobody may be waited for: from this call on no box or file dialog is shown
// (ShowMessage and ShowError write their text as a line to the standard
// error, prefixed with the program's name; the file dialogs answer as if
// cancelled), also when SetDialogs replaced the dialogs, and every dialog
// open now is closed as if cancelled, so that the modal loops running them
// return. Call on the main thread; there is no way back.
void EndDialogsForTermination();
// True once EndDialogsForTermination has run.
bool DialogsEnded();

inline void ShowMessage(const QString& text) {
    Dialogs().ShowMessage(text);
}
