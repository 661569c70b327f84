#include "platform/core/Exception.h"

#include <cstring>

QString SystemErrorText(int error) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    // The plain description, never translated: the program's own texts are
    // English, and a message half in another language helps nobody.
    if (const char* text = ::strerrordesc_np(error)) return QString::fromUtf8(text);
    return QStringLiteral("Unknown error %1").arg(error);
#else
    return QString::fromLocal8Bit(std::strerror(error));
#endif
}

QString SystemErrorCause(int error, const QString& path) {
    if (error == 0) return path.isEmpty() ? QString() : QStringLiteral(" (") + path + u')';
    QString cause = QStringLiteral(" (") + SystemErrorText(error);
    if (!path.isEmpty()) cause += QStringLiteral(": ") + path;
    return cause + u')';
}
