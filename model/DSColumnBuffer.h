#pragma once

#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <type_traits>

// How column buffers, the zlib streams that store their arrays, and the
// import's data-dictionary records get memory (blocks are freed with
// std::free). Tests swap these to make an
// allocation fail; nothing else changes them, and never while a column is in
// use.
struct ds_column_allocator_s
{
    void *(*allocate)(size_t bytes) = std::malloc;
    void *(*reallocate)(void *block, size_t bytes) = std::realloc;
};
ds_column_allocator_s &ds_column_allocator();

// One transient array owned by a column (its value buffer, masks, indexes
// and sorted values): a block of `capacity` elements of which the first
// `used` are meaningful.
//
// Blocks that a column hands out grow with reserve(), which never frees the
// block it replaces at once: that block is kept until the buffer grows again
// or is released. A pointer handed out by one request therefore stays
// readable through the column's next request, so x / x (one column read
// twice, one request after the other) never reads freed memory. Private
// blocks (an import buffer) grow in place with reallocate().
template <class T>
class DSColumnBuffer
{
    static_assert(std::is_trivially_copyable_v<T>, "column buffers hold plain values");

public:
    DSColumnBuffer() = default;
    ~DSColumnBuffer() { release(); }
    DSColumnBuffer(const DSColumnBuffer &) = delete;
    DSColumnBuffer &operator=(const DSColumnBuffer &) = delete;

    T *data() const { return m_data; }
    qint64 capacity() const { return m_capacity; }
    qint64 used() const { return m_used; }
    void setUsed(qint64 used) { m_used = used; }
    bool isEmpty() const { return m_data == nullptr; }

    // Room for at least n elements. The first `used` elements move along
    // when the block is replaced; the rest is uninitialised. Answers the
    // block, or null when memory runs out (the buffer is then unchanged).
    T *reserve(qint64 n)
    {
        if (n <= m_capacity && m_data)
            return m_data;
        T *block = static_cast<T *>(ds_column_allocator().allocate(bytes(n)));
        if (!block)
            return nullptr;
        if (m_data && m_used > 0)
            std::memcpy(static_cast<void *>(block), m_data, bytes(qMin(m_used, n)));
        std::free(m_retired);
        m_retired = m_data;
        m_data = block;
        m_capacity = qMax<qint64>(n, 1);
        return m_data;
    }

    // Grows or shrinks the block in place to exactly n elements (contents
    // kept up to n). Answers false when memory runs out, leaving the buffer
    // as it was.
    bool reallocate(qint64 n)
    {
        void *block = ds_column_allocator().reallocate(m_data, bytes(n));
        if (!block)
            return false;
        m_data = static_cast<T *>(block);
        m_capacity = qMax<qint64>(n, 1);
        m_used = qMin(m_used, m_capacity);
        return true;
    }

    // Frees both blocks; the buffer is empty again.
    void release()
    {
        std::free(m_data);
        std::free(m_retired);
        m_data = m_retired = nullptr;
        m_capacity = m_used = 0;
    }

private:
    static size_t bytes(qint64 n) { return size_t(qMax<qint64>(n, 1)) * sizeof(T); }

    T *m_data = nullptr;
    T *m_retired = nullptr;
    qint64 m_capacity = 0;
    qint64 m_used = 0;
};
