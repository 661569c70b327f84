// Bluetooth LE notifications into received lines, and the log in the shot
// list.
#include "form/Form1.h"
#include "links/core/NotificationText.h"
#include "series/core/NumberText.h"

void TForm1::Log(const QString& text) {
    // Every log line carries the marker, so no reader of the list can take
    // it for a value (a byte 0x12 logs "LOG: 12", never "12"). It queues
    // behind the lines received before it: appended at once, it would pass
    // a shot that is still waiting for the drain.
    QueueReceivedLine(TReceivedLine(QLatin1String(LogLinePrefix) + text, true));
}

void TForm1::BluetoothLE1CharacteristicRead(TObject* /*Sender*/,
                                            TBluetoothGattCharacteristic* ACharacteristic,
                                            TBluetoothGattStatus AGattStatus) {
    if (!ACharacteristic || AGattStatus != TBluetoothGattStatus::Success ||
        !FNotifyCharacteristic ||
        !IsEqualGUID(ACharacteristic->UUID(), FNotifyCharacteristic->UUID()))
        return;
    if (FDiscardInput.load()) {
        FBleRxText.clear();
        FBleRxSkipping = false;
        return;
    }
    const TBytes value = ACharacteristic->GetValue();
    if (value.isEmpty()) return;
    if (!IsTextNotification(value)) {
        Log(HexLine(value));
        return;
    }
    for (const QString& line : CutNotificationText(FBleRxText, FBleRxSkipping, value)) {
        if (FDiscardInput.load()) continue;
        std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
        FReceivedLines.push_back(line);
        PostMessage(this, WM_LINES_RECEIVED, 0, 0);
    }
}
