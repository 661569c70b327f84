// Must not build as a core file.
#include "platform/chart/ChartGeometry.h"
