#pragma once

#include <optional>

#include <QString>

#include "platform/core/IniFile.h"
#include "storage/core/SettingsKeys.h"

// The program's settings file: its path, the default file, the start-up
// repair of older layouts and the readers of the key table.
//
// Every section and key is named through the key table in SettingsKeys.h;
// the functions here are the only ones that turn a table entry into a read
// or a write. The functions without a TIniFile parameter open their own on
// IniPath() and release it before they return, also when a read or write
// raises. A read sees every earlier write and every change made to the file
// by hand: TIniFile parses the file again whenever it has changed (see its
// contract). Main thread only. A refused write raises EIniFileException
// ("Unable to write to <path>"), which passes on to the caller; the values
// written before it stay in the file. While a TSettingsRefusals lives, the
// writes here raise nothing for a refusal and it keeps the first one.

// Which deliverable writes the file: Tarvex Serial leaves out the keys that
// belong to the Bluetooth LE link ([Settings] CheckBoxBTAuto and [BLE]).
enum class TIniVariant { Tarvex, TarvexSerial };

// The executable's path with its extension (from the last "." of the file
// name part) replaced by ".ini", or ".ini" appended when the name has no ".".
// Touches no file and cannot fail.
QString IniPath();

// True when a file (or a link to one) exists at IniPath().
bool SettingsFileExists();

// The value of a key-table entry with the entry's read default.
QString ReadSettingString(const TIniFile& ini, const TSettingKey& key);
int ReadSettingInteger(const TIniFile& ini, const TSettingKey& key);
bool ReadSettingBool(const TIniFile& ini, const TSettingKey& key);
// True when the entry's section holds its key, whatever its value.
bool SettingExists(const TIniFile& ini, const TSettingKey& key);

// Writes a value under the entry's section and key, in TIniFile's text for
// the type (the entry's write kind describes the default file only).
void WriteSettingString(TIniFile& ini, const TSettingKey& key, const QString& value);
void WriteSettingInteger(TIniFile& ini, const TSettingKey& key, int value);
void WriteSettingBool(TIniFile& ini, const TSettingKey& key, bool value);
// Removes the entry's key from its section; nothing is written when absent.
void DeleteSetting(TIniFile& ini, const TSettingKey& key);
// Removes every copy of the section; nothing is written when absent.
void DeleteSettingsSection(TIniFile& ini, const char* section);
// Writes the entry's default-file value with its write kind. NotWritten
// entries are not written.
void WriteSettingDefault(TIniFile& ini, const TSettingKey& key);

// Writes the whole default file, key by key in DefaultFileKeys order, when no
// file exists at IniPath() (a link counts by its target); does nothing when
// one exists.
void CreateDefaultIni(TIniVariant variant);

// Completes the sections TXTCSV, IMG and AUTOSAVE of an existing file and
// migrates the automatic-save count of older versions:
// - TXTCSV and IMG without Folder (or with Folder "__MISSING__") get all three
//   defaults; otherwise a FileName that is blank gets its default and INDEX
//   "001" when the key is absent. A present Folder, also an empty one, stays.
// - A missing [AUTOSAVE] AUT takes the integer of the first of [AUTOSHOT],
//   [TXTCSV] and [Settings] that holds AUT (0 when its text is no integer, 0
//   when none holds it), unclamped; the older keys stay.
// - A missing [AUTOSAVE] Folder becomes "./AUTOSAVE"; a blank FileName becomes
//   "Chrono_$", with INDEX "001" when absent.
// - With [AUTOSAVE] AUT above 0 the automatic-save folder is resolved and
//   created with its parents; a folder that cannot be created is not reported
//   here (the automatic save reports it when it writes).
// Keys it does not name are left as they are.
void RepairOutputSections();

// A write that the settings file refused, as a TSettingsRefusals kept it.
struct TSettingsRefusal {
    QString Message;  // "Unable to write to <full path> (<cause>)"
    int Error = 0;    // the errno of the refusal
};

// Writes that must not stop what goes on around them (the start-up's
// completions of the file, the choices saved on closing): while an object
// of this class lives, a write of the functions in this header that the
// settings file refuses (EIniFileException) raises nothing. The first
// refusal is kept and every later write is still tried, so the program
// goes on with the values it holds. An object made while another lives
// takes the refusals until it ends. Main thread only.
class TSettingsRefusals {
public:
    TSettingsRefusals();
    ~TSettingsRefusals();
    TSettingsRefusals(const TSettingsRefusals&) = delete;
    TSettingsRefusals& operator=(const TSettingsRefusals&) = delete;

    // The first refused write, if there was one.
    const std::optional<TSettingsRefusal>& First() const { return FFirst; }

private:
    friend void KeepSettingsRefusal(const EIniFileException& refusal);

    TSettingsRefusals* FOuter;
    std::optional<TSettingsRefusal> FFirst;
};

// Removes the temporary files that writers killed mid-write left (see
// RemoveStaleTemporaryFiles) from the settings file's folder and from the
// output folders of TXTCSV, IMG and AUTOSAVE as the file names them (a
// blank Folder standing for the section's default). Creates nothing, reads
// only the settings file and never throws.
void RemoveLeftoverTemporaryFiles();

// [Settings] TXT read as an integer (default 0) is not 0: true TXT, false CSV.
bool ReadTxtFormat();

// [Settings] Style: 1 when there is no settings file; otherwise the integer
// (default 1), and 0 for a value outside 0..4.
int ReadStyleIndex();

struct TChartSettings {
    int ChartType = 0;        // 0..2, else 0
    int ChartColor = 1;       // 0..2, else 1
    int ChartLineWidth = 1;   // below 1 gives 1, above 6 gives 6
    int ChartMarkerSize = 5;  // below 1 gives 5, above 12 gives 12
    int ChartBarWidth = 35;   // below 1 gives 35, above 95 gives 95
};
// The five chart keys of [Settings] with their defaults and clamps.
TChartSettings ReadChartSettings();

// [Settings] CNV is not 0; false when there is no settings file. Reads the
// file at every call (TSettingsSnapshot keeps it for the live shot path).
bool ReadCnvMode();

// The automatic-save count: AUT of the first of AUTOSAVE, AUTOSHOT and TXTCSV
// that holds the key (also empty), else [Settings] AUT; an integer with the
// default 0, clamped to 0..100000. Never raises: any failure gives 0.
int ReadAutoSaveCount();

// [Settings] MU: the Units box (metric) is ticked when (MU / 10) mod 10 is 1,
// the Mix box when MU mod 10 is 1 (division and remainder toward zero).
struct TUnitsSetting {
    bool Metric = true;
    bool Mix = false;
};
TUnitsSetting DecodeUnits(int mu);
// 10 when metric, plus 1 with Mix.
int EncodeUnits(bool metric, bool mix);
// Writes [Settings] MU as EncodeUnits gives it.
void SaveUnitsSetting(bool metric, bool mix);
