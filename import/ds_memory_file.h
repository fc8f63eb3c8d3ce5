#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/types.h>

// A file's bytes in memory with a read position: what the I/O handlers of
// the ReadStat and librdata readers serve their reads from.
struct ds_memory_file_s
{
    QByteArray bytes;
    int64_t position = 0;
};

// Moves the position to offset from the start (whence 0), the position
// (1) or the end (2); the new position, or -1, unmoved, outside the bytes.
inline int64_t ds_memory_file_seek(ds_memory_file_s *file, int64_t offset, int whence)
{
    const int64_t base = whence == 0 ? 0 : whence == 1 ? file->position : file->bytes.size();
    if (offset < -base || offset > file->bytes.size() - base)
        return -1;
    return file->position = base + offset;
}

// Copies up to n bytes from the position on and answers their count (0 at
// the end).
inline ssize_t ds_memory_file_read(ds_memory_file_s *file, void *buffer, size_t n)
{
    const size_t count = std::min(n, size_t(file->bytes.size() - file->position));
    std::memcpy(buffer, file->bytes.constData() + file->position, count);
    file->position += int64_t(count);
    return ssize_t(count);
}
