// The real dialogs: Qt message boxes and Qt's own (non-native) file dialogs.
#include "platform/ui/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "platform/core/StandardError.h"

namespace {

QString Title() {
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Tarvex") : name;
}

// "desc|pattern|desc|pattern" becomes Qt's "desc (patterns)" entries:
// patterns are separated by blanks instead of ';', and "*.*", which means
// every file to the system, becomes "*".
QStringList NameFilters(const QString& filter) {
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
        }
        QString label = parts.at(i).trimmed();
        // A description that already shows its patterns in brackets keeps
        // its words; Qt reads the patterns from the bracket at the end.
        if (label.endsWith(QLatin1Char(')'))) {
            const int open = label.lastIndexOf(QLatin1Char('('));
            if (open >= 0) label = label.left(open).trimmed();
        }
        result.append(label + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

bool RunFileDialog(TFileDialogRequest& request, bool save) {
    QFileDialog dialog(QApplication::activeWindow(), request.Title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The program replaces an existing file without asking.
    if (save) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = NameFilters(request.Filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.DefaultExt.isEmpty()) dialog.setDefaultSuffix(request.DefaultExt);
    if (!request.InitialDir.isEmpty()) dialog.setDirectory(request.InitialDir);
    if (!request.FileName.isEmpty()) {
        const QFileInfo name(request.FileName);
        dialog.selectFile(name.isAbsolute() || request.InitialDir.isEmpty()
                              ? request.FileName
                              : QDir(request.InitialDir).filePath(request.FileName));
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    request.FileName = QDir::toNativeSeparators(chosen.first());
    return true;
}

class QtDialogs : public IDialogs {
public:
    void ShowMessage(const QString& text) override {
        QMessageBox::information(QApplication::activeWindow(), Title(), text);
    }
    void ShowError(const QString& text) override {
        QMessageBox::critical(QApplication::activeWindow(), Title(), text);
    }
    bool ExecuteOpen(TFileDialogRequest& request) override { return RunFileDialog(request, false); }
    bool ExecuteSave(TFileDialogRequest& request) override { return RunFileDialog(request, true); }
};

// While the program ends on a signal: nothing waits for a person. The text
// goes where the terminal or the session's log sees it.
class ConsoleDialogs : public IDialogs {
public:
    void ShowMessage(const QString& text) override { Print(text); }
    void ShowError(const QString& text) override { Print(text); }
    bool ExecuteOpen(TFileDialogRequest&) override { return false; }
    bool ExecuteSave(TFileDialogRequest&) override { return false; }

private:
    static void Print(const QString& text) {
        QString name = QCoreApplication::applicationName();
        if (name.isEmpty()) name = QStringLiteral("tarvex");
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        PrintStandardError(name + QStringLiteral(": ") + line);
    }
};

IDialogs* Replacement = nullptr;
bool Ended = false;

}  // namespace

IDialogs& Dialogs() {
    static QtDialogs real;
    static ConsoleDialogs console;
    if (Ended) return console;
    return Replacement ? *Replacement : real;
}

void EndDialogsForTermination() {
    Ended = true;
    // Message boxes and file dialogs are all QDialogs; done() ends the
    // modal loop of each once control returns to it, the innermost first.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible()) dialog->done(QDialog::Rejected);
    }
}

bool DialogsEnded() {
    return Ended;
}

void SetDialogs(IDialogs* dialogs) {
    Replacement = dialogs;
}
