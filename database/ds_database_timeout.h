#pragma once

#include <atomic>

// The connect timeout, in seconds, of every connection the connectors and
// the SQL importers open: 60 unless a test shortens it.
inline std::atomic<int> &ds_database_connect_timeout()
{
    static std::atomic<int> seconds{60};
    return seconds;
}
