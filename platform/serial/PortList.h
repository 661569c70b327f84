#pragma once

#include <QString>
#include <QStringList>

// Where the port probe looks. Tests point both at a fake tree.
struct TPortRoots {
    QString Dev = QStringLiteral("/dev");
    QString Sys = QStringLiteral("/sys");
};

// The serial ports present that a device can send through, named as under /dev
// ("ttyUSB0"). Nothing is opened (opening raises DTR, which resets some
// devices), so ports that are busy or denied to this user are listed too.
//
// Order: the groups ttyUSB, ttyACM, ttyS, ttyAMA, rfcomm, in that order; within
// a group by number (ttyUSB2 before ttyUSB10). A port is listed when its node
// under Dev is a character device and:
//   ttyUSB, ttyACM, ttyAMA: the kernel has a device behind it
//                          (Sys/class/tty/<name>/device);
//   ttyS:                   a real UART is behind it (Sys/class/tty/<name>/type
//                          exists and is not 0); on-board placeholders are not;
//   rfcomm:                 the node alone (a bound Bluetooth serial link has
//                          no device in Sys until it connects).
//
// `configuredPort` is the port the settings name (trimmed here). When it is
// not already listed under the same name (letter case ignored) and its device
// (see ComPortDevicePath) exists and is a terminal, it is appended last as
// written, so a pseudo-terminal or any other port can be used by naming it.
// Missing roots list nothing from them.
QStringList ListComPorts(const QString& configuredPort, const TPortRoots& roots = {});

// The device path of a port name: the name itself when it is an absolute path,
// otherwise devRoot + "/" + name ("ttyUSB0" -> "/dev/ttyUSB0").
QString ComPortDevicePath(const QString& name, const QString& devRoot = QStringLiteral("/dev"));
