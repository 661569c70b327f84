// The queue of received lines and its drain on the main thread.
#include <deque>
#include <exception>

#include "form/Form1.h"
#include "links/SerialLink.h"
#include "platform/chart/Chart.h"
#include "platform/core/Exception.h"
#include "series/core/Statistics.h"

void TForm1::DrainReceivedLines() {
    std::deque<QString> lines;
    {
        // Held for the swap only: the reader never waits for line processing.
        std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
        lines.swap(FReceivedLines);
    }
    if (FDiscardInput.load()) return;

    const bool batch = lines.size() >= 2;
    const bool savedBatchUpdate = BatchUpdate;
    const bool savedAutoRepaint = Chart1->AutoRepaint();
    if (batch) {
        BatchUpdate = true;
        Chart1->SetAutoRepaint(false);
    }

    // A line whose intake fails must not cost the lines after it: each line
    // is taken on its own, and the first failure is shown once, after the
    // batch, so a burst of bad lines never becomes a burst of boxes.
    std::exception_ptr firstFailure;
    LiveInput = true;
    for (const QString& line : lines) {
        try {
            ProcessIncomingLine(line);
        } catch (...) {
            if (!firstFailure) firstFailure = std::current_exception();
        }
    }
    LiveInput = false;

    if (batch) {
        BatchUpdate = savedBatchUpdate;
        Chart1->SetAutoRepaint(savedAutoRepaint);
        Chart1->Invalidate();
        Chart1->Repaint();
    }

    if (!firstFailure) return;
    try {
        std::rethrow_exception(firstFailure);
    } catch (const Exception& e) {
        Application->ShowException(e);
    } catch (...) {
        Application->HandleException();
    }
}

void TForm1::ResetReceive(bool discard, bool purge) {
    FDiscardInput.store(discard);
    {
        std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
        FReceivedLines.clear();
    }
#if TARVEX_BLE
    FBleRxText.clear();
    FBleRxSkipping = false;
#endif
    if (purge && ComHandle.IsValid()) SerialPurge(ComHandle, TPurge::Input);
}
