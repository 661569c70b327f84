#pragma once

// Closes the program-wide port handle when it is open (the read thread
// must have been joined).
void CloseComPortHandle();
