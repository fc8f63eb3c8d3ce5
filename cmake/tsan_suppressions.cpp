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
//  - QtGui's image workers: QtGui runs pieces of a large image conversion on
//    Qt's global pool, and a piece's callable, made by QtGui on the painting
//    thread, is freed by QtGui on the worker after the pool's futex lock
//    handed it over. The functions involved are internal to QtGui, without a
//    name in Debian's build, so the library stands for them; a frame of
//    QtGui shows in a report only where QtGui itself touched the memory
//    (through the C library or new and delete), or where it called our code
//    directly, which none of our classes lets it do. Test programs that
//    paint give that pool one thread (tests/support/ds_qt_image_workers.h),
//    so the pool's own lists are never grown by two workers at once.
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
           "race:QRunnable::create\n"
           "race:libQt6Gui.so.6\n";
}
