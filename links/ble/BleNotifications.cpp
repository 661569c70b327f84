// Bluetooth LE notifications into received lines, and the log in the shot
// list.
#include "form/Form1.h"
#include "links/core/NotificationText.h"
#include "platform/ui/Threads.h"
#include "series/core/NumberText.h"

void TForm1::Log(const QString& text) {
    // Every log line carries the marker, so no reader of the list can take
    // it for a value (a byte 0x12 logs "LOG: 12", never "12").
    const QString line = QLatin1String(LogLinePrefix) + text;
    std::shared_ptr<std::atomic<bool>> alive = FBleAlive;
    TForm1* form = this;
    TThread::Queue(nullptr, [alive, form, line] {
        if (!alive->load()) return;
        MemoAppendLine(form->Memo1, line);
    });
}

void TForm1::MemoAppendLine(TMemo* memo, const QString& line) {
    QString added = line;
    while (!added.isEmpty() &&
           (added.back() == QLatin1Char('\r') || added.back() == QLatin1Char('\n')))
        added.chop(1);
    TStrings* lines = memo->Lines();
    lines->BeginUpdate();
    try {
        QString text = memo->Text();
        int end = text.size();
        while (end > 0 && text[end - 1].unicode() <= 0x20) --end;
        text.truncate(end);
        if (!text.isEmpty()) text += QStringLiteral("\r\n");
        text += added;
        memo->SetText(text);
        while (lines->Count() > 10000) lines->Delete(0);
        memo->SetSelStart(memo->Text().size());
        memo->SetSelLength(0);
        memo->Perform(EM_SCROLLCARET, 0, 0);
    } catch (...) {
        lines->EndUpdate();
        throw;
    }
    lines->EndUpdate();
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
