// The JSON file of TARVEX_BLE_SIMULATION.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/ble/SimulatedBle.h"
#include "support/FormFixture.h"

namespace {

const QByteArray Example = R"({
  "adapter": true,
  "devices": [{
    "name": "kvrn", "address": "AA:BB:CC:DD:EE:FF", "rssi": -60,
    "connect": "ok",
    "services": [{"uuid": "0000ffe0-0000-1000-8000-00805f9b34fb",
      "characteristics": [{"uuid": "0000ffe1-0000-1000-8000-00805f9b34fb",
        "descriptors": ["00002902-0000-1000-8000-00805f9b34fb"]}]}],
    "subscribe": "ok",
    "notifications": [{"at_ms": 1000, "text": "812.3\r\n"}, {"at_ms": 1500, "hex": "31FF0A"}],
    "drop_at_ms": 20000
  }],
  "writes": "writes.log"
})";

}  // namespace

TEST(SimulationFile, TheExampleReadsWhole) {
    TSimAdapterSetup setup;
    QString error;
    ASSERT_TRUE(ParseSimulation(Example, "/data/sim", setup, error)) << error.toStdString();
    EXPECT_TRUE(setup.Adapter);
    EXPECT_EQ(setup.WritesFile, "/data/sim/writes.log");
    ASSERT_EQ(setup.Devices.size(), 1u);
    const TSimDeviceSetup& d = setup.Devices[0];
    EXPECT_EQ(d.Name, "kvrn");
    EXPECT_EQ(d.Address, "AA:BB:CC:DD:EE:FF");
    EXPECT_EQ(d.Rssi, -60);
    EXPECT_EQ(d.Connect, "ok");
    EXPECT_EQ(d.Subscribe, "ok");
    ASSERT_EQ(d.Services.size(), 1u);
    ASSERT_EQ(d.Services[0].Characteristics.size(), 1u);
    EXPECT_EQ(d.Services[0].Characteristics[0].Descriptors,
              QStringList{"00002902-0000-1000-8000-00805f9b34fb"});
    ASSERT_EQ(d.Notifications.size(), 2u);
    EXPECT_EQ(d.Notifications[0].AtMs, 1000);
    EXPECT_EQ(d.Notifications[0].Bytes, "812.3\r\n");
    EXPECT_EQ(d.Notifications[1].Bytes, QByteArray("\x31\xFF\x0A", 3));
    EXPECT_EQ(d.DropAtMs, 20000);
}

TEST(SimulationFile, FaultsNameTheirPlace) {
    struct TCase {
        QByteArray Json;
        const char* Mentions;
    } cases[] = {
        {"{\"devices\": [", "offset"},
        {"[1, 2]", "one JSON object"},
        {"{\"adapter\": \"yes\"}", "adapter"},
        {"{\"devices\": [{\"connect\": \"maybe\"}]}", "devices[0].connect"},
        {"{\"devices\": [{\"subscribe\": \"later\"}]}", "devices[0].subscribe"},
        {"{\"devices\": [{\"notifications\": [{\"at_ms\": 1, \"hex\": \"3G\"}]}]}", "hex"},
        {"{\"devices\": [{\"services\": [{\"uuid\": \"nope\"}]}]}", "uuid"},
    };
    for (const TCase& c : cases) {
        TSimAdapterSetup setup;
        QString error;
        EXPECT_FALSE(ParseSimulation(c.Json, "/x", setup, error)) << c.Json.constData();
        EXPECT_TRUE(error.contains(QLatin1String(c.Mentions))) << error.toStdString();
    }
}

// Numbers that no integer of the adapter can hold, or that would overflow
// the clock once added to it, are faulty keys like any other bad value; the
// edges of each range still read.
TEST(SimulationFile, NumbersOutOfRangeAreFaultyKeys) {
    const auto device = [](const QByteArray& fields) {
        return "{\"devices\": [{" + fields + "}]}";
    };
    const auto notification = [&](const QByteArray& atMs) {
        return device("\"notifications\": [{\"at_ms\": " + atMs + ", \"text\": \"1\\n\"}]");
    };
    struct TCase {
        QByteArray Json;
        const char* Mentions;
    } refused[] = {
        {device("\"rssi\": 1e300"), "devices[0].rssi"},
        {device("\"rssi\": -1e300"), "devices[0].rssi"},
        {device("\"rssi\": 4294967296"), "devices[0].rssi"},
        {device("\"rssi\": 128"), "devices[0].rssi"},
        {device("\"drop_at_ms\": 1e300"), "devices[0].drop_at_ms"},
        {device("\"drop_at_ms\": -1e300"), "devices[0].drop_at_ms"},
        {device("\"drop_at_ms\": 9.2e18"), "devices[0].drop_at_ms"},
        {notification("1e300"), "devices[0].notifications.at_ms"},
        {notification("9223372036854775807"), "devices[0].notifications.at_ms"},
        {notification("-1"), "devices[0].notifications.at_ms"},
    };
    for (const TCase& c : refused) {
        TSimAdapterSetup setup;
        QString error;
        EXPECT_FALSE(ParseSimulation(c.Json, "/x", setup, error)) << c.Json.constData();
        EXPECT_TRUE(error.contains(QLatin1String(c.Mentions))) << error.toStdString();
    }

    const QByteArray edges = "{\"devices\": [{\"rssi\": -128, \"drop_at_ms\": " +
                             QByteArray::number(qlonglong(SimScriptMsMax)) +
                             ", \"notifications\": [{\"at_ms\": 0, \"text\": \"a\"}, "
                             "{\"at_ms\": " +
                             QByteArray::number(qlonglong(SimScriptMsMax)) +
                             ", \"text\": \"b\"}]}, {\"rssi\": 127, \"drop_at_ms\": -1}]}";
    TSimAdapterSetup setup;
    QString error;
    ASSERT_TRUE(ParseSimulation(edges, "/x", setup, error)) << error.toStdString();
    ASSERT_EQ(setup.Devices.size(), 2u);
    EXPECT_EQ(setup.Devices[0].Rssi, -128);
    EXPECT_EQ(setup.Devices[0].DropAtMs, SimScriptMsMax);
    ASSERT_EQ(setup.Devices[0].Notifications.size(), 2u);
    EXPECT_EQ(setup.Devices[0].Notifications[1].AtMs, SimScriptMsMax);
    EXPECT_EQ(setup.Devices[1].Rssi, 127);
    EXPECT_EQ(setup.Devices[1].DropAtMs, -1);
}

TEST(SimulationFile, AFileThatCannotBeReadGivesNoAdapter) {
    QTemporaryDir dir;
    QString error;
    auto missing = LoadSimulationFile(dir.filePath("missing.json"), error);
    EXPECT_FALSE(missing->HasAdapter());
    EXPECT_TRUE(error.contains("missing.json")) << error.toStdString();

    const QString broken = WriteTextFile(dir.filePath("broken.json"), "{\"adapter\": tru");
    error.clear();
    auto bad = LoadSimulationFile(broken, error);
    EXPECT_FALSE(bad->HasAdapter());
    EXPECT_TRUE(error.contains("broken.json")) << error.toStdString();

    const QString good = WriteTextFile(dir.filePath("good.json"), Example);
    error.clear();
    auto ok = LoadSimulationFile(good, error);
    EXPECT_TRUE(ok->HasAdapter());
    EXPECT_TRUE(error.isEmpty());
}
