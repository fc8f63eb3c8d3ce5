#include "import/dictionary/dct_read_data.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Fields wider than this never reach the callback.
constexpr int32_t k_maxFieldWidth = 4095;

struct FileCloser {
    void operator()(FILE *file) const { fclose(file); }
};
struct MemoryFreer {
    void operator()(void *p) const { free(p); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool entryIsReadable(const ds_stata_dct_entry_s &entry, int32_t lines)
{
    return entry.line >= 0 && entry.line < lines && entry.start >= 0 && entry.width >= 0;
}

// Reads through the next newline; false at the end of the file.
bool skipLine(FILE *file)
{
    int c;
    while ((c = getc_unlocked(file)) != EOF)
        if (c == '\n')
            return true;
    return false;
}

// Reads at most length bytes of the line into record, through its newline
// when the line ends within them (*ended; a carriage return before it is
// dropped). Answers the bytes stored.
size_t readLine(FILE *file, char *record, size_t length, bool *ended)
{
    size_t got = 0;
    int c = 0;
    while (got < length && (c = getc_unlocked(file)) != EOF) {
        if (c == '\n') {
            *ended = true;
            break;
        }
        record[got++] = char(c);
    }
    // A full line may still end right here: its newline is the next byte.
    if (!*ended && got == length && (c = getc_unlocked(file)) != EOF) {
        if (c == '\n')
            *ended = true;
        else
            ungetc(c, file);
    }
    if (*ended && got > 0 && record[got - 1] == '\r')
        --got;
    return got;
}

bool isBlank(const char *bytes, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (bytes[i] != '\n' && bytes[i] != '\r' && bytes[i] != ' ' && bytes[i] != '\t')
            return false;
    return true;
}

// True when nothing but blank bytes follow in the file; the position is
// restored either way.
bool restIsBlank(FILE *file)
{
    const long at = ftell(file);
    int c;
    bool blank = true;
    while (blank && (c = getc_unlocked(file)) != EOF)
        blank = c == '\n' || c == '\r' || c == ' ' || c == '\t';
    if (at >= 0)
        fseek(file, at, SEEK_SET);
    return blank;
}

int readDelimited(FILE *file, const ds_stata_dct_s *dct, void *context, dct_cell_fn cell)
{
    if (dct->num_entries <= 0)
        return DCT_READ_OK;
    size_t capacity = 4096;
    std::unique_ptr<char, MemoryFreer> buffer(static_cast<char *>(malloc(capacity)));
    if (!buffer)
        return DCT_READ_MEMORY;
    for (uint64_t row = 0;; ++row) {
        for (int32_t j = 0; j < dct->num_entries; ++j) {
            const int end = j == dct->num_entries - 1 ? '\n' : static_cast<unsigned char>(dct->delimiter);
            char *line = buffer.release();
            const ssize_t n = getdelim(&line, &capacity, end, file);
            buffer.reset(line);
            if (n <= 0)
                return !feof(file) && errno == ENOMEM ? DCT_READ_MEMORY : DCT_READ_OK;
            size_t length = size_t(n);
            if (line[length - 1] == char(end)) {
                line[--length] = 0;
                if (length > 0 && line[length - 1] == '\r')
                    line[--length] = 0;
            }
            if (cell(row, j, line, length, context) != 0)
                return DCT_READ_STOPPED;
        }
    }
}

// The byte length of every line of an observation.
std::unique_ptr<int64_t, MemoryFreer> lineLengths(const ds_stata_dct_s *dct, int32_t lines)
{
    std::unique_ptr<int64_t, MemoryFreer> lengths(static_cast<int64_t *>(malloc(sizeof(int64_t) * size_t(lines))));
    if (!lengths)
        return lengths;
    for (int32_t j = 0; j < lines; ++j)
        lengths.get()[j] = dct->record_length > 0 ? dct->record_length : 0;
    for (int32_t k = 0; k < dct->num_entries; ++k) {
        const ds_stata_dct_entry_s &entry = dct->entries[k];
        if (entryIsReadable(entry, lines)) {
            const int64_t end = int64_t(entry.start) + entry.width;
            if (end > lengths.get()[entry.line])
                lengths.get()[entry.line] = end;
        }
    }
    return lengths;
}

int readFixed(FILE *file, const ds_stata_dct_s *dct, void *context, dct_cell_fn cell)
{
    const int32_t lines = dct->lines_per_obs > 0 ? dct->lines_per_obs : 1;
    std::unique_ptr<int64_t, MemoryFreer> lengths = lineLengths(dct, lines);
    if (!lengths)
        return DCT_READ_MEMORY;
    int64_t longest = 0;
    for (int32_t j = 0; j < lines; ++j)
        if (lengths.get()[j] > longest)
            longest = lengths.get()[j];
    std::unique_ptr<char, MemoryFreer> record(static_cast<char *>(malloc(size_t(longest) + 2)));
    if (!record)
        return DCT_READ_MEMORY;
    char field[k_maxFieldWidth + 1];
    const bool byLines = dct->record_length == 0;
    for (uint64_t row = 0;; ++row) {
        int32_t k = 0;
        for (int32_t j = 0; j < lines; ++j) {
            const size_t length = size_t(lengths.get()[j]);
            bool ended = false;
            const size_t got = byLines ? readLine(file, record.get(), length, &ended)
                                       : fread(record.get(), 1, length, file);
            // Blank lines after the last observation end the data rather
            // than make a short line of it.
            if (j == 0 && (got > 0 || ended) && isBlank(record.get(), got) && restIsBlank(file))
                return DCT_READ_OK;
            if (got == 0 && length > 0 && !ended)
                return DCT_READ_OK;
            if (got < length && !ended)
                return DCT_READ_SHORT_LINE;
            // A line that ends before its columns (an editor dropped its
            // trailing blanks) reads as blank there; reading on into the
            // next line would shift every later observation.
            memset(record.get() + got, ' ', length - got);
            for (; k < dct->num_entries && dct->entries[k].line == j; ++k) {
                const ds_stata_dct_entry_s &entry = dct->entries[k];
                if (!entryIsReadable(entry, lines) || entry.width > k_maxFieldWidth)
                    continue;
                memcpy(field, record.get() + entry.start, size_t(entry.width));
                field[entry.width] = 0;
                if (cell(row, k, field, uint64_t(entry.width), context) != 0)
                    return DCT_READ_STOPPED;
            }
            if (byLines && !ended && !skipLine(file) && length == 0)
                return DCT_READ_OK;
        }
    }
}

} // namespace

int dct_read_data(const char *path, const ds_stata_dct_s *dct, void *context, dct_cell_fn cell)
{
    FilePtr file(fopen(path, "rb"));
    if (!file)
        return DCT_READ_OPEN;
    // One thread reads the stream: byte reads need no lock.
    flockfile(file.get());
    for (int32_t skipped = 1; skipped < dct->first_line; ++skipped)
        if (!skipLine(file.get()))
            break;
    const int result = dct->delimiter != 0 ? readDelimited(file.get(), dct, context, cell)
                                           : readFixed(file.get(), dct, context, cell);
    funlockfile(file.get());
    return result;
}
