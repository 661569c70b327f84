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

TComHandle ComHandle = INVALID_HANDLE_VALUE;

namespace {

// The largest chunk one pass reads; it also bounds how long the thread holds
// the queue's mutex.
constexpr std::ptrdiff_t ReadChunk = 4096;
// How long a pass waits when nothing could be read.
constexpr int IdleWaitMs = 10;

// Advanced by every stop of the read thread. A thread notes it when it
// starts; a loss it reports is acted on only while the number is unchanged,
// so a report still queued when its thread was stopped (by a user CLOSE or
// the form's end) never touches a port opened later or a form that is gone.
std::atomic<std::uint64_t> ReadThreadGeneration{0};

// Appends lines to the queue (the caller holds its mutex) and returns whether
// the caller must post the wake-up: only when they went into an empty queue.
// A queue that holds lines already has a wake-up on its way that has not yet
// taken them, and that one drain takes these too.
bool QueueLines(std::deque<QString>& queue, std::vector<std::wstring> lines,
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

}  // namespace

void CloseComPortHandle() {
    if (!ComHandle.IsValid()) return;
    SerialClose(ComHandle);
    ComHandle = INVALID_HANDLE_VALUE;
}

bool TForm1::OpenComPort(bool showMessages) {
    if (ComHandle.IsValid()) {
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
        ComHandle = SerialOpen(ComPortDevicePath(name));
    } catch (const ESysError& e) {
        ComHandle = INVALID_HANDLE_VALUE;
        if (showMessages) ShowMessage(e.Message());
        Button1->SetCaption(QStringLiteral("OPEN"));
        return false;
    }

    Button1->SetCaption(QStringLiteral("CLOSE"));
    Chart1->BottomAxis()->SetAutomatic(false);
    FAutoSaveLines.clear();
    FAutoSaveCount = 0;
    StartReadThread();
    {
        TIniFile ini(IniPath());
        WriteSettingString(ini, Setting::ComPort, name);
    }
    return true;
}

void TForm1::CloseComPort() {
    StopReadThread();
    CloseComPortHandle();
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
    if (!ComHandle.IsValid())
        OpenComPort(true);
    else
        CloseComPort();
}

void TForm1::StartReadThread() {
    if (FReadThread || !ComHandle.IsValid()) return;
    FReadThreadRunning.store(true);
    FReadThread = std::make_unique<std::thread>([this] { SerialReadThread(); });
}

void TForm1::StopReadThread() {
    FReadThreadRunning.store(false);
    ReadThreadGeneration.fetch_add(1);
    // The thread may be waiting for bytes; the cancel ends that wait at once.
    if (ComHandle.IsValid()) SerialCancel(ComHandle);
    if (FReadThread) {
        if (FReadThread->joinable()) FReadThread->join();
        FReadThread.reset();
    }
}

void TForm1::SerialReadThread() {
    const std::uint64_t generation = ReadThreadGeneration.load();
    TLineCutter cutter;
    std::array<char, ReadChunk> buffer{};
    TPortState state = TPortState::Open;

    while (FReadThreadRunning.load() && ComHandle.IsValid()) {
        const int waiting = SerialBytesWaiting(ComHandle);
        std::ptrdiff_t got = 0;
        if (waiting > 0)
            got =
                SerialRead(ComHandle, buffer.data(), std::min<std::ptrdiff_t>(waiting, ReadChunk));
        if (got <= 0) {
            if (SerialWait(ComHandle, IdleWaitMs) == TSerialWait::Lost &&
                state == TPortState::Open) {
                // An unplugged adapter: the main thread closes the port once,
                // as the user's CLOSE does. Lines already queued stay queued,
                // and the unfinished line is handed over when this thread stops.
                state = TPortState::Lost;
                TThread::Queue(nullptr, [this, generation] {
                    if (ReadThreadGeneration.load() == generation) CloseComPort();
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

    std::wstring rest = cutter.TakeUnfinished();
    if (rest.empty() || FDiscardInput.load()) return;
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
        std::vector<std::wstring> lines;
        lines.push_back(std::move(rest));
        post = QueueLines(FReceivedLines, std::move(lines), FDiscardInput);
    }
    if (post) PostMessage(this, WM_LINES_RECEIVED, 0, 0);
}
