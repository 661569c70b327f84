// The real dialogs: Qt message boxes and Qt's own (non-native) file dialogs.
#include "platform/ui/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

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

IDialogs* Replacement = nullptr;

}  // namespace

IDialogs& Dialogs() {
    static QtDialogs real;
    return Replacement ? *Replacement : real;
}

void SetDialogs(IDialogs* dialogs) {
    Replacement = dialogs;
}
