// Tarvex and Tarvex Serial on the same settings files and inputs: this
// program runs the shared scenarios against its own build's expectations.
#include "support/BuildComparisonTests.h"
