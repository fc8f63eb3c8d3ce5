#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>

#if defined(__SANITIZE_THREAD__)
// libtbb itself is not built with ThreadSanitizer, so the hand-offs it makes
// between the caller and its workers are invisible to the sanitizer. We state
// the two that the loop guarantees (the caller's writes before the call are
// seen by every chunk; every chunk's writes are seen by the caller after it)
// and nothing between chunks, so a race between two chunks is still found.
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#define DS_TSAN_ACQUIRE(p) __tsan_acquire(p)
#define DS_TSAN_RELEASE(p) __tsan_release(p)

#else
#define DS_TSAN_ACQUIRE(p) ((void)(p))
#define DS_TSAN_RELEASE(p) ((void)(p))
#endif

void ds_dispatch_apply(uint64_t n, ds_function_ref<void(uint64_t)> body)
{
    if (n == 0)
        return;
    if (n == 1) {
        body(0);
        return;
    }
    int before = 0, after = 0;
    DS_TSAN_RELEASE(&before);
    // Grain 1 with the simple partitioner: each index becomes its own task.
    tbb::parallel_for(
        tbb::blocked_range<uint64_t>(0, n, 1),
        [&](const tbb::blocked_range<uint64_t> &r) {
            DS_TSAN_ACQUIRE(&before);
            for (uint64_t i = r.begin(); i != r.end(); ++i)
                body(i);
            DS_TSAN_RELEASE(&after);
        },
        tbb::simple_partitioner());
    DS_TSAN_ACQUIRE(&after);
}

static uint64_t chunk_length(uint64_t n, uint64_t count)
{
    return (count + n - 1) / n;
}

void ds_parallel_for(uint64_t n, uint64_t count, ds_chunk_body body)
{
    if (n == 0)
        return;
    const uint64_t chunk = chunk_length(n, count);
    ds_dispatch_apply(n, [&](uint64_t i) {
        const uint64_t first = i * chunk;
        const uint64_t end = std::min((i + 1) * chunk, count);
        body(i, static_cast<int64_t>(first), static_cast<int64_t>(end));
    });
}

void ds_parallel_for_aligned(uint64_t n, uint64_t count, uint64_t align, ds_chunk_body body)
{
    if (n == 0)
        return;
    align = std::max<uint64_t>(align, 1);
    if (count < align) {
        body(0, 0, static_cast<int64_t>(count));
        return;
    }
    const uint64_t chunk = chunk_length(n, count);
    ds_dispatch_apply(n, [&](uint64_t i) {
        const uint64_t first = std::min(i * chunk / align * align, count);
        const uint64_t stop = (i + 1) * chunk;
        const uint64_t end = std::min(i + 1 == n ? stop : stop / align * align, count);
        body(i, static_cast<int64_t>(first), static_cast<int64_t>(end));
    });
}

