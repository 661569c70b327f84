#pragma once

#include "platform/ui/Types.h"

// Window messages, window timers and the main-thread queue.

class TWinControl;
using HWND = TWinControl*;

constexpr UINT WM_SETREDRAW = 0x000B;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_APP = 0x8000;
constexpr UINT EM_GETFIRSTVISIBLELINE = 0x00CE;
constexpr UINT EM_LINEINDEX = 0x00BB;
constexpr UINT EM_LINESCROLL = 0x00B6;
constexpr UINT EM_SCROLLCARET = 0x00B7;

constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_RESTORE = 0xF120;

constexpr WORD VK_SHIFT = 0x10;
constexpr WORD VK_CONTROL = 0x11;
constexpr WORD VK_MENU = 0x12;

// The message record handed to Dispatch.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// A queued message as the application's OnMessage hook sees it.
struct TMsg {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Queues the message for the control's Dispatch on the main thread.
// Safe from any thread; never blocks. Returns false when hwnd is null.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Dispatches the message at once (main thread only) and returns its result.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Window timers: WM_TIMER with wParam = id reaches hwnd's Dispatch every
// `ms` milliseconds until KillTimer. Setting an id again restarts it.
bool SetTimer(HWND hwnd, WPARAM id, UINT ms);
bool KillTimer(HWND hwnd, WPARAM id);

// Key state as the class library reports it: negative while the key is down.
short GetKeyState(int virtualKey);

// Locks drawing of one window (null releases), as LockWindowUpdate does.
bool LockWindowUpdate(HWND hwnd);
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
// Invalidates (and with RDW_UPDATENOW repaints at once) the window.
bool RedrawWindow(HWND hwnd, UINT flags);
