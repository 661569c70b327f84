// Must not build as a core file.
#include "form/Form1.h"
