// Leaving the program other than by STOP: for_exit and the finish call.
#include <stdlib.h>

#include "rtl/for_rtl.h"
#include "rtl/for_state.h"

extern "C" void for_exit(const int32_t *status) {
  for__exit_handler(0, 0);
  exit(status ? *status : 0);
}

extern "C" int32_t for_rtl_finish_(void) {
  for__message_catalog_close();
  int32_t r = for__exit_handler(0, 0);
  for__disable_alt_stack();
  return r;
}
