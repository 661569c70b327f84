#pragma once

#include <deque>
#include <vector>

#include <QString>
#include <QStringList>

#include "platform/ui/Dialogs.h"

// Dialogs that need no person: message boxes and error boxes are recorded,
// file dialogs are answered from a queue of prepared paths (false, as a
// cancelled dialog, when the queue is empty). While it exists it is the
// dialogs in use; the real ones come back when it is destroyed.
class RecordingDialogs : public IDialogs {
public:
    RecordingDialogs() { SetDialogs(this); }
    ~RecordingDialogs() override { SetDialogs(nullptr); }
    RecordingDialogs(const RecordingDialogs&) = delete;
    RecordingDialogs& operator=(const RecordingDialogs&) = delete;

    void ShowMessage(const QString& text) override { Messages.append(text); }
    void ShowError(const QString& text) override { Errors.append(text); }
    bool ExecuteOpen(TFileDialogRequest& request) override {
        OpenRequests.push_back(request);
        return Answer(request);
    }
    bool ExecuteSave(TFileDialogRequest& request) override {
        SaveRequests.push_back(request);
        return Answer(request);
    }

    // The next file dialog (open or save) chooses this path.
    void QueueFile(const QString& path) { Answers.push_back(path); }

    QStringList Messages;
    QStringList Errors;
    std::vector<TFileDialogRequest> OpenRequests;  // as the program filled them in
    std::vector<TFileDialogRequest> SaveRequests;
    std::deque<QString> Answers;

private:
    bool Answer(TFileDialogRequest& request) {
        if (Answers.empty()) return false;
        request.FileName = Answers.front();
        Answers.pop_front();
        return true;
    }
};
