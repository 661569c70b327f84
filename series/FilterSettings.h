#pragma once

#include "series/core/Filter.h"

// Writes the missing keys of [FILTER] into an existing settings file; a key
// that exists, even empty, stays as it is. A refused write raises.
void EnsureFilterSection();

// The [FILTER] configuration; a zero configuration without a settings file.
TFilterConfig LoadFilterConfig();
