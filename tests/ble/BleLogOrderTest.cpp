// Log lines and shots in the shot list in the order the device sent them.
#include "ble/BleFixture.h"
#include "series/core/Statistics.h"

using namespace ble_test;

class BleLogOrder : public BleFixture {
protected:
    void Linked() {
        FSetup.Devices = {Chronograph()};
        StartFormOffline();
        ConnectToLinked();
    }
};

TEST_F(BleLogOrder, ALogLineFollowsTheShotsSentBeforeIt) {
    Linked();
    // A shot, a notification that is not text, another shot, and a log
    // line right behind it: each one waits for the one before.
    Sim().Notify(0, Ffe1, "812.3\r\n");
    Sim().Notify(0, Ffe1, QByteArray("\x31\xFF\x0A", 3));
    Sim().Notify(0, Ffe1, "815.1\n");
    Sim().Notify(0, Ffe1, QByteArray(1, '\x12'));
    ASSERT_TRUE(WaitFor([&] { return Shots().size() >= 4; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(Shots(), (QStringList{"812.3", "LOG: 31 FF 0A", "815.1", "LOG: 12"}));
    EXPECT_EQ(int(ShownSeries().Stats().Count), 2);
    EXPECT_EQ(Form().CountNumericMemoLines(), 2);
}
