#pragma once

#include <QMetaObject>
#include <QObject>

#include <utility>

// Marks the posting of a queued call from a worker thread for the thread
// sanitizer (nothing in other builds); see ds_invoke_queued.cpp.
class ds_queued_post_scope
{
public:
    ds_queued_post_scope();
    ~ds_queued_post_scope();
    ds_queued_post_scope(const ds_queued_post_scope &) = delete;
    ds_queued_post_scope &operator=(const ds_queued_post_scope &) = delete;
};

// Queues function (a callable taking nothing) to run on the thread of
// context (a document's main thread), from any thread, and returns at once:
// Qt posts it as an event and drops it, uncalled, once context is destroyed.
// The callable is moved into the event and destroyed on context's thread.
template <class Function>
void ds_invoke_queued(QObject *context, Function &&function)
{
    const ds_queued_post_scope scope;
    QMetaObject::invokeMethod(context, std::forward<Function>(function), Qt::QueuedConnection);
}
