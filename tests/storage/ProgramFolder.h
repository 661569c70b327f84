#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "platform/core/Paths.h"

// A temporary program folder: the executable is <root>/Prog/tarvex, so the
// settings file is <root>/Prog/tarvex.ini, and the Documents folder is
// <root>/Docs/ (not created). Restores the real paths when it goes.
class TProgramFolder {
public:
    TProgramFolder() {
        QDir(FRoot.path()).mkdir(QStringLiteral("Prog"));
        SetExecutablePathForTesting(Prog() + QStringLiteral("tarvex"));
        SetDocumentsPathForTesting(Docs());
    }
    ~TProgramFolder() {
        SetExecutablePathForTesting({});
        SetDocumentsPathForTesting({});
    }
    TProgramFolder(const TProgramFolder&) = delete;
    TProgramFolder& operator=(const TProgramFolder&) = delete;

    QString Root() const { return FRoot.path() + u'/'; }
    QString Prog() const { return Root() + QStringLiteral("Prog/"); }
    QString Docs() const { return Root() + QStringLiteral("Docs/"); }
    QString Ini() const { return Prog() + QStringLiteral("tarvex.ini"); }

    void WriteIni(const QByteArray& bytes) const {
        QFile file(Ini());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
    }
    QByteArray ReadIni() const {
        QFile file(Ini());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Folders beside the executable.
    QStringList ProgFolders() const {
        return QDir(Prog()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }

private:
    QTemporaryDir FRoot;
};
