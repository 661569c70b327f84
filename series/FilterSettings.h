#pragma once

#include "series/core/Filter.h"

// Writes the missing keys of [FILTER] into an existing settings file; a key
// that exists, even empty, stays as it is. A refused write raises.
void EnsureFilterSection();

// The [FILTER] configuration: Filter (non-zero: Enabled), Velocity and Shots
// parsed as rules (a missing key gives no rule). A zero configuration without
// a settings file; not enabled and without rules when the file cannot be
// read. Never throws.
TFilterConfig LoadFilterConfig();
