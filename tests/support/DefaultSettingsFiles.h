#pragma once

// The settings file each program writes at its first start, byte for byte.
// Header only and free of widgets: the settings core test and the build
// comparison of both programs hold the start-up to the same bytes.
#include <QByteArray>

// Tarvex's first-start file, key by key.
inline const QByteArray DefaultTarvexSettingsFile =
    "[Settings]\n"
    "Style=1\n"
    "TXT=0\n"
    "Multiplier=1\n"
    "MultiplierG=1.0\n"
    "CheckBoxScroll=1\n"
    "ComPort=\n"
    "OpenCom=\n"
    "CheckBoxAuto=0\n"
    "CheckBoxAuto50=0\n"
    "CNV=0\n"
    "Label2DisplayFormat=0##\n"
    "ChartType=0\n"
    "ChartColor=1\n"
    "ChartLineWidth=1\n"
    "ChartMarkerSize=5\n"
    "ChartBarWidth=35\n"
    "CheckBoxBTAuto=0\n"
    "MU=10\n"
    "FREQ=0\n"
    "GATE=0\n"
    "A=0\n"
    "[BLE]\n"
    "Last=\n"
    "[FILTER]\n"
    "Filter=0\n"
    "Shots=S(~)\n"
    "Velocity=V(~)\n"
    "[TXTCSV]\n"
    "Folder=./MYSHOTS\n"
    "FileName=Chrono_$\n"
    "INDEX=001\n"
    "[IMG]\n"
    "Folder=./IMG\n"
    "FileName=Stat%_$\n"
    "INDEX=001\n"
    "[AUTOSAVE]\n"
    "AUT=0\n"
    "Folder=./AUTOSAVE\n"
    "FileName=Chrono_$\n"
    "INDEX=001\n";

// Tarvex Serial's: the same without the Bluetooth LE box and section.
inline QByteArray DefaultSerialSettingsFile() {
    QByteArray text = DefaultTarvexSettingsFile;
    text.replace("CheckBoxBTAuto=0\n", "");
    text.replace("[BLE]\nLast=\n", "");
    return text;
}
