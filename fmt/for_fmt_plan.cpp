// The plans of flat format packs, made on first use and kept for the run.
#include "fmt/for_fmt_plan.h"

#include <link.h>
#include <string.h>
#include <sys/single_threaded.h>

#include "fmt/for_fmt.h"

namespace {

constexpr int kProbes = 4;

// The read-only loadable segments of the program itself (the first object
// dl_iterate_phdr reports), found once.
struct image_range {
  uintptr_t from, to;
};
image_range read_only[8];
int read_only_count = -1;

int note_segments(struct dl_phdr_info *info, size_t, void *) {
  read_only_count = 0;
  for (int i = 0; i < info->dlpi_phnum && read_only_count < 8; ++i) {
    const ElfW(Phdr) &ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD || (ph.p_flags & PF_W)) continue;
    const uintptr_t from = info->dlpi_addr + ph.p_vaddr;
    read_only[read_only_count++] = {from, from + ph.p_memsz};
  }
  return 1;  // the program comes first; the libraries are not needed
}

// Whether [p, p + n) lies in a read-only segment of the program: compiled
// code keeps its packs there, and such bytes never change.
bool in_read_only_image(const uint8_t *p, size_t n) {
  if (read_only_count < 0) {
    dl_iterate_phdr(note_segments, nullptr);
    if (read_only_count < 0) read_only_count = 0;
  }
  const uintptr_t a = reinterpret_cast<uintptr_t>(p);
  for (int i = 0; i < read_only_count; ++i)
    if (a >= read_only[i].from && a + n <= read_only[i].to) return true;
  return false;
}

// Decodes a flat pack into the plan; false when the pack cannot have one.
// Only items the interpreter would take without a word are accepted, so
// building has no effect of its own (no diagnostic, no run-time operand).
bool build(fmt_plan &plan, const uint8_t *pack) {
  const uint8_t *p = pack;
  for (int n = 0; n < fmt_plan::kMaxSteps; ++n) {
    const fmt_cat_entry cat = p[0] < 128 ? fmt_cat[p[0]] : fmt_cat_entry{0, 0};
    if (cat.layout < 1 || cat.layout > 10) return false;
    if (cat.layout <= 5 && (p[1] & 0x0F)) return false;  // run-time operands
    if (p + 4 - pack > fmt_plan::kMaxBytes) return false;
    fmt_step &s = plan.steps[n];
    if (for__fmt_decode(nullptr, p, &s) != 0) return false;
    if (s.desc == FD_GROUP || s.desc == FD_GROUP_END || (s.desc == FD_START && n > 0)) return false;
    if (s.next - pack > fmt_plan::kMaxBytes) return false;
    if (n > 0) plan.steps[n - 1].next_is_end = s.desc == FD_END;
    if (s.desc == FD_END) {
      if (s.next - pack < 8) return false;  // shorter than a start and an end
      plan.count = static_cast<uint16_t>(n + 1);
      plan.bytes = static_cast<uint16_t>(s.next - pack);
      const fmt_step &first = plan.steps[1];
      plan.single_a = n == 2 && plan.steps[0].desc == FD_START && (first.desc == FD_A0 || first.desc == FD_A) &&
                      first.repeat < 2;
      memcpy(plan.copy, pack, plan.bytes);
      plan.constant = in_read_only_image(pack, plan.bytes);
      plan.pack = pack;
      return true;
    }
    p = s.next;
  }
  return false;
}

}  // namespace

// Enough for every pack a program uses many times; once the slots are taken
// other packs are interpreted from their bytes, which gives the same result.
fmt_plan for__fmt_plans[FOR_FMT_PLAN_SLOTS];

const fmt_plan *for__fmt_plan(const uint8_t *pack) {
  // A second thread could be making a plan in the same slot.
  if (!__libc_single_threaded) return nullptr;
  const size_t home = for__fmt_plan_slot(pack);
  for (int i = 0; i < kProbes; ++i) {
    fmt_plan &plan = for__fmt_plans[(home + static_cast<size_t>(i)) % FOR_FMT_PLAN_SLOTS];
    if (plan.pack == pack) {
      if (for__fmt_plan_unchanged(plan, pack)) return &plan;
      continue;  // the address now holds another pack
    }
    if (!plan.pack) return build(plan, pack) ? &plan : nullptr;
  }
  return nullptr;
}

bool for__single_a_lookup(const uint8_t *pack, const uint8_t **cached, int64_t *cached_width, int64_t *width) {
  if (!pack) return false;
  const fmt_plan *plan = for__fmt_plan_of(pack);
  if (!plan || !plan->single_a) return false;
  const fmt_step &s = plan->steps[1];
  *width = s.desc == FD_A0 ? -1 : static_cast<int64_t>(s.width);
  // A pack in writable memory is checked against its plan on every use.
  if (plan->constant) {
    *cached = pack;
    *cached_width = *width;
  }
  return true;
}
