#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QString>

#include "platform/core/StandardError.h"
#include "storage/core/OutputNaming.h"

// The format of a shot file (storage/core/ShotsFileWriter.h).
struct TShotsFileSettings;

// What automatic saving reads of the settings file for a shot: all of it is
// read in TAutoSaver::ReadSettings, once per shot.
struct TAutoSaveSettings {
    int PerFile = 0;       // AUT: shots per file, 0..100000; below 1 saving is off
    bool Indexed = false;  // [AUTOSAVE] names its files by INDEX (FileNameUsesIndex)
};

// What the saver needs of the window that owns it.
struct TAutoSaverHost {
    // The format of a file written now: the save format, the weight and the
    // units as the window shows them.
    std::function<TShotsFileSettings()> FileSettings;
    // Shows a status text ("AUTO SAVE: Chrono_001.csv", "AUTO SAVE: error").
    std::function<void(const QString&)> ShowStatus;
    // Asks for one call of CatchUp once the events waiting now have been
    // handled (the window posts itself a message).
    std::function<void()> RequestCatchUp;
    // N and the mode of this shot as the settings say now; unset, the
    // settings file is read.
    std::function<TAutoSaveSettings()> ShotSettings;
};

// Automatic saving of live shots every N shots, into numbered files (each
// takes the next N shots, INDEX goes up by one per file) or into one fixed
// file rewritten with the whole history every N-th shot.
//
// The saver owns the buffer of shots (FAutoSaveLines), the list of the last
// LOAD (FLoadedLines) and the files that are due but not yet written: the
// full batches cut from the buffer and the pending rewrite of the fixed file.
// A batch is cut the moment the buffer holds N lines and from then on waits
// only for its file: starting the buffer afresh (CLEAR, LOAD, opening the
// port, CONNECT) drops the remainder that makes no batch and keeps every
// batch and rewrite that is due, so no shot of a full batch is lost however
// long the folder refuses files. Files are written oldest first, one per
// shot; the ones still waiting after that are written by CatchUp, a slice at
// a time between the window's events, and on closing.
//
// Names: a numbered file takes the first name from INDEX on that nothing
// holds on the disk, and the number after it is remembered, so a batch never
// looks again at the names it passed over, also when INDEX cannot be written.
// An existing file is never written over. INDEX is written after the files
// of a shot or a slice, so it advances in order; a file counts as saved once
// WriteNewFile has put it in place.
//
// Failures never reach the caller: the status shows "AUTO SAVE: error", the
// standard error tells a run of the same failure once and its count when it
// ends, and the file waits for the next chance. Main thread only.
class TAutoSaver {
public:
    explicit TAutoSaver(TAutoSaverHost host);
    TAutoSaver(const TAutoSaver&) = delete;
    TAutoSaver& operator=(const TAutoSaver&) = delete;

    // The settings one shot uses, read from the settings file; the one place
    // the saver reads AUT and the [AUTOSAVE] mode.
    TAutoSaveSettings ReadSettings() const;

    // Buffers a live shot's list text (trimmed; not a number: ignored) while
    // AUT is 1 or more, cuts a batch or marks the fixed file due every N
    // shots, writes the oldest due file and asks for a catch-up when more
    // wait.
    void AutoSaveOnShot(const QString& text);
    // Writes due files, oldest first, for about budget (at least one) and
    // asks for another call when more wait. A failure ends the slice; the
    // files wait for the next shot.
    void CatchUp(std::chrono::steady_clock::duration budget = CatchUpSlice);
    // On closing: writes every due file within about deadline; what could
    // not be written is told on the standard error with its number of shots.
    void AutoSaveOnClose(std::chrono::steady_clock::duration deadline = CloseDeadline);
    // Starts the buffer afresh: its lines that make no full batch go; due
    // files stay. With loaded given (LOAD; CLEAR gives none) it becomes
    // FLoadedLines.
    void StartAfresh(std::optional<std::vector<QString>> loaded = std::nullopt);

    // The shots buffered and not yet in a file of their own: the lines of the
    // batches waiting for their file and the buffer after them (numbered
    // files), or the history since the buffer was started (fixed file).
    std::vector<QString> BufferedLines() const;
    std::int32_t BufferedCount() const;
    const std::vector<QString>& LoadedLines() const { return FLoadedLines; }
    // Files due and not yet written.
    std::size_t WaitingFiles() const { return FWaiting.size(); }

    // How long one catch-up slice writes, and how long closing may write.
    static constexpr std::chrono::milliseconds CatchUpSlice{100};
    static constexpr std::chrono::milliseconds CloseDeadline{8000};

private:
    // A file that is due: a numbered batch, or a rewrite of the fixed file
    // (with the current history when CurrentHistory, else with Lines, the
    // history of a buffer started afresh since).
    struct TDueFile {
        bool Fixed = false;
        bool CurrentHistory = false;
        std::vector<QString> Lines;
        std::size_t Shots = 0;
    };
    // Where numbering goes on: the folder and pattern, the INDEX text the
    // settings file held (or was given) when the next free number was found,
    // and that number.
    struct TIndexMemory {
        QString Folder;
        QString Pattern;
        QString Seen;
        QString Next;
    };

    // FAutoSaveLines' size, at most the largest int32.
    std::int32_t FAutoSaveCount() const;
    // Puts the fixed file's rewrite with the current history among the due
    // files, in place of an earlier rewrite that has not been written.
    void QueueFixedRewrite();
    // Writes due files until maxFiles are written, the clock passes until or
    // one fails; INDEX follows at the end. False on a failure, which is shown,
    // told and kept in FLastFailure.
    bool WriteDueFiles(std::size_t maxFiles, std::chrono::steady_clock::time_point until);
    // Writes the front due file; returns its file name. Raises on failure.
    QString WriteFront(const TOutputTarget& target);
    QString WriteNumbered(const TDueFile& file, const TOutputTarget& target,
                          const QString& extension, const TShotsFileSettings& format);
    // The first number to try for the target as read now.
    QString FirstIndex(const TOutputTarget& target) const;
    // Writes the remembered next number as INDEX when it moved on.
    void AdvanceIndex();
    void Report(const QString& kind, const QString& text);

    TAutoSaverHost FHost;
    std::vector<QString> FAutoSaveLines;
    std::vector<QString> FLoadedLines;
    std::deque<TDueFile> FWaiting;
    std::optional<TIndexMemory> FIndex;
    bool FCatchUpAsked = false;
    TRepeatedReport FReports;
    bool FReportedNow = false;  // the current write told something
    QString FLastFailure;
};
