#pragma once

#include <QString>
#include <QStringList>

// The program's visual styles. The style comes from [Settings] Style; the
// user picks none inside the program, and the active one is saved on close.

// The five style names by index; index 1 is the default.
const QStringList& StyleNames();

// Makes the four styles of the program known to the style manager.
void RegisterProgramStyles();

// Applies the style saved in the settings file (index 1 without a file;
// an index outside 0..4 counts as 0), falling back to "Glow".
void ApplySavedStyle();

// The index (0..4) of the active style; a name not among 1..4 gives 0.
int ActiveStyleIndex();

// Writes the index (0 when above 4) to [Settings] Style.
void SaveStyleIndex(unsigned index);
