// Process entry: start the run-time, run the main program, finish.
#include "rtl/for_rtl.h"

int main(int argc, char **argv) {
  int32_t count = argc;
  for_rtl_init_(&count, argv);
  MAIN__();
  return for_rtl_finish_();
}
