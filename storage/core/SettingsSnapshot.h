#pragma once

#include <QString>

#include "platform/core/IniFile.h"

// The settings that a live shot reads, typed, as the key table's readers
// give them.
struct TShotSettings {
    // [Settings] CNV is not 0; false when there is no settings file.
    bool CnvMode = false;
    // AUT of the first of AUTOSAVE, AUTOSHOT and TXTCSV that holds the key,
    // else [Settings] AUT; default 0, clamped to 0..100000.
    int AutoSaveCount = 0;
    // [AUTOSAVE] names its files by INDEX (PatternUsesIndex).
    bool AutoSaveIndexed = false;
};

// The shot settings in a settings file as last read.
TShotSettings ShotSettingsOf(const TIniFileSnapshot& file);

// The settings file as the live shot path reads it: the typed values of
// its last reading, refreshed when the file changes on disk, so that a shot
// opens no settings file while the file stays as it was and still sees a
// user's edit of AUT or CNV at once.
//
// Current() checks the file (TIniFileSnapshot::Refresh: one stat while it
// is unchanged) before it answers, except while a shot holds the snapshot:
// HoldForShot checks once and the reads of the shot answer from memory
// until the hold ends. Main thread only.
class TSettingsSnapshot {
public:
    // Touches no file: the first Current() or HoldForShot() reads it.
    explicit TSettingsSnapshot(const QString& iniPath);

    const TShotSettings& Current();

    // A shot's hold on the snapshot, released when it goes out of scope.
    class THold {
    public:
        explicit THold(TSettingsSnapshot& snapshot);
        ~THold();
        THold(const THold&) = delete;
        THold& operator=(const THold&) = delete;

    private:
        TSettingsSnapshot& FSnapshot;
    };
    [[nodiscard]] THold HoldForShot() { return THold(*this); }

private:
    void Check();

    TIniFileSnapshot FFile;
    TShotSettings FValues;
    int FHolds = 0;
};
