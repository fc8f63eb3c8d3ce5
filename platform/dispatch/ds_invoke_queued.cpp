#include "platform/dispatch/ds_invoke_queued.h"

#if defined(__SANITIZE_THREAD__)
// Qt's queue of posted events is guarded by a lock built on a futex, which
// ThreadSanitizer does not see: a worker's post while the main thread posts
// its own events looks like a race inside Qt's queue. What the worker does
// during the post is Qt's alone (the event, and the callable moved into it,
// are read only once the event is delivered), so the sanitizer is told to
// ignore the worker's memory accesses for that long; its synchronisation is
// still followed.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();

ds_queued_post_scope::ds_queued_post_scope()
{
    __tsan_ignore_thread_begin();
}

ds_queued_post_scope::~ds_queued_post_scope()
{
    __tsan_ignore_thread_end();
}
#else
ds_queued_post_scope::ds_queued_post_scope() = default;
ds_queued_post_scope::~ds_queued_post_scope() = default;
#endif
