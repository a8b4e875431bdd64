// The unit table: slots, chains in ascending unit order, per-unit locks.
#include <stdlib.h>
#include <string.h>
#include <sys/single_threaded.h>

#include <new>

#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"

extern "C" const char for__unknown_name[] = "\"Unknown\"";

for_lub_slot for__lub_table[FOR_LUB_SLOTS] = {};

int for__lub_slot(int64_t unit) {
  if (unit >= -6 && unit <= 99) return static_cast<int>(unit + 6);
  int64_t h = unit < -6 ? unit : unit + 6;
  int64_t m = h % FOR_LUB_HASH;
  if (m < 0) m += FOR_LUB_HASH;
  return FOR_LUB_DIRECT + static_cast<int>(m);
}

namespace {

// Takes a lock word for a statement or a chain search.  While the process
// has one thread nothing else can take the word between the test and the
// store (a signal handler runs to its end before the interrupted code goes
// on), so a plain load and store do; the atomic exchange of for__lock, which
// costs a full fence, is needed only once a second thread exists.
inline void take(for_lock *l) {
  if (__libc_single_threaded && __atomic_load_n(&l->word, __ATOMIC_RELAXED) == 0) {
    __atomic_store_n(&l->word, 1, __ATOMIC_RELAXED);
    // Nothing the lock guards may be touched before the word is set.
    __atomic_signal_fence(__ATOMIC_SEQ_CST);
    return;
  }
  for__lock(l);
}

void init_block(for_lub *lub, int64_t unit) {
  lub->mutex.word = 0;
  lub->unit = unit;
  lub->fd = -1;
  lub->name = const_cast<char *>(for__unknown_name);
  lub->name_length = 0;
}

// Finds the unit's block in the slot's chain (ascending unit order) in one
// walk, unlinking on the way the blocks marked for deletion that no
// statement holds.
for_lub *search(for_lub_slot &slot, int64_t unit) {
  for (for_lub **link = &slot.head; *link;) {
    for_lub *l = *link;
    if (l->being_deleted && !l->held) {
      *link = l->next;
      if (!l->is_static) for__free_lub(l);
      continue;
    }
    if (l->unit >= unit) return l->unit == unit ? l : nullptr;
    link = &l->next;
  }
  return nullptr;
}

void insert(for_lub_slot &slot, for_lub *lub) {
  for_lub **link = &slot.head;
  while (*link && (*link)->unit < lub->unit) link = &(*link)->next;
  lub->next = *link;
  *link = lub;
}

}  // namespace

for_lub *for__find_lub(int64_t unit) {
  for_lub_slot &slot = for__lub_table[for__lub_slot(unit)];
  for__lock(&slot.lock);
  for_lub *l = search(slot, unit);
  for__unlock(&slot.lock);
  return l;
}

void for__free_lub(for_lub *lub) {
  if (!lub || lub->is_static) return;
  for__reset_lub(lub);
  lub->~for_lub();
  free(lub);
}

// Unlinks an ordinary block from its slot and frees it.
void for__lub_remove(for_lub *lub) {
  for_lub_slot &slot = for__lub_table[for__lub_slot(lub->unit)];
  for__lock(&slot.lock);
  for (for_lub **link = &slot.head; *link; link = &(*link)->next) {
    if (*link == lub) {
      *link = lub->next;
      break;
    }
  }
  for__unlock(&slot.lock);
  for__free_lub(lub);
}

// Adds a standard block to its slot (start-up only).
void for__lub_insert_static(for_lub *lub) {
  for_lub_slot &slot = for__lub_table[for__lub_slot(lub->unit)];
  for__lock(&slot.lock);
  if (!search(slot, lub->unit)) insert(slot, lub);
  for__unlock(&slot.lock);
}

void for__lub_init_block(for_lub *lub, int64_t unit) { init_block(lub, unit); }

extern "C" int for__acquire_lun(int64_t unit, for_lub **out, int32_t intent) {
  *out = nullptr;
  for_lub_slot &slot = for__lub_table[for__lub_slot(unit)];
  take(&slot.lock);
  for_lub *lub = search(slot, unit);
  if (!lub) {
    if (intent == FOR_INTENT_CLOSE) {
      for__unlock(&slot.lock);
      return FOR_E_BAD_UNIT;
    }
    void *memory = calloc(1, sizeof(for_lub));
    lub = memory ? new (memory) for_lub{} : nullptr;
    if (!lub) {
      for__unlock(&slot.lock);
      return FOR_E_NO_MEMORY;
    }
    init_block(lub, unit);
    insert(slot, lub);
  }
  for__unlock(&slot.lock);

  // A statement that starts another on the same unit is refused.  While the
  // process has one thread, a held unit is held by that thread (or by one
  // that a fork left behind, which will never release it).
  const pthread_t self = pthread_self();
  if (lub->held && (__libc_single_threaded || pthread_equal(lub->owner, self))) {
    *out = nullptr;
    return FOR_E_RECURSIVE;
  }
  take(&lub->mutex);
  lub->held = true;
  lub->owner = self;
  *out = lub;

  if ((intent == FOR_INTENT_READ || intent == FOR_INTENT_WRITE) && !lub->open) {
    return for__open_default(lub, FOR_ACC_SEQUENTIAL, intent == FOR_INTENT_READ ? FOR_ST_OLD : FOR_ST_UNKNOWN,
                             FOR_FORM_FORMATTED);
  }
  return 0;
}

void for__release(for_lub *lub) { for__release_unit(lub); }

extern "C" void for__release_lun(int64_t unit) { for__release(for__find_lub(unit)); }

bool for__set_lub_name(for_lub *lub, const char *name, int64_t length) {
  if (length > INT16_MAX) length = INT16_MAX;
  char *copy = static_cast<char *>(malloc(static_cast<size_t>(length) + 1));
  if (!copy) return false;
  memcpy(copy, name, static_cast<size_t>(length));
  copy[length] = '\0';
  if (lub->name && lub->name != for__unknown_name && !lub->name_borrowed) free(lub->name);
  lub->name = copy;
  lub->name_borrowed = false;
  lub->name_length = static_cast<int16_t>(length);
  return true;
}

void for__close_all_units(void) {
  for (int s = 0; s < FOR_LUB_SLOTS; ++s) {
    for_lub_slot &slot = for__lub_table[s];
    for_lub **link = &slot.head;
    while (*link) {
      for_lub *lub = *link;
      if (lub->open) {
        lub->closed_at_exit = true;
        lub->kwbits = 0;
        int r = for__close_default(lub);
        if (r != 0) for__io_return(0, r, 0, lub);
      }
      if (lub->is_static) {
        for__reset_lub(lub);
        link = &lub->next;
      } else {
        *link = lub->next;
        for__free_lub(lub);
      }
    }
  }
}
