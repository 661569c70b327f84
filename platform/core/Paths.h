#pragma once

#include <QString>

// Where the program finds itself and the user's folders. Tests point these
// at a temporary folder so that no test touches the real executable's
// settings file or the real Documents folder.

// Full path of the running executable (or the path set for testing).
QString ExecutablePath();
// The user's Documents folder (or the folder set for testing).
QString DocumentsPath();

// Empty text restores the real value.
void SetExecutablePathForTesting(const QString& path);
void SetDocumentsPathForTesting(const QString& path);
