// SCAN, CONNECT and closing the form at every step of a connect, through the
// Qt backend (run under the sanitizer build too): nothing crashes, nothing
// of the old attempt touches the new one, and the next CONNECT links.
#include "BlueZFixture.h"

using namespace bluez_test;

namespace {

enum class Step { Searching, Connecting, Pause, Subscribing, Linked };
enum class Press { Scan, Connect, Close };

struct Case {
    Step At;
    Press Action;
};

std::string Name(const ::testing::TestParamInfo<Case>& info) {
    static const char* steps[] = {"Searching", "Connecting", "Pause", "Subscribing", "Linked"};
    static const char* presses[] = {"Scan", "Connect", "Close"};
    return std::string(presses[int(info.param.Action)]) + "While" + steps[int(info.param.At)];
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (Step s : {Step::Searching, Step::Connecting, Step::Pause, Step::Subscribing, Step::Linked})
        for (Press p : {Press::Scan, Press::Connect, Press::Close}) cases.push_back({s, p});
    return cases;
}

}  // namespace

class BlueZPress : public BlueZFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(BlueZPress, LeavesALinkThatConnectsAgain) {
    const Case c = GetParam();
    AddChronograph();
    StartFormOffline();
    if (c.At == Step::Connecting)
        StandIn().Command(QStringLiteral("connect_mode %1 hang").arg(Kvrn));
    if (c.At == Step::Subscribing)
        StandIn().Command(QStringLiteral("notify_mode %1 hang").arg(Kvrn));
    switch (c.At) {
        case Step::Searching:
            PressConnect(QStringLiteral("KVRN"));
            break;
        case Step::Connecting:
            PressConnect(QStringLiteral("KVRN"));
            ASSERT_TRUE(WaitForEvents(QStringLiteral("CONNECT"), 1));
            break;
        case Step::Pause:
            PressConnect(QStringLiteral("KVRN"));
            ASSERT_TRUE(WaitForSubscribePause());
            break;
        case Step::Subscribing:
            PressConnect(QStringLiteral("KVRN"));
            ASSERT_TRUE(WaitForSubscribePause());
            FClock->Advance(300);
            ASSERT_TRUE(WaitForEvents(QStringLiteral("START_NOTIFY"), 1));
            break;
        case Step::Linked:
            ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
            break;
    }
    switch (c.Action) {
        case Press::Close:
            CloseForm();
            return;
        case Press::Scan:
            Form().SCAN->Click();
            break;
        case Press::Connect:
            PressConnect(QStringLiteral("KVRN"));
            break;
    }
    // The old attempt's pause and calls run out; none of it may land on
    // the link made next.
    FClock->Advance(300);
    StandIn().Command(QStringLiteral("connect_mode %1 ok").arg(Kvrn));
    StandIn().Command(QStringLiteral("notify_mode %1 ok").arg(Kvrn));
    if (Link().IsConnecting()) Fire(P::FConnTimeout(Form()));
    ASSERT_TRUE(WaitFor(
        [&] {
            return State() != TBleState::Searching && Lamp() != RGB(0, 0, 255) &&
                   State() != TBleState::Subscribing;
        },
        30))
        << BleStatus().toStdString();
    if (Link().IsConnecting()) Fire(P::FConnTimeout(Form()));
    ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
    Notify("7.5\n");
    ASSERT_TRUE(WaitFor([&] { return MemoLines().contains(QStringLiteral("7.5")); }));
}

INSTANTIATE_TEST_SUITE_P(AtEveryStep, BlueZPress, ::testing::ValuesIn(AllCases()), Name);
