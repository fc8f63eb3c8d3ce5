#include "model/ds_compression.h"

#include "model/DSColumnBuffer.h"

#include <QDebug>
#include <algorithm>
#include <climits>
#include <libdeflate.h>
#include <limits>
#include <mutex>
#include <zlib.h>

namespace {

// zlib counts in 32-bit units; longer buffers are fed a window at a time.
constexpr qsizetype kMaxChunk = UINT_MAX;

uInt chunk(qsizetype n) { return uInt(std::min(n, kMaxChunk)); }

constexpr qsizetype kNoLimit = std::numeric_limits<qsizetype>::max();

// Whether the bytes from `at` begin a gzip member (RFC 1952: 1f 8b, deflate).
bool startsGzipMember(const QByteArray &data, qsizetype at)
{
    return data.size() - at >= 3 && uint8_t(data[at]) == 0x1f && uint8_t(data[at + 1]) == 0x8b && data[at + 2] == 8;
}

// A stream's working memory comes from the column allocator, so that a test
// can make a stream fail to start as it does when memory runs out.
z_stream newStream()
{
    z_stream zs{};
    zs.zalloc = [](voidpf, uInt items, uInt size) -> voidpf {
        return ds_column_allocator().allocate(size_t(items) * size);
    };
    zs.zfree = [](voidpf, voidpf block) { std::free(block); };
    return zs;
}

// Runs a deflater over the whole input. The output buffer starts at 16 KiB
// and doubles, so a million doubles need about twenty reallocations.
std::optional<QByteArray> deflateWith(const QByteArray &data, int windowBits)
{
    if (data.isEmpty())
        return data;
    z_stream zs = newStream();
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;

    QByteArray out(16384, Qt::Uninitialized);
    qsizetype produced = 0, consumed = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (produced == out.size())
            out.resize(out.size() * 2);
        zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData() + consumed));
        zs.avail_in = chunk(data.size() - consumed);
        zs.next_out = reinterpret_cast<Bytef *>(out.data() + produced);
        zs.avail_out = chunk(out.size() - produced);
        const uInt inBefore = zs.avail_in, outBefore = zs.avail_out;
        const bool lastInput = data.size() - consumed == qsizetype(zs.avail_in);
        status = deflate(&zs, lastInput ? Z_FINISH : Z_NO_FLUSH);
        consumed += inBefore - zs.avail_in;
        produced += outBefore - zs.avail_out;
        if (status == Z_STREAM_ERROR) {
            qWarning("Error compressing data");
            deflateEnd(&zs);
            return std::nullopt;
        }
    }
    if (deflateEnd(&zs) != Z_OK) {
        qWarning("Error compressing data");
        return std::nullopt;
    }
    out.resize(produced);
    return out;
}

// Runs an inflater over every stream of the input, keeping at most
// maxBytes of output. A gzip member may be followed by another member
// (`cat a.gz b.gz`, bgzip), whose bytes follow on; anything else after the
// end of a stream is damage. The buffer starts at one and a half times the
// input and grows by half again when full, which stays geometric however
// small the input was; it is never made larger than maxBytes. Once
// maxBytes are out, one spare byte of room tells a stream that ends there
// from one that goes on, which fails.
std::optional<QByteArray> inflateWith(const QByteArray &data, int windowBits, qsizetype maxBytes)
{
    if (data.isEmpty())
        return data;
    z_stream zs = newStream();
    if (inflateInit2(&zs, windowBits) != Z_OK)
        return std::nullopt;

    const auto giveUp = [&zs] {
        inflateEnd(&zs);
        return std::optional<QByteArray>();
    };
    QByteArray out;
    // Reserving first gives a block of exactly that size; resize() alone
    // may round it up past the limit.
    const auto grow = [&out](qsizetype size) {
        out.reserve(size);
        out.resize(size);
    };
    grow(std::min(data.size() + data.size() / 2, maxBytes));
    qsizetype produced = 0, consumed = 0;
    for (;;) {
        if (produced == out.size() && out.size() < maxBytes)
            grow(std::min(out.size() + std::max<qsizetype>(out.size() / 2, 4096), maxBytes));
        const bool atLimit = produced == out.size();
        char spare;
        zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData() + consumed));
        zs.avail_in = chunk(data.size() - consumed);
        zs.next_out = reinterpret_cast<Bytef *>(atLimit ? &spare : out.data() + produced);
        zs.avail_out = atLimit ? 1 : chunk(out.size() - produced);
        const uInt inBefore = zs.avail_in, outBefore = zs.avail_out;
        const int status = inflate(&zs, Z_SYNC_FLUSH);
        consumed += inBefore - zs.avail_in;
        const uInt wrote = outBefore - zs.avail_out;
        // A byte in the spare room: the stream holds more than maxBytes.
        if (atLimit && wrote > 0)
            return giveUp();
        produced += wrote;
        if (status == Z_STREAM_END) {
            if (consumed == data.size())
                break;
            if (!startsGzipMember(data, 0) || !startsGzipMember(data, consumed) || inflateReset(&zs) != Z_OK)
                return giveUp();
            continue;
        }
        // Z_BUF_ERROR with input left over and the output full just means
        // the buffer must grow; with the input used up the stream was cut.
        const bool needsRoom = status == Z_BUF_ERROR && zs.avail_out == 0;
        const bool cut = status == Z_OK && consumed == data.size() && zs.avail_out > 0;
        if ((status != Z_OK && !needsRoom) || cut)
            return giveUp();
    }
    if (inflateEnd(&zs) != Z_OK)
        return std::nullopt;
    out.resize(produced);
    return out;
}

// libdeflate's level 6 stores column arrays a little smaller than zlib's
// default level does, in well under half the time.
constexpr int kLibdeflateLevel = 6;

// libdeflate takes its working memory from one allocator for the whole
// process; it is the column allocator's, as zlib's is.
void useColumnAllocator()
{
    static std::once_flag once;
    std::call_once(once, [] {
        libdeflate_set_memory_allocator([](size_t bytes) { return ds_column_allocator().allocate(bytes); }, std::free);
    });
}

// Makes out exactly size bytes long, in a block of that size (resize()
// alone may round it up, past a limit). False when memory runs out.
bool resizeExactly(QByteArray &out, qsizetype size)
{
    try {
        out.reserve(size);
        out.resize(size);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// A zlib stream of data in one call, through libdeflate.
std::optional<QByteArray> zlibDeflateWhole(const QByteArray &data)
{
    if (data.isEmpty())
        return data;
    useColumnAllocator();
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(kLibdeflateLevel);
    if (!compressor)
        return std::nullopt;
    QByteArray out;
    size_t produced = 0;
    if (resizeExactly(out, qsizetype(libdeflate_zlib_compress_bound(compressor, size_t(data.size())))))
        produced = libdeflate_zlib_compress(compressor, data.constData(), size_t(data.size()), out.data(), size_t(out.size()));
    libdeflate_free_compressor(compressor);
    if (produced == 0) {
        qWarning("Error compressing data");
        return std::nullopt;
    }
    out.resize(qsizetype(produced));
    // The bound is about the input's size; the stream keeps only its own.
    out.squeeze();
    return out;
}

enum class Whole { Inflated, Damaged, TooLong };

// Inflates a whole zlib stream of at most maxBytes into out, through
// libdeflate, which needs room for all of the output at once: the buffer
// starts at four times the input (64 KiB at least) and grows fourfold, each
// try inflating from the start, never past maxBytes. TooLong when the
// stream holds more than maxBytes; Damaged for bad data or no memory.
Whole zlibInflateWhole(const QByteArray &data, qsizetype maxBytes, QByteArray &out)
{
    useColumnAllocator();
    libdeflate_decompressor *decompressor = libdeflate_alloc_decompressor();
    if (!decompressor)
        return Whole::Damaged;
    qsizetype room = std::min(std::max<qsizetype>(data.size() * 4, 65536), maxBytes);
    Whole result = Whole::Damaged;
    while (resizeExactly(out, room)) {
        size_t produced = 0, consumed = 0;
        const libdeflate_result status = libdeflate_zlib_decompress_ex(
            decompressor, data.constData(), size_t(data.size()), out.data(), size_t(room), &consumed, &produced);
        // Bytes after the stream's checksum are damage, not padding.
        if (status == LIBDEFLATE_SUCCESS && consumed != size_t(data.size()))
            break;
        if (status == LIBDEFLATE_SUCCESS) {
            out.resize(qsizetype(produced));
            out.squeeze();
            result = Whole::Inflated;
            break;
        }
        if (status != LIBDEFLATE_INSUFFICIENT_SPACE)
            break;
        if (room == maxBytes) {
            result = Whole::TooLong;
            break;
        }
        room = room > maxBytes / 4 ? maxBytes : room * 4;
    }
    libdeflate_free_decompressor(decompressor);
    if (result != Whole::Inflated)
        out = QByteArray();
    return result;
}

// A whole zlib stream of at most maxBytes, in one call.
std::optional<QByteArray> zlibInflateUpTo(const QByteArray &data, qsizetype maxBytes)
{
    if (data.isEmpty())
        return data;
    QByteArray out;
    if (zlibInflateWhole(data, maxBytes, out) != Whole::Inflated)
        return std::nullopt;
    return out;
}

} // namespace

std::optional<QByteArray> zlibDeflate(const QByteArray &data) { return zlibDeflateWhole(data); }
std::optional<QByteArray> zlibInflate(const QByteArray &data) { return zlibInflateUpTo(data, kNoLimit); }
std::optional<QByteArray> gzipDeflate(const QByteArray &data) { return deflateWith(data, MAX_WBITS + 16); }
std::optional<QByteArray> gzipInflate(const QByteArray &data) { return inflateWith(data, MAX_WBITS + 32, kNoLimit); }

std::optional<QByteArray> zlibInflate(const QByteArray &data, qsizetype maxBytes)
{
    return zlibInflateUpTo(data, std::max<qsizetype>(maxBytes, 0));
}

std::optional<QByteArray> gzipInflate(const QByteArray &data, qsizetype maxBytes)
{
    return inflateWith(data, MAX_WBITS + 32, std::max<qsizetype>(maxBytes, 0));
}
