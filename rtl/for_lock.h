// A lock word: unit and table-slot locks.  Taking an unheld lock is one
// atomic exchange; a contended lock yields until it is free.
#pragma once

#include <pthread.h>
#include <sched.h>

#include <cstdint>

struct for_lock {
  int32_t word;  // 0 free, 1 held; zero-initialised storage is a free lock
};

inline void for__lock(for_lock *l) {
  while (__atomic_exchange_n(&l->word, 1, __ATOMIC_ACQUIRE) != 0) sched_yield();
}
inline void for__unlock(for_lock *l) { __atomic_store_n(&l->word, 0, __ATOMIC_RELEASE); }
