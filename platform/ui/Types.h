#pragma once

#include <cstdint>
#include <functional>

// Basic types of the class-library stand-in.

using TColor = std::uint32_t;  // 0x00BBGGRR, as RGB() builds it

constexpr TColor RGB(int r, int g, int b) {
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c) {
    return int(c & 0xFF);
}
constexpr int GetGValue(TColor c) {
    return int((c >> 8) & 0xFF);
}
constexpr int GetBValue(TColor c) {
    return int((c >> 16) & 0xFF);
}

constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clMaroon = RGB(128, 0, 0);
constexpr TColor clGreen = RGB(0, 128, 0);
constexpr TColor clOlive = RGB(128, 128, 0);
constexpr TColor clNavy = RGB(0, 0, 128);
constexpr TColor clPurple = RGB(128, 0, 128);
constexpr TColor clTeal = RGB(0, 128, 128);
constexpr TColor clGray = RGB(128, 128, 128);
constexpr TColor clSilver = RGB(192, 192, 192);
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clLime = RGB(0, 255, 0);
constexpr TColor clYellow = RGB(255, 255, 0);
constexpr TColor clBlue = RGB(0, 0, 255);
constexpr TColor clFuchsia = RGB(255, 0, 255);
constexpr TColor clAqua = RGB(0, 255, 255);
constexpr TColor clWhite = RGB(255, 255, 255);
// System colours follow the active visual style.
constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT = unsigned int;
using WORD = unsigned short;

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Binds a member handler, as the form resource wires "OnClick = Button1Click".
template <class C>
TNotifyEvent Handler(C* object, void (C::*method)(TObject*)) {
    return [object, method](TObject* sender) { (object->*method)(sender); };
}

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TComboBoxStyle { csDropDown, csDropDownList };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TCursor { crDefault = 0, crHourGlass = -11 };

// Shift state of a key or mouse event.
struct TShiftState {
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
    bool Left = false;
    bool Right = false;
    bool Middle = false;
};

enum TMouseButton { mbLeft, mbRight, mbMiddle };

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

struct TPoint {
    int X = 0, Y = 0;
};
