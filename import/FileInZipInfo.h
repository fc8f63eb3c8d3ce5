#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

// One entry of an archive's central directory, as read. Sizes are what the
// directory claims; the reader checks them before it trusts them.
struct FileInZipInfo
{
    QString name;          // UTF-8, at most 255 bytes of it
    uint64_t length = 0;   // uncompressed size in bytes
    int32_t level = 0;     // 0 stored, -1 default, 9 best, 1 fastest
    bool crypted = false;  // bit 0 of the general-purpose flag
    uint64_t size = 0;     // compressed size in bytes
    QDateTime date;        // local wall-clock time
    uint64_t crc32 = 0;
    int32_t method = 0;    // 0 stored, 8 deflate
};
