#pragma once

#include <QString>

// The class library's Trim: text without its leading and trailing characters
// of code 32 or less (blanks and control characters; a no-break space stays).
QString TrimText(const QString& text);
