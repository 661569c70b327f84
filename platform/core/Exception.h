#pragma once

#include <stdexcept>

#include <QString>

// The class library's exception family. Handlers that do not catch one let
// it reach the application's default handler, which shows Message() in a
// message box.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message) {}
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
};

// The system's description of an error number, in English whatever the
// locale ("Device or resource busy" for EBUSY); "Unknown error N" for a
// number the system does not know.
QString SystemErrorText(int error);

// " (<description>: <path>)", or " (<description>)" without a path: what a
// failure message adds after the text that names the failed operation, so
// that a shooter reads why and where. Empty for error 0 without a path.
QString SystemErrorCause(int error, const QString& path = QString());

// A failed system call: the call's name, the system error number and, where
// there is one, the path it worked on, turned into text in one place:
// "CreateFile error: 16 (Device or resource busy: /dev/ttyUSB0)".
class ESysError : public Exception {
public:
    ESysError(const QString& call, int error, const QString& path = QString())
        : Exception(call + QStringLiteral(" error: ") + QString::number(error) +
                    SystemErrorCause(error, path)),
          FCall(call),
          FError(error),
          FPath(path) {}
    const QString& Call() const { return FCall; }
    int Error() const { return FError; }
    const QString& Path() const { return FPath; }

private:
    QString FCall;
    int FError;
    QString FPath;
};
