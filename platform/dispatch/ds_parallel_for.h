#pragma once
// Parallel row loops: a row range cut into a fixed number of chunks that run
// concurrently on the shared worker pool; the caller blocks until every chunk
// has returned.
//
// The chunk count never depends on the machine, so a loop whose chunks keep
// their own partial results, combined in chunk order after the call, gives
// bit-identical sums on any number of cores.

#include <cstdint>
#include <type_traits>
#include <utility>

// A borrowed reference to a callable (no copy, no allocation). The callable
// must outlive the call it is passed to, which holds for a lambda written in
// the argument list.
template <class Signature>
class ds_function_ref;

template <class R, class... Args>
class ds_function_ref<R(Args...)> {
public:
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, ds_function_ref>>>
    ds_function_ref(F &&f) noexcept  // NOLINT: implicit on purpose, callers pass lambdas
        : object_(const_cast<void *>(static_cast<const void *>(&f))),
          call_([](void *o, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F> *>(o))(std::forward<Args>(args)...);
          }) {}

    R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void *object_;
    R (*call_)(void *, Args...);
};

// Chunk body: (chunk index, first row, one past the last row). A body treats
// first >= end as an empty range.
using ds_chunk_body = ds_function_ref<void(uint64_t, int64_t, int64_t)>;

// Runs body(i) for i in [0, n) concurrently and returns when all have
// returned. The stand-in for the platform's dispatch_apply on the global
// queue: one task per index, so 24 uneven chunks still balance over 8 cores.
// An exception thrown by a body is rethrown here after the others finish.
void ds_dispatch_apply(uint64_t n, ds_function_ref<void(uint64_t)> body);

// n chunks of ceil(count / n) rows: chunk i gets [i x chunk, min((i + 1) x
// chunk, count)). Trailing chunks may be empty, with first beyond end (count
// 100, n 24: chunk 23 gets [115, 100)). Bounds are 64-bit so that a count
// near 2^31 keeps its last rows. n = 0 runs nothing.
void ds_parallel_for(uint64_t n, uint64_t count, ds_chunk_body body);

// As ds_parallel_for, but every chunk starts at a multiple of align and ends
// at one (the last chunk ends at count), so two chunks never share a byte of
// a row bit mask when align is a multiple of 8 (writers of masks use 512).
// The chunks are contiguous and cover [0, count) exactly; some may be empty.
// When count < align the body runs once, inline, as body(0, 0, count).
// align 0 counts as 1.
void ds_parallel_for_aligned(uint64_t n, uint64_t count, uint64_t align, ds_chunk_body body);

// The chunk counts and the mask alignment that the row loops share.
inline constexpr uint64_t ds_row_chunks = 24;
inline constexpr uint64_t ds_mask_alignment = 512;
