#pragma once

#include <QString>

// Writes text and a line end to the standard error as UTF-8 and flushes it,
// so a terminal or a session log sees the line at once. Any thread.
void PrintStandardError(const QString& text);
