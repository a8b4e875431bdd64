// The traceback's parts: the frame walk, the frame formatting, and the
// lookups behind them.  Everything here is safe to call from a signal
// handler: fixed buffers, system calls, no stdio and no allocation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtl/tbk_text.h"

// Called once per frame, innermost first, with the frame's program counter
// and whether it is exact (a signal frame: the interrupted instruction)
// rather than a return address.  Returning false stops the walk.
typedef bool (*tbk_visit_fn)(uintptr_t pc, bool exact, void *arg);

// Walks the stack from the caller of tbk_trace_stack outward with the
// unwinder's backtrace service, falling back to a forced unwind when that
// yields no frame.  Returns the number of frames visited.
extern "C" int32_t tbk_trace_stack(tbk_visit_fn visit, void *arg);
// The forced-unwind walk alone.  It stops at the first frame that has
// handlers of its own, so that no cleanup code can ever be entered.
int32_t tbk__forced_walk(tbk_visit_fn visit, void *arg);

// Appends a traceback of the current stack to t.  With a context (a caught
// signal's ucontext_t) the rows start at its interrupted instruction;
// otherwise they start after the frame whose return address is `from`
// (the routine that asked for the traceback).  verbose selects the long form
// and, with a context, the register dump before it.  Returns the new length.
extern "C" int64_t tbk_string_stack_signal(const void *context, uintptr_t from, char *buffer, int64_t used,
                                           int64_t capacity, int32_t verbose);

// One frame in the brief form ("%-17.17s  %16.16lX  %-17.17s  %10.10s  %s\n")
// or the long form; false (text unchanged) when it does not fit.
bool tbk_put_brief_row(tbk_text *t, const char *image, uintptr_t pc, const char *routine, const char *line,
                       const char *source);
bool tbk_put_long_frame(tbk_text *t, int64_t number, const char *image, uintptr_t pc, const char *routine,
                        const char *source, const char *line);

// The base name of the file mapped at address (from /proc/<pid>/maps), or
// "Unknown" when no file is; out has room for cap bytes, NUL included.
void tbk_image_name(uintptr_t address, char *out, size_t cap);
// Forgets the mapping the last lookup found (maps change with dlopen).
void tbk_image_cache_reset(void);
// The dynamic symbol that contains address, or "Unknown".
const char *tbk_routine_name(uintptr_t address);

// The general, control and floating-point registers of a ucontext_t, in
// lines of four "NAME = 0x..." fields (one implementation per processor).
bool tbk_put_registers(tbk_text *t, const void *context);
// The address of the instruction a ucontext_t was interrupted at.
uintptr_t tbk_context_pc(const void *context);

// Copies n bytes from address into out without faulting; returns the number
// of bytes copied (short when the range runs into unreadable memory).
size_t tbk_safe_read(uintptr_t address, void *out, size_t n);
