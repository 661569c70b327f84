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

// Queues the message for the control's WndProc (a form's Dispatch) on the
// main thread, after the application's OnMessage hook. Safe from any
// thread; never blocks. Messages run in the order posted, also in order
// with TThread::Queue steps. Returns false when hwnd is null or no longer
// a live window control; a message still queued when its window is freed
// is dropped. An exception from the handler is shown, not thrown.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Dispatches the message at once through the control's WndProc (main thread
// only) and returns its result; exceptions reach the caller.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Window timers: WM_TIMER with wParam = id reaches hwnd's Dispatch every
// `ms` milliseconds (10 at least, as in the system) until KillTimer, which
// may be called from the timer's own tick. Setting an id again restarts it
// with the new interval. Main thread only; freeing the window kills its
// timers. KillTimer returns false for a timer that does not run.
bool SetTimer(HWND hwnd, WPARAM id, UINT ms);
bool KillTimer(HWND hwnd, WPARAM id);

// Key state as the class library reports it: negative while the key is down.
// Knows VK_SHIFT, VK_CONTROL, VK_MENU and the mouse buttons (1 left, 2 right,
// 4 middle), as the last key or mouse event the application saw left them
// (the system's state before any was seen or after the application was
// inactive); 0 for other keys.
short GetKeyState(int virtualKey);

// Locks drawing of one window (null releases), as LockWindowUpdate does:
// one window at a time, so locking a second one fails. Drawing resumes when
// neither this lock nor WM_SETREDRAW 0 holds it off.
bool LockWindowUpdate(HWND hwnd);
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
// Invalidates (and with RDW_UPDATENOW repaints at once) the window and its
// children. False for a null window.
bool RedrawWindow(HWND hwnd, UINT flags);
