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

// A failed system call: the call's name and the system error number, turned
// into text in one place ("CreateFile error: 16").
class ESysError : public Exception {
public:
    ESysError(const QString& call, int error)
        : Exception(call + QStringLiteral(" error: ") + QString::number(error)),
          FCall(call),
          FError(error) {}
    const QString& Call() const { return FCall; }
    int Error() const { return FError; }

private:
    QString FCall;
    int FError;
};
