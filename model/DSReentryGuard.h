#pragma once

#include <utility>
#include <vector>

// Notes, per thread, that an operation of an object is running, so that two
// operations defined through each other (a value source's whole-column and
// ranged forms) can tell when a class supplied neither and stop instead of
// recursing for ever. Per thread, so that parallel readers share nothing.
class DSReentryGuard
{
public:
    DSReentryGuard(const void *object, int operation) : m_entry(object, operation)
    {
        m_reentered = false;
        for (const auto &entry : stack())
            if (entry == m_entry)
                m_reentered = true;
        stack().push_back(m_entry);
    }
    ~DSReentryGuard() { stack().pop_back(); }
    DSReentryGuard(const DSReentryGuard &) = delete;
    DSReentryGuard &operator=(const DSReentryGuard &) = delete;

    // Whether the same operation of the same object was already running on
    // this thread when the guard was made.
    bool reentered() const { return m_reentered; }

private:
    using Entry = std::pair<const void *, int>;
    static std::vector<Entry> &stack()
    {
        thread_local std::vector<Entry> entries;
        return entries;
    }

    Entry m_entry;
    bool m_reentered;
};
