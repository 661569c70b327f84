#pragma once

#include "platform/serial/SerialPort.h"

// The open serial port of the program; INVALID_HANDLE_VALUE while it is
// closed (its value at program start). Written only on the main thread and
// only while no read thread exists; the read thread reads it on every pass.
extern TComHandle ComHandle;

// Closes ComHandle when it is open and sets it to INVALID_HANDLE_VALUE. Call
// on the main thread after the read thread has been stopped and joined.
void CloseComPortHandle();
