// The frame walk: the unwinder's backtrace service, with a forced unwind as
// the fallback when the backtrace yields nothing.
#include <string.h>
#include <unwind.h>

#include "rtl/tbk_internal.h"

namespace {

struct walk {
  tbk_visit_fn visit;
  void *arg;
  int32_t frames;
  bool stopped;
};

// The program counter of a frame and whether it is exact: a signal frame's
// is the interrupted instruction, every other one a return address.
bool visit_frame(walk *w, _Unwind_Context *context) {
  int before = 0;
  const uintptr_t pc = _Unwind_GetIPInfo(context, &before);
  if (pc == 0) return false;
  ++w->frames;
  if (!w->visit(pc, before != 0, w->arg)) {
    w->stopped = true;
    return false;
  }
  return true;
}

_Unwind_Reason_Code backtrace_step(_Unwind_Context *context, void *arg) {
  return visit_frame(static_cast<walk *>(arg), context) ? _URC_NO_REASON : _URC_END_OF_STACK;
}

// Any result other than _URC_NO_REASON makes the unwinder return at once,
// before it installs a context: the walk never transfers control.  A frame
// with a language-specific data area has handlers whose personality routine
// might ask for that, so the walk ends there, after reporting the frame.
_Unwind_Reason_Code forced_step(int, _Unwind_Action actions, _Unwind_Exception_Class, _Unwind_Exception *,
                                _Unwind_Context *context, void *arg) {
  if (actions & _UA_END_OF_STACK) return _URC_END_OF_STACK;
  if (!visit_frame(static_cast<walk *>(arg), context)) return _URC_END_OF_STACK;
  if (_Unwind_GetLanguageSpecificData(context) != 0) return _URC_END_OF_STACK;
  return _URC_NO_REASON;
}

void no_cleanup(_Unwind_Reason_Code, _Unwind_Exception *) {}

}  // namespace

int32_t tbk__forced_walk(tbk_visit_fn visit, void *arg) {
  walk w = {visit, arg, 0, false};
  _Unwind_Exception exception;
  memset(&exception, 0, sizeof exception);
  exception.exception_class = 0x54424B57414C4B00ULL;  // "TBKWALK"
  exception.exception_cleanup = no_cleanup;
  _Unwind_ForcedUnwind(&exception, forced_step, &w);
  return w.frames;
}

extern "C" __attribute__((noinline)) int32_t tbk_trace_stack(tbk_visit_fn visit, void *arg) {
  walk w = {visit, arg, 0, false};
  _Unwind_Backtrace(backtrace_step, &w);
  if (w.frames == 0) return tbk__forced_walk(visit, arg);
  return w.frames;
}
