// Run-time start-up: captured command line, signal handlers, standard units
// and default I/O sizes; the once-guards and the reentrancy mode.
#include <pthread.h>
#include <stdlib.h>
#include <sys/time.h>

#include "rtl/for_lub.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"

for_rtl_state for__rtl = {};

namespace {

pthread_mutex_t semaphore = PTHREAD_MUTEX_INITIALIZER;
bool guard_flag = false;
bool guard_locked = false;
bool reentrancy_initialised = false;

// The memory-placement policy of the FOR_FASTMEM_* switches; it has no
// effect on this layer's allocations.
int fastmem_policy = 0;

}  // namespace

void for__guard_take(void) {
  if (for__rtl.reentrancy >= 2) {
    pthread_mutex_lock(&semaphore);
    guard_locked = true;
  } else {
    guard_flag = true;
  }
}

void for__guard_release(void) {
  if (guard_locked) {
    guard_locked = false;
    pthread_mutex_unlock(&semaphore);
  }
  guard_flag = false;
}

extern "C" double for__process_start_time(void) { return for__rtl.start_time; }

extern "C" int32_t for_set_reentrancy(const int32_t *mode) {
  int32_t previous = for__rtl.reentrancy;
  if (mode && *mode != 3) for__rtl.reentrancy = *mode;
  return previous;
}

extern "C" void for_rtl_init_(int32_t *argc, char **argv) {
  // 1. Process start time, once.
  if (for__rtl.start_time == 0) {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    for__rtl.start_time = static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
  }
  // 2. Reentrancy machinery, then the start-up guard.
  if (!reentrancy_initialised) {
    reentrancy_initialised = true;
    for__rtl.reentrancy = 2;
  }
  for__guard_take();
  // 3. The body, once per process.
  if (!for__rtl.initialised) {
    // Static storage: start-up needs no allocation, and the record exists
    // even when memory is short.
    static for_exception_record exception_record;
    exception_record = for_exception_record{};
    for__rtl.exception = &exception_record;
    if (!for_check_env_name("FOR_IGNORE_EXCEPTIONS")) for__install_signal_handlers();
    if (argc) {
      for__rtl.argc = *argc;
      for__rtl.argv = argv;
    } else {
      for__rtl.argc = 0;
      for__rtl.argv = nullptr;
    }
    for__preconnected_units_create();
    for__default_io_sizes_env_init();
    if (for_check_env_name("FOR_FASTMEM_NORETRY")) fastmem_policy = 1;
    if (for_check_env_name("FOR_FASTMEM_RETRY_WARN")) fastmem_policy = 2;
    if (for_check_env_name("FOR_FASTMEM_RETRY")) fastmem_policy = 3;
    for__rtl.initialised = true;
  }
  // 4.
  for__guard_release();
}
