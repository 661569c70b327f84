#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/serial/PortList.h"
#include "PseudoTerminal.h"

namespace {

// A /dev and /sys pair in a temporary folder. Device nodes are real character
// devices (made with mknod, which needs root); nothing ever opens them.
class TFakeTree {
public:
    TFakeTree() {
        FRoots.Dev = FDir.filePath(QStringLiteral("dev"));
        FRoots.Sys = FDir.filePath(QStringLiteral("sys"));
        QDir().mkpath(FRoots.Dev);
        QDir().mkpath(FRoots.Sys + QStringLiteral("/class/tty"));
        QDir().mkpath(FRoots.Sys + QStringLiteral("/dev/char"));
    }

    const TPortRoots& Roots() const { return FRoots; }

    // A character device node; false when this system does not allow one.
    bool Node(const QString& name, unsigned devMajor, unsigned devMinor) {
        const QByteArray path = QFile::encodeName(FRoots.Dev + QLatin1Char('/') + name);
        return ::mknod(path.constData(), S_IFCHR | 0600, makedev(devMajor, devMinor)) == 0;
    }

    void PlainFile(const QString& name) {
        QFile file(FRoots.Dev + QLatin1Char('/') + name);
        file.open(QIODevice::WriteOnly);
    }

    // The kernel's view of a tty: a device behind it, and a UART type when given.
    void SysTty(const QString& name, const char* type = nullptr) {
        const QString dir = FRoots.Sys + QStringLiteral("/class/tty/") + name;
        QDir().mkpath(dir + QStringLiteral("/device"));
        if (!type) return;
        QFile file(dir + QStringLiteral("/type"));
        file.open(QIODevice::WriteOnly);
        file.write(type);
    }

    // Marks a device number as a tty, as /sys/dev/char does.
    void SysCharTty(unsigned devMajor, unsigned devMinor) {
        const QString dir =
            FRoots.Sys + QStringLiteral("/dev/char/%1:%2").arg(devMajor).arg(devMinor);
        QDir().mkpath(dir);
        QFile::link(FRoots.Sys + QStringLiteral("/class/tty"), dir + QStringLiteral("/subsystem"));
    }

private:
    QTemporaryDir FDir;
    TPortRoots FRoots;
};

constexpr unsigned UsbMajor = 188;
constexpr unsigned AcmMajor = 166;
constexpr unsigned UartMajor = 4;
constexpr unsigned AmaMajor = 204;
constexpr unsigned RfcommMajor = 216;
constexpr unsigned MemMajor = 1;

// A machine with a little of everything. Returns false when nodes cannot be made.
bool Populate(TFakeTree& tree) {
    struct Node {
        const char* Name;
        unsigned Major;
        unsigned Minor;
        bool InSys;
        const char* Type;
    };
    const Node nodes[] = {
        {"ttyUSB10", UsbMajor, 10, true, nullptr},
        {"ttyUSB2", UsbMajor, 2, true, nullptr},
        {"ttyUSB0", UsbMajor, 0, true, nullptr},
        {"ttyUSB3", UsbMajor, 3, false, nullptr},  // stale node, no device
        {"ttyACM0", AcmMajor, 0, true, nullptr},
        {"ttyS0", UartMajor, 64, true, "4\n"},
        {"ttyS1", UartMajor, 65, true, "0\n"},    // placeholder slot
        {"ttyS2", UartMajor, 66, true, nullptr},  // no type to tell
        {"ttyAMA0", AmaMajor, 64, true, "32\n"},
        {"rfcomm1", RfcommMajor, 1, false, nullptr},
        {"rfcomm0", RfcommMajor, 0, false, nullptr},
        {"tty0", UartMajor, 0, true, nullptr},   // a console, not a port
        {"ttyS1x", UartMajor, 67, true, "4\n"},  // not a port name
        {"null", MemMajor, 3, false, nullptr},
    };
    for (const Node& node : nodes) {
        const QString name = QString::fromLatin1(node.Name);
        if (!tree.Node(name, node.Major, node.Minor)) return false;
        if (node.InSys) tree.SysTty(name, node.Type);
    }
    tree.SysTty(QStringLiteral("ttyUSB4"));
    tree.PlainFile(QStringLiteral("ttyUSB4"));  // not a device node
    tree.PlainFile(QStringLiteral("rfcomm5"));
    tree.SysCharTty(UartMajor, 65);
    return true;
}

const QStringList Present = {
    QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB2"), QStringLiteral("ttyUSB10"),
    QStringLiteral("ttyACM0"), QStringLiteral("ttyS0"),   QStringLiteral("ttyAMA0"),
    QStringLiteral("rfcomm0"), QStringLiteral("rfcomm1"),
};

#define POPULATE_OR_SKIP(tree) \
    if (!Populate(tree)) GTEST_SKIP() << "mknod refused (errno " << errno << "); needs root"

}  // namespace

TEST(PortList, ListsPortsInNaturalOrderWithoutPlaceholders) {
    TFakeTree tree;
    POPULATE_OR_SKIP(tree);
    EXPECT_EQ(ListComPorts(QString(), tree.Roots()), Present);
}

TEST(PortList, AppendsConfiguredTerminalOnce) {
    TFakeTree tree;
    POPULATE_OR_SKIP(tree);
    TPseudoTerminal terminal;
    ASSERT_TRUE(terminal.IsValid());
    const QString pts = terminal.SlavePath();
    const QString dev = tree.Roots().Dev;

    struct Case {
        const char* Name;
        QString Configured;
        QString Appended;  // empty: nothing appended
    };
    const Case cases[] = {
        {"Nothing", QString(), QString()},
        {"Blank", QStringLiteral("  "), QString()},
        {"AlreadyListed", QStringLiteral("ttyUSB2"), QString()},
        {"ListedOtherCaseAndSpaces", QStringLiteral(" TTYUSB2 "), QString()},
        {"PseudoTerminalByPath", pts, pts},
        {"TrimmedAsWritten", QStringLiteral(" ") + pts + QStringLiteral(" "), pts},
        {"UnlistedTtyByName", QStringLiteral("ttyS1"), QStringLiteral("ttyS1")},
        {"UnlistedTtyByPath", dev + QStringLiteral("/ttyS1"), dev + QStringLiteral("/ttyS1")},
        {"NotATerminal", QStringLiteral("null"), QString()},
        {"PlainFile", QStringLiteral("rfcomm5"), QString()},
        {"Missing", QStringLiteral("COM3"), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        QStringList expected = Present;
        if (!c.Appended.isEmpty()) expected.append(c.Appended);
        EXPECT_EQ(ListComPorts(c.Configured, tree.Roots()), expected);
    }
}

TEST(PortList, MissingRootsListNothingFromThem) {
    TFakeTree tree;
    POPULATE_OR_SKIP(tree);
    TPseudoTerminal terminal;
    ASSERT_TRUE(terminal.IsValid());
    const QString nowhere = tree.Roots().Dev + QStringLiteral("/../nowhere");

    // Without /sys only the nodes that need nothing more remain.
    const TPortRoots noSys{tree.Roots().Dev, nowhere};
    EXPECT_EQ(ListComPorts(QString(), noSys),
              (QStringList{QStringLiteral("rfcomm0"), QStringLiteral("rfcomm1")}));

    const TPortRoots noDev{nowhere, tree.Roots().Sys};
    EXPECT_EQ(ListComPorts(QStringLiteral("ttyUSB0"), noDev), QStringList());
    // A pseudo-terminal named by its full path needs neither root.
    const TPortRoots none{nowhere, nowhere};
    EXPECT_EQ(ListComPorts(terminal.SlavePath(), none), QStringList{terminal.SlavePath()});
}

TEST(PortList, DevicePathOfAName) {
    struct Case {
        QString Name;
        QString DevRoot;
        QString Path;
    };
    const Case cases[] = {
        {QStringLiteral("ttyUSB0"), QStringLiteral("/dev"), QStringLiteral("/dev/ttyUSB0")},
        {QStringLiteral("pts/3"), QStringLiteral("/dev"), QStringLiteral("/dev/pts/3")},
        {QStringLiteral("/dev/pts/3"), QStringLiteral("/dev"), QStringLiteral("/dev/pts/3")},
        {QStringLiteral("/dev/serial/by-id/usb-x"), QStringLiteral("/tmp/dev"),
         QStringLiteral("/dev/serial/by-id/usb-x")},
        {QStringLiteral("ttyACM1"), QStringLiteral("/tmp/dev"), QStringLiteral("/tmp/dev/ttyACM1")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComPortDevicePath(c.Name, c.DevRoot), c.Path) << c.Name.toStdString();
    EXPECT_EQ(ComPortDevicePath(QStringLiteral("ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
}
