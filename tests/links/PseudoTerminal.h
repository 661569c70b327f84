#pragma once

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>

#include "platform/core/Exception.h"
#include "platform/serial/SerialPort.h"

// A pseudo-terminal pair standing in for a chronograph on a serial adapter:
// the test writes at the master, the code under test opens the slave by path.
class TPseudoTerminal {
public:
    TPseudoTerminal() {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0) return;
        char name[128] = {};
        if (::ptsname_r(FMaster, name, sizeof name) == 0) FSlavePath = QString::fromLocal8Bit(name);
    }
    ~TPseudoTerminal() { CloseMaster(); }
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    bool IsValid() const { return FMaster >= 0 && !FSlavePath.isEmpty(); }
    int Master() const { return FMaster; }
    const QString& SlavePath() const { return FSlavePath; }

    // Whether a port still holds the slave: an exclusive open is refused.
    bool SlaveHeld() const {
        try {
            SerialClose(SerialOpen(FSlavePath));
        } catch (const ESysError& e) {
            return e.Error() == EBUSY;
        }
        return false;
    }

    // Sends bytes as the device would; true when all of them went out.
    bool Write(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(FMaster, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += n;
        }
        return true;
    }

    // The device side goes away: the slave is hung up, as on an unplugged adapter.
    void CloseMaster() {
        if (FMaster >= 0) ::close(FMaster);
        FMaster = -1;
    }

private:
    int FMaster = -1;
    QString FSlavePath;
};
