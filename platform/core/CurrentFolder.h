#pragma once

#include <QDir>
#include <QString>

// Notes the process's current folder and makes it current again when the
// scope ends, however it ends; the file dialogs may change it meanwhile.
class TCurrentFolderKeeper {
public:
    TCurrentFolderKeeper() : FFolder(QDir::currentPath()) {}
    ~TCurrentFolderKeeper() {
        if (!FFolder.isEmpty()) QDir::setCurrent(FFolder);
    }
    TCurrentFolderKeeper(const TCurrentFolderKeeper&) = delete;
    TCurrentFolderKeeper& operator=(const TCurrentFolderKeeper&) = delete;

private:
    QString FFolder;
};
