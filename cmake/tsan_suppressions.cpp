// Linked into every test program of a thread-sanitizer build. Silenced are
// reports that come from libraries not built with the sanitizer, whose own
// synchronisation it cannot see:
//  - oneTBB: reports whose innermost frame lies in its headers or in our loop
//    (the task's copy of the closure, made by the worker that split the
//    range, and the worker's read of the borrowed callable, ds_function_ref,
//    that the loop was handed on the caller's stack), on its bookkeeping (task objects from its pool, the completion
//    counters folded after a task), and its own calls into the runtime. A
//    chunk body's own accesses have the body's frame on top and are still
//    reported.
//  - QtCore: the lock of its type registry, taken when variants compare.
//  - QtCore's thread pool: its queue's lock (QMutex) waits on a futex the
//    sanitizer never sees, so a task queued by one thread and freed by a
//    pooled one, or a pool's wait condition destroyed after its last
//    worker woke it, looked like races.
extern "C" const char *__tsan_default_suppressions()
{
    return "race_top:oneapi/tbb/\n"
           "race_top:platform/dispatch/ds_parallel_for.cpp\n"
           "race_top:platform/dispatch/ds_parallel_for.h\n"
           "race:tbb::detail::d1::small_object_allocator\n"
           "race:tbb::detail::d1::fold_tree\n"
           "called_from_lib:libtbb.so.12\n"
           "race:QReadWriteLock\n"
           "race:QWaitCondition::~QWaitCondition\n"
           "race:QThreadPoolPrivate::enqueueTask\n"
           "race:QRunnable::create\n";
}
