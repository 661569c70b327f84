// The drain of the received-line queue on the main thread.
#include <exception>
#include <limits>
#include <vector>

#include "form/Form1.h"
#include "platform/chart/Chart.h"
#include "platform/core/Exception.h"
#include "platform/core/ScopeGuard.h"
#if TARVEX_BLE
#include "links/ble/BleLink.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Lines taken under one lock; also the least one message handles, so a few
// lines are always taken in one go whatever the machine's speed.
constexpr std::size_t DrainStep = 64;
// How long one message works through a flood before it lets the event loop
// paint, take input and run CLEAR or the close: with the repaint that
// follows, one pass stays within two frames at 60 Hz, and the repaints take
// a small part of the time.
constexpr auto DrainBudget = std::chrono::milliseconds(12);

// text without its trailing characters of code 32 or less.
QString TrimmedRight(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).unicode() <= 0x20) --end;
    return text.left(end);
}

}  // namespace

void TForm1::DrainReceivedLines() {
    // The message comes again for what is left: one message is on its way
    // whenever lines wait, and producers post only into an empty queue.
    if (ProcessReceivedLines(Clock::now() + DrainBudget))
        PostMessage(this, WM_LINES_RECEIVED, 0, 0);
}

void TForm1::FinishReceivedLines() {
    ProcessReceivedLines(Clock::time_point::max());
}

bool TForm1::ProcessReceivedLines(Clock::time_point deadline) {
    std::vector<TReceivedLine> lines;
    lines.reserve(DrainStep);
    // While input is discarded the queue hands out nothing and empties.
    bool more = FReceivedLineQueue.Take(lines, DrainStep);
    if (lines.empty()) return more;

    // A line whose intake fails must not cost the lines after it: each line
    // is taken on its own, and the first failure is shown once, after the
    // batch, so a burst of bad lines never becomes a burst of boxes.
    std::exception_ptr firstFailure;
    {
        const bool batch = lines.size() >= 2;
        const bool savedBatchUpdate = BatchUpdate;
        const bool savedAutoRepaint = Chart1->AutoRepaint();
        // The flags are put back on every way out, also when taking more
        // lines fails.
        const TScopeGuard restore([&] {
            LiveInput = false;
            if (!batch) return;
            BatchUpdate = savedBatchUpdate;
            Chart1->SetAutoRepaint(savedAutoRepaint);
            // One repaint for the batch, when Qt next paints: it folds this
            // request into any other made before then.
            Chart1->Invalidate();
        });
        if (batch) {
            BatchUpdate = true;
            Chart1->SetAutoRepaint(false);
        }
        LiveInput = true;
        for (;;) {
            for (const TReceivedLine& line : lines) {
                try {
                    if (line.Log)
                        MemoAppendLine(Memo1, line.Text);
                    else
                        ProcessIncomingLine(line.Text);
                } catch (...) {
                    if (!firstFailure) firstFailure = std::current_exception();
                }
            }
            if (!more || Clock::now() >= deadline) break;
            more = FReceivedLineQueue.Take(lines, DrainStep);
        }
    }

    if (!firstFailure) return more;
    try {
        std::rethrow_exception(firstFailure);
    } catch (const Exception& e) {
        Application->ShowException(e);
    } catch (...) {
        Application->HandleException();
    }
    return more;
}

void TForm1::ResetReceive(bool discard, bool purge) {
    // The flag first: a line queued before the clear goes with it, and one
    // cut after it sees the flag.
    FReceivedLineQueue.SetDiscarding(discard);
    FReceivedLineQueue.Clear();
#if TARVEX_BLE
    if (FBleLink) FBleLink->ClearReceivedText();
#endif
    if (purge) FSerialLink.PurgeInput();
}

void TForm1::MemoAppendLine(TMemo* memo, const QString& line) {
    QString added = line;
    while (!added.isEmpty() &&
           (added.back() == QLatin1Char('\r') || added.back() == QLatin1Char('\n')))
        added.chop(1);
    TStrings* lines = memo->Lines();
    lines->BeginUpdate();
    const TScopeGuard updated([lines] { lines->EndUpdate(); });
    // The list's text loses its trailing blanks and control characters
    // before the line goes under it: trailing blank lines go, and the last
    // line left loses its trailing ones. Only the lines at the end are
    // touched, so a log line costs the same on a full list as on an empty one.
    int count = lines->Count();
    while (count > 0 && TrimmedRight(lines->Strings(count - 1)).isEmpty()) lines->Delete(--count);
    if (count > 0) {
        const QString last = lines->Strings(count - 1);
        const QString trimmed = TrimmedRight(last);
        if (trimmed != last) lines->Put(count - 1, trimmed);
    }
    // A line break inside the line starts a line of its own.
    TStringList parts;
    parts.SetText(added);
    for (int i = 0; i < parts.Count(); ++i) lines->Add(parts.Strings(i));
    while (lines->Count() > ShotListKept) lines->Delete(0);
    // A position past the end puts the caret at the end, without the cost of
    // joining the whole list to measure it.
    memo->SetSelStart(std::numeric_limits<int>::max());
    memo->SetSelLength(0);
    memo->Perform(EM_SCROLLCARET, 0, 0);
}
