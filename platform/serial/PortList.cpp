#include "platform/serial/PortList.h"

#include <algorithm>
#include <optional>
#include <tuple>
#include <vector>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/core/Files.h"

namespace {

enum class TProbe {
    SysDevice,  // a device in sysfs
    Uart,       // a device in sysfs with a real UART type
    NodeOnly    // the /dev node is all there is to see
};

struct TPortGroup {
    const char* Prefix;
    TProbe Probe;
};

// The list order of the groups: plug-in adapters first, as a device is most
// likely on one.
constexpr TPortGroup Groups[] = {
    {"ttyUSB", TProbe::SysDevice}, {"ttyACM", TProbe::SysDevice}, {"ttyS", TProbe::Uart},
    {"ttyAMA", TProbe::SysDevice}, {"rfcomm", TProbe::NodeOnly},
};

// Unix 98 pseudo-terminal slaves (/dev/pts/N) have no entry in sysfs.
constexpr unsigned PtsMajorFirst = 136;
constexpr unsigned PtsMajorLast = 143;

std::optional<struct stat> Stat(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return std::nullopt;
    return info;
}

bool IsCharDevice(const QString& path) {
    const auto info = Stat(path);
    return info && S_ISCHR(info->st_mode);
}

// The serial core gives each port a "type"; 0 (PORT_UNKNOWN) is a slot the
// driver reserved with no UART behind it.
std::optional<bool> HasUartType(const QString& sysTty) {
    QFile file(sysTty + QStringLiteral("/type"));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    bool ok = false;
    const int type = QString::fromLatin1(file.readAll()).trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
    return type != 0;
}

bool Present(const QString& name, TProbe probe, const TPortRoots& roots) {
    if (!IsCharDevice(roots.Dev + QLatin1Char('/') + name)) return false;
    if (probe == TProbe::NodeOnly) return true;
    const QString sysTty = roots.Sys + QStringLiteral("/class/tty/") + name;
    if (!FileExists(sysTty + QStringLiteral("/device"))) return false;
    const std::optional<bool> uart = HasUartType(sysTty);
    if (probe == TProbe::Uart) return uart.value_or(false);
    return uart.value_or(true);
}

// The digits after a group's prefix, or nothing when the name has other
// characters there ("ttyS0" yes, "ttyS0.lock" or "ttyS" no).
std::optional<qulonglong> PortNumber(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix) || name.size() == prefix.size()) return std::nullopt;
    const QStringView digits = QStringView(name).mid(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qulonglong number = digits.toULongLong(&ok);
    if (!ok) return std::nullopt;
    return number;
}

bool IsTerminal(const QString& path, const TPortRoots& roots) {
    const auto info = Stat(path);
    if (!info || !S_ISCHR(info->st_mode)) return false;
    const unsigned devMajor = major(info->st_rdev);
    if (devMajor >= PtsMajorFirst && devMajor <= PtsMajorLast) return true;
    const QString subsystem =
        roots.Sys +
        QStringLiteral("/dev/char/%1:%2/subsystem").arg(devMajor).arg(minor(info->st_rdev));
    return QFileInfo(subsystem).canonicalFilePath().endsWith(QStringLiteral("/class/tty"));
}

}  // namespace

QString ComPortDevicePath(const QString& name, const QString& devRoot) {
    if (QDir::isAbsolutePath(name)) return name;
    return devRoot + QLatin1Char('/') + name;
}

QStringList ListComPorts(const QString& configuredPort, const TPortRoots& roots) {
    struct TFound {
        int Group;
        qulonglong Number;
        QString Name;
    };
    std::vector<TFound> found;
    const QStringList entries =
        QDir(roots.Dev).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : entries) {
        for (int group = 0; group < int(std::size(Groups)); ++group) {
            const QString prefix = QString::fromLatin1(Groups[group].Prefix);
            const std::optional<qulonglong> number = PortNumber(name, prefix);
            if (!number) continue;
            if (Present(name, Groups[group].Probe, roots)) found.push_back({group, *number, name});
            break;
        }
    }
    // The name breaks ties of equal numbers ("ttyS01" beside "ttyS1"), so the
    // order never depends on the directory's.
    std::sort(found.begin(), found.end(), [](const TFound& a, const TFound& b) {
        return std::tie(a.Group, a.Number, a.Name) < std::tie(b.Group, b.Number, b.Name);
    });

    QStringList ports;
    for (const TFound& port : found) ports.append(port.Name);

    const QString configured = configuredPort.trimmed();
    if (!configured.isEmpty() && !ports.contains(configured, Qt::CaseInsensitive) &&
        IsTerminal(ComPortDevicePath(configured, roots.Dev), roots))
        ports.append(configured);
    return ports;
}
