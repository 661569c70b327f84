// The queue of received lines and its drain on the main thread.
#include "form/Form1.h"

void TForm1::DrainReceivedLines() {}

void TForm1::ResetReceive(bool discard, bool /*purge*/) {
    FDiscardInput.store(discard);
    std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
    FReceivedLines.clear();
}
