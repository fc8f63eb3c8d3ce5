#pragma once

#include <QThreadPool>

// QtGui cuts a large image conversion or scaling into pieces, runs them on
// Qt's global thread pool and joins them on a semaphore. The pool's lock and
// the semaphore are futexes ThreadSanitizer does not see, so it takes the
// pool's own bookkeeping for races: two workers growing the pool's thread
// lists as they finish, and a piece's callable made by the painting thread
// and freed by the worker. Under ThreadSanitizer a test program that paints
// gives that pool one thread, which leaves only the callable's hand-off;
// "race:libQt6Gui.so.6" in cmake/tsan_suppressions.cpp covers that one.
inline void ds_limit_qt_image_workers()
{
#if defined(__SANITIZE_THREAD__)
    QThreadPool::globalInstance()->setMaxThreadCount(1);
#endif
}
