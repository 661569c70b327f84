#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "platform/core/Paths.h"
#include "support/CoreSupport.h"

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

    void WriteIni(const QByteArray& bytes) const { WriteTextFile(Ini(), bytes); }
    QByteArray ReadIni() const { return ReadFileBytes(Ini()); }
    // Folders beside the executable.
    QStringList ProgFolders() const {
        return QDir(Prog()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }

private:
    QTemporaryDir FRoot;
};
