// The serial port and its read thread.
#include "links/SerialLink.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "form/Form1.h"
#include "links/core/LineCutter.h"
#include "platform/serial/PortList.h"
#include "platform/chart/Chart.h"
#include "platform/core/Exception.h"
#include "platform/core/IniFile.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Threads.h"
#include "series/core/NumberText.h"
#include "storage/ProgramSettings.h"

namespace {

// The largest chunk one pass reads; it also bounds how long the thread holds
// the queue's mutex.
constexpr std::ptrdiff_t ReadChunk = 4096;
// How long a pass waits when nothing could be read.
constexpr int IdleWaitMs = 10;

// Appends lines to the queue (the caller holds its mutex) and returns whether
// the caller must post the wake-up: only when they went into an empty queue.
// A queue that holds lines already has a wake-up on its way that has not yet
// taken them, and the drain goes on until the queue is empty.
bool QueueLines(std::deque<TReceivedLine>& queue, std::vector<std::wstring> lines,
                const std::atomic<bool>& discard) {
    const bool wasEmpty = queue.empty();
    bool queued = false;
    for (std::wstring& line : lines) {
        // Loaded for every line while the mutex is held: a ResetReceive that
        // cleared the queue has stored its flag before it took the mutex.
        if (discard.load()) continue;
        queue.push_back(QString::fromStdWString(line));
        queued = true;
    }
    return queued && wasEmpty;
}

// What the list shows for a line the device never finished (the port was
// closed or hung up in the middle of it): a log line, so that the cut
// fragment is seen but never taken for a shot.
QString UnfinishedLogLine(const std::wstring& fragment) {
    return QLatin1String(LogLinePrefix) + QStringLiteral("unfinished line: ") +
           QString::fromStdWString(fragment);
}

}  // namespace

TSerialLink::~TSerialLink() {
    Close();
}

void TSerialLink::Open(const QString& path) {
    if (FHandle.IsValid()) return;
    FHandle = SerialOpen(path);
}

void TSerialLink::Close() {
    StopReading();
    if (!FHandle.IsValid()) return;
    SerialClose(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
}

void TSerialLink::StartReading(TReadBody body) {
    if (FReadThread.joinable() || !FHandle.IsValid()) return;
    TSerialReaderTicket ticket(FStops, FStops->load());
    FReadThread = std::jthread(
        [body = std::move(body), ticket](std::stop_token stop) { body(stop, ticket); });
}

void TSerialLink::StopReading() {
    FStops->fetch_add(1);
    if (!FReadThread.joinable()) return;
    FReadThread.request_stop();
    // The thread may be waiting for bytes; the cancel ends that wait at once.
    SerialCancel(FHandle);
    FReadThread.join();
    FReadThread = std::jthread();
}

void TSerialLink::PurgeInput() {
    if (FHandle.IsValid()) SerialPurge(FHandle, TPurge::Input);
}

bool TForm1::OpenComPort(bool showMessages) {
    if (FSerialLink.IsOpen()) {
        Button1->SetCaption(QStringLiteral("CLOSE"));
        return true;
    }

    const QString name = TrimText(ComboBox1->Text());
    if (ComboBox1->ItemIndex() < 0 || name.isEmpty()) {
        if (showMessages) ShowMessage(QStringLiteral("Select port COM."));
        Button1->SetCaption(QStringLiteral("OPEN"));
        return false;
    }

    try {
        FSerialLink.Open(ComPortDevicePath(name));
    } catch (const ESysError& e) {
        if (showMessages) ShowMessage(e.Message());
        Button1->SetCaption(QStringLiteral("OPEN"));
        return false;
    }

    Button1->SetCaption(QStringLiteral("CLOSE"));
    Chart1->BottomAxis()->SetAutomatic(false);
    FAutoSaver.StartAfresh();
    StartReadThread();
    {
        TIniFile ini(IniPath());
        WriteSettingString(ini, Setting::ComPort, name);
    }
    return true;
}

void TForm1::CloseComPort() {
    FSerialLink.Close();
    Button1->SetCaption(QStringLiteral("OPEN"));
}

bool TForm1::SelectComPort(const QString& name) {
    const QString wanted = TrimText(name);
    if (wanted.isEmpty()) return false;
    const int index = ComboBox1->Items()->IndexOf(wanted);
    if (index < 0) return false;
    ComboBox1->SetItemIndex(index);
    return true;
}

void TForm1::AutoOpenComPort() {
    QString openCom;
    QString port;
    {
        TIniFile ini(IniPath());
        openCom = TrimText(ReadSettingString(ini, Setting::OpenCom));
        if (openCom.isEmpty() || openCom == QStringLiteral("0")) return;
        port = TrimText(ReadSettingString(ini, Setting::ComPort));
    }
    if (SelectComPort(port)) OpenComPort(false);
}

void TForm1::Button1Click(TObject* /*Sender*/) {
    if (!FSerialLink.IsOpen())
        OpenComPort(true);
    else
        CloseComPort();
}

void TForm1::StartReadThread() {
    FSerialLink.StartReading([this](std::stop_token stop, TSerialReaderTicket ticket) {
        SerialReadThread(stop, std::move(ticket));
    });
}

void TForm1::SerialReadThread(std::stop_token stop, TSerialReaderTicket ticket) {
    const TComHandle port = FSerialLink.Handle();
    TLineCutter cutter;
    std::array<char, ReadChunk> buffer{};
    TPortState state = TPortState::Open;

    while (!stop.stop_requested()) {
        // A full queue holds the reading back until the drain has worked it
        // down: the bytes wait in the driver and the device, not in memory.
        // Each byte ends at most one line, so reading no more bytes than
        // there is room for keeps the queue within its bound.
        std::size_t room = 0;
        {
            std::unique_lock<std::mutex> lock(FReceivedLinesMutex);
            if (FReceivedLines.size() >= ReceivedLinesBound)
                FReceivedLinesRoom.wait(
                    lock, stop, [this] { return FReceivedLines.size() <= ReceivedLinesResume; });
            if (stop.stop_requested()) break;
            room = ReceivedLinesBound - std::min(FReceivedLines.size(), ReceivedLinesBound - 1);
        }
        const int waiting = SerialBytesWaiting(port);
        std::ptrdiff_t got = 0;
        if (waiting > 0)
            got = SerialRead(port, buffer.data(),
                             std::min({std::ptrdiff_t(waiting), ReadChunk, std::ptrdiff_t(room)}));
        if (got <= 0) {
            if (SerialWait(port, IdleWaitMs) == TSerialWait::Lost && state == TPortState::Open) {
                // An unplugged adapter: the main thread closes the port once,
                // as the user's CLOSE does. Lines already queued stay queued,
                // and the unfinished line is handed over when this thread stops.
                // A report still queued when this thread was stopped (by a
                // user CLOSE or the form's end) finds its ticket stale and
                // never touches a port opened later or a form that is gone.
                state = TPortState::Lost;
                TThread::Queue(nullptr, [this, ticket] {
                    if (ticket.IsCurrent()) CloseComPort();
                });
            }
            continue;
        }
        if (FDiscardInput.load()) {
            cutter.Clear();
            continue;
        }
        bool post = false;
        {
            // The chunk is cut under the mutex, so a ResetReceive cannot fall
            // between cutting a line and deciding whether to keep it.
            std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
            post = QueueLines(FReceivedLines, cutter.Feed(buffer.data(), std::size_t(got)),
                              FDiscardInput);
        }
        if (post) PostMessage(this, WM_LINES_RECEIVED, 0, 0);
    }

    // The device never ended this line (a CLOSE, a hang-up or the program's
    // end cut it off): it is listed as a log line, never as a shot.
    std::wstring rest = cutter.TakeUnfinished();
    if (rest.empty() || FDiscardInput.load()) return;
    QueueReceivedLine(TReceivedLine(UnfinishedLogLine(rest), true));
}
