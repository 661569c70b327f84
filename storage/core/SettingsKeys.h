#pragma once

#include <array>

// Every section and key of the settings file, with its write kind, its value
// in the default file and the default its readers pass. The entries are in
// the order of the key table; DefaultFileKeys lists the ones written into a
// fresh file, in the order they are written.

inline constexpr const char* SectionSettings = "Settings";
inline constexpr const char* SectionBle = "BLE";
inline constexpr const char* SectionFilter = "FILTER";
inline constexpr const char* SectionTxtCsv = "TXTCSV";
inline constexpr const char* SectionImg = "IMG";
inline constexpr const char* SectionAutoSave = "AUTOSAVE";
// Older versions only; read as a source of [AUTOSAVE] AUT, never written.
inline constexpr const char* SectionAutoShot = "AUTOSHOT";

inline constexpr const char* KeyStyle = "Style";
inline constexpr const char* KeyTxt = "TXT";
inline constexpr const char* KeyMultiplier = "Multiplier";
inline constexpr const char* KeyMultiplierG = "MultiplierG";
inline constexpr const char* KeyCheckBoxScroll = "CheckBoxScroll";
inline constexpr const char* KeyComPort = "ComPort";
inline constexpr const char* KeyOpenCom = "OpenCom";
inline constexpr const char* KeyCheckBoxAuto = "CheckBoxAuto";
inline constexpr const char* KeyCheckBoxAuto50 = "CheckBoxAuto50";
inline constexpr const char* KeyCnv = "CNV";
inline constexpr const char* KeyLabel2DisplayFormat = "Label2DisplayFormat";
inline constexpr const char* KeyChartType = "ChartType";
inline constexpr const char* KeyChartColor = "ChartColor";
inline constexpr const char* KeyChartLineWidth = "ChartLineWidth";
inline constexpr const char* KeyChartMarkerSize = "ChartMarkerSize";
inline constexpr const char* KeyChartBarWidth = "ChartBarWidth";
inline constexpr const char* KeyCheckBoxBtAuto = "CheckBoxBTAuto";
inline constexpr const char* KeyMu = "MU";
inline constexpr const char* KeyFreq = "FREQ";
inline constexpr const char* KeyGate = "GATE";
inline constexpr const char* KeyA = "A";
inline constexpr const char* KeyAut = "AUT";
inline constexpr const char* KeyLast = "Last";
inline constexpr const char* KeyFilter = "Filter";
inline constexpr const char* KeyShots = "Shots";
inline constexpr const char* KeyVelocity = "Velocity";
inline constexpr const char* KeyFolder = "Folder";
inline constexpr const char* KeyFileName = "FileName";
inline constexpr const char* KeyIndex = "INDEX";

enum class TWriteKind {
    String,      // the text unchanged
    Integer,     // decimal text
    Bool,        // "1" or "0"
    Float,       // the settings file's float text ("1" for 1.0)
    NotWritten,  // only read, from files of older versions
};

struct TSettingKey {
    const char* Section;
    const char* Key;
    TWriteKind Kind;
    // Value in the default file, as text before the write kind formats it
    // (the Float "1.0" is written as "1"). Empty for NotWritten keys.
    const char* FileValue;
    // Default that readers pass when the key is absent: strings as they are,
    // integers and bools in decimal ("1" true, "0" false).
    const char* ReadDefault;
    // Written and read by Tarvex only; Tarvex Serial leaves the key out.
    bool TarvexOnly;
};

namespace Setting {
using enum TWriteKind;

// clang-format off
//                                                section          key                     kind        file value    read   Tarvex only
inline constexpr TSettingKey Style               {SectionSettings, KeyStyle,               Integer,    "1",          "1",   false};
inline constexpr TSettingKey Txt                 {SectionSettings, KeyTxt,                 Integer,    "0",          "0",   false};
inline constexpr TSettingKey Multiplier          {SectionSettings, KeyMultiplier,          Float,      "1.0",        "1.0", false};
inline constexpr TSettingKey MultiplierG         {SectionSettings, KeyMultiplierG,         String,     "1.0",        "",    false};
inline constexpr TSettingKey CheckBoxScroll      {SectionSettings, KeyCheckBoxScroll,      Bool,       "1",          "1",   false};
inline constexpr TSettingKey ComPort             {SectionSettings, KeyComPort,             String,     "",           "",    false};
inline constexpr TSettingKey OpenCom             {SectionSettings, KeyOpenCom,             String,     "",           "",    false};
inline constexpr TSettingKey CheckBoxAuto        {SectionSettings, KeyCheckBoxAuto,        Bool,       "0",          "0",   false};
inline constexpr TSettingKey CheckBoxAuto50      {SectionSettings, KeyCheckBoxAuto50,      Bool,       "0",          "0",   false};
inline constexpr TSettingKey Cnv                 {SectionSettings, KeyCnv,                 Integer,    "0",          "0",   false};
inline constexpr TSettingKey Label2DisplayFormat {SectionSettings, KeyLabel2DisplayFormat, String,     "0##",        "",    false};
inline constexpr TSettingKey ChartType           {SectionSettings, KeyChartType,           Integer,    "0",          "0",   false};
inline constexpr TSettingKey ChartColor          {SectionSettings, KeyChartColor,          Integer,    "1",          "1",   false};
inline constexpr TSettingKey ChartLineWidth      {SectionSettings, KeyChartLineWidth,      Integer,    "1",          "1",   false};
inline constexpr TSettingKey ChartMarkerSize     {SectionSettings, KeyChartMarkerSize,     Integer,    "5",          "5",   false};
inline constexpr TSettingKey ChartBarWidth       {SectionSettings, KeyChartBarWidth,       Integer,    "35",         "35",  false};
inline constexpr TSettingKey CheckBoxBtAuto      {SectionSettings, KeyCheckBoxBtAuto,      Bool,       "0",          "0",   true};
inline constexpr TSettingKey Mu                  {SectionSettings, KeyMu,                  Integer,    "10",         "10",  false};
// The counter keys are written as integers but read as texts with a unit.
inline constexpr TSettingKey Freq                {SectionSettings, KeyFreq,                Integer,    "0",          "",    false};
inline constexpr TSettingKey Gate                {SectionSettings, KeyGate,                Integer,    "0",          "",    false};
inline constexpr TSettingKey A                   {SectionSettings, KeyA,                   Integer,    "0",          "0",   false};
inline constexpr TSettingKey SettingsAut         {SectionSettings, KeyAut,                 NotWritten, "",           "0",   false};

inline constexpr TSettingKey BleLast             {SectionBle,      KeyLast,                String,     "",           "",    true};

inline constexpr TSettingKey Filter              {SectionFilter,   KeyFilter,              Integer,    "0",          "0",   false};
inline constexpr TSettingKey Shots               {SectionFilter,   KeyShots,               String,     "S(~)",       "",    false};
inline constexpr TSettingKey Velocity            {SectionFilter,   KeyVelocity,            String,     "V(~)",       "",    false};

inline constexpr TSettingKey TxtCsvFolder        {SectionTxtCsv,   KeyFolder,              String,     "./MYSHOTS",  "",    false};
inline constexpr TSettingKey TxtCsvFileName      {SectionTxtCsv,   KeyFileName,            String,     "Chrono_$",   "",    false};
inline constexpr TSettingKey TxtCsvIndex         {SectionTxtCsv,   KeyIndex,               String,     "001",        "",    false};
inline constexpr TSettingKey TxtCsvAut           {SectionTxtCsv,   KeyAut,                 NotWritten, "",           "0",   false};

inline constexpr TSettingKey ImgFolder           {SectionImg,      KeyFolder,              String,     "./IMG",      "",    false};
inline constexpr TSettingKey ImgFileName         {SectionImg,      KeyFileName,            String,     "Stat%_$",    "",    false};
inline constexpr TSettingKey ImgIndex            {SectionImg,      KeyIndex,               String,     "001",        "",    false};

inline constexpr TSettingKey AutoSaveAut         {SectionAutoSave, KeyAut,                 Integer,    "0",          "0",   false};
inline constexpr TSettingKey AutoSaveFolder      {SectionAutoSave, KeyFolder,              String,     "./AUTOSAVE", "",    false};
inline constexpr TSettingKey AutoSaveFileName    {SectionAutoSave, KeyFileName,            String,     "Chrono_$",   "",    false};
inline constexpr TSettingKey AutoSaveIndex       {SectionAutoSave, KeyIndex,               String,     "001",        "",    false};

inline constexpr TSettingKey AutoShotAut         {SectionAutoShot, KeyAut,                 NotWritten, "",           "0",   false};
// clang-format on
}  // namespace Setting

// The writes of a fresh settings file, in order: 35 for Tarvex, 33 for
// Tarvex Serial, which skips the TarvexOnly entries.
inline constexpr std::array<TSettingKey, 35> DefaultFileKeys{
    Setting::Style,
    Setting::Txt,
    Setting::Multiplier,
    Setting::MultiplierG,
    Setting::CheckBoxScroll,
    Setting::ComPort,
    Setting::OpenCom,
    Setting::CheckBoxAuto,
    Setting::CheckBoxAuto50,
    Setting::Cnv,
    Setting::Label2DisplayFormat,
    Setting::ChartType,
    Setting::ChartColor,
    Setting::ChartLineWidth,
    Setting::ChartMarkerSize,
    Setting::ChartBarWidth,
    Setting::CheckBoxBtAuto,
    Setting::Mu,
    Setting::Freq,
    Setting::Gate,
    Setting::A,
    Setting::BleLast,
    Setting::Filter,
    Setting::Shots,
    Setting::Velocity,
    Setting::TxtCsvFolder,
    Setting::TxtCsvFileName,
    Setting::TxtCsvIndex,
    Setting::ImgFolder,
    Setting::ImgFileName,
    Setting::ImgIndex,
    Setting::AutoSaveAut,
    Setting::AutoSaveFolder,
    Setting::AutoSaveFileName,
    Setting::AutoSaveIndex,
};

// Where automatic saving finds its count, in the order it looks; the first
// section that holds the key wins.
inline constexpr std::array<TSettingKey, 4> AutoSaveCountSources{
    Setting::AutoSaveAut, Setting::AutoShotAut, Setting::TxtCsvAut, Setting::SettingsAut};

// Clamps that readers of the key table apply.
inline constexpr int StyleIndexMax = 4;        // 0..4, else 0
inline constexpr int ChartTypeMax = 2;         // 0..2, else 0
inline constexpr int ChartColorMax = 2;        // 0..2, else 1
inline constexpr int ChartLineWidthMax = 6;    // below 1 gives 1, above gives the max
inline constexpr int ChartMarkerSizeMax = 12;  // below 1 gives 5, above gives the max
inline constexpr int ChartBarWidthMax = 95;    // below 1 gives the default, above the max
inline constexpr int ChartBarWidthDefault = 35;
inline constexpr int AutoSaveCountMax = 100000;
