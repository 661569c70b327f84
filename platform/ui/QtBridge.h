#pragma once

#include <QColor>
#include <QFont>

#include "platform/ui/Controls.h"

// Where the class-library-shaped types meet Qt's. For platform code and its
// tests only: the program's own code sees TColor, TFont and TShiftState and
// never the Qt types they stand for.

// The shift state of an input event.
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

// A colour as Qt draws it. System colours come from the application's
// palette (clBtnFace Window, clWindowText WindowText, clWindow Base); clNone
// is transparent and clDefault invalid.
QColor ColorToQColor(TColor color);

// The Qt font a TFont stands for: its name mapped to a family installed
// here, its height as the pixel size, its weight.
QFont ToQFont(const TFont& font);
