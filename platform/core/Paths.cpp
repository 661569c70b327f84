#include "platform/core/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString& ExecutableOverride() {
    static QString path;
    return path;
}
QString& DocumentsOverride() {
    static QString path;
    return path;
}
}  // namespace

QString ExecutablePath() {
    if (!ExecutableOverride().isEmpty()) return ExecutableOverride();
    QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty()) path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return path;
}

QString DocumentsPath() {
    if (!DocumentsOverride().isEmpty()) return DocumentsOverride();
    QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (path.isEmpty()) path = QDir::homePath();
    return path;
}

void SetExecutablePathForTesting(const QString& path) {
    ExecutableOverride() = path;
}
void SetDocumentsPathForTesting(const QString& path) {
    DocumentsOverride() = path;
}
