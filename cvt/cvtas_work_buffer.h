/* The larger work buffer of the real-to-text entries: obtained for one call
 * when the field or the digit count outgrows the stack buffer, and released
 * before that call returns.  The allocator can be replaced, so that tests can
 * drive the path where no memory is to be had. */
#ifndef TAVO_CVT_CVTAS_WORK_BUFFER_H
#define TAVO_CVT_CVTAS_WORK_BUFFER_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *(*cvtas_obtain_fn)(size_t bytes);
typedef void (*cvtas_release_fn)(void *block);

/* Returns a block of at least bytes bytes, or NULL. */
void *cvtas__obtain_work(size_t bytes);
void cvtas__release_work(void *block);
/* Replaces the allocator; NULL for either restores malloc and free.  Only
 * for use while no conversion is running. */
void cvtas__set_work_memory(cvtas_obtain_fn obtain, cvtas_release_fn release);

#ifdef __cplusplus
}
#endif

#endif
