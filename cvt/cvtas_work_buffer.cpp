/* The larger work buffer of the real-to-text entries. */
#include "cvt/cvtas_work_buffer.h"

#include <stdlib.h>

namespace {

cvtas_obtain_fn obtain_fn = malloc;
cvtas_release_fn release_fn = free;

}  // namespace

extern "C" void *cvtas__obtain_work(size_t bytes) { return obtain_fn(bytes); }

extern "C" void cvtas__release_work(void *block) { release_fn(block); }

extern "C" void cvtas__set_work_memory(cvtas_obtain_fn obtain, cvtas_release_fn release) {
  if (obtain == nullptr || release == nullptr) {
    obtain_fn = malloc;
    release_fn = free;
  } else {
    obtain_fn = obtain;
    release_fn = release;
  }
}
