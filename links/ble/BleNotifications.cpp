// Bluetooth LE notifications into received lines, and the log in the shot
// list.
#include "links/ble/BleLink.h"
#include "links/core/NotificationText.h"
#include "series/core/NumberText.h"

void TBleLink::QueueLine(TReceivedLine line) {
    // The same queue as the serial lines; it drops them while input is
    // discarded.
    FHost.QueueLine(std::move(line));
}

void TBleLink::Log(const QString& text) {
    // Every log line carries the marker, so no reader of the list can take
    // it for a value (a byte 0x12 logs "LOG: 12", never "12"). It queues
    // behind the lines received before it: appended at once, it would pass
    // a shot that is still waiting for the drain.
    QueueLine(TReceivedLine(QLatin1String(LogLinePrefix) + text, true));
}

void TBleLink::ClearReceivedText() {
    FRxCutter.Clear();
}

void TBleLink::ListUnfinishedLine() {
    // As on the serial link: the fragment is seen, never taken for a shot.
    // Trimmed as the finished lines are.
    const QString rest = QString::fromStdWString(FRxCutter.TakeUnfinished()).trimmed();
    if (rest.isEmpty() || FHost.Discarding()) return;
    Log(QStringLiteral("unfinished line: ") + rest);
}

void TBleLink::BluetoothLE1CharacteristicRead(TObject* /*Sender*/,
                                              TBluetoothGattCharacteristic* ACharacteristic,
                                              TBluetoothGattStatus AGattStatus) {
    if (!ACharacteristic || AGattStatus != TBluetoothGattStatus::Success ||
        !FNotifyCharacteristic ||
        !IsEqualGUID(ACharacteristic->UUID(), FNotifyCharacteristic->UUID()))
        return;
    if (FHost.Discarding()) {
        // Text received before the list was locked never joins a later line.
        FRxCutter.Clear();
        return;
    }
    const TBytes value = ACharacteristic->GetValue();
    if (value.isEmpty()) return;
    if (!IsTextNotification(value)) {
        Log(HexLine(value));
        return;
    }
    for (QString& line : NotificationLines(FRxCutter, value)) QueueLine(std::move(line));
}
