// A program that only starts the run-time and stops.
#include "rtl/for_rtl.h"

extern "C" void MAIN__(void) { for_stop_core("", 0, FOR_OPTS_PROGRAM, 0, 0); }
