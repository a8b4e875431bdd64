// The plans of flat format packs, made on first use and kept for the run.
#include "fmt/for_fmt_plan.h"

#include <string.h>
#include <sys/single_threaded.h>

#include "fmt/for_fmt.h"

namespace {

constexpr int kProbes = 4;

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
      plan.count = static_cast<uint16_t>(n + 1);
      plan.bytes = static_cast<uint16_t>(s.next - pack);
      memcpy(plan.copy, pack, plan.bytes);
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
