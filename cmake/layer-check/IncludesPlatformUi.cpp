// Must not build as a core file.
#include "platform/ui/Controls.h"
