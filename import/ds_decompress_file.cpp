#include "import/ds_decompress_file.h"

#include "model/ds_compression.h"

#include <bzlib.h>
#include <lzma.h>

#include <algorithm>
#include <climits>

namespace {

// The output grows by doubling from about four times the input, R's usual
// ratio, so a large file costs a few reallocations.
qsizetype nextCapacity(qsizetype used, qsizetype inputSize)
{
    return std::max<qsizetype>({used * 2, inputSize * 4, 1 << 16});
}

std::optional<QByteArray> bzip2Inflate(const QByteArray &data)
{
    bz_stream stream{};
    if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK)
        return std::nullopt;
    QByteArray out;
    qsizetype used = 0;
    stream.next_in = const_cast<char *>(data.constData());
    // bzip2's counts are 32-bit: the input goes in in slices.
    qsizetype fed = 0;
    int status = BZ_OK;
    while (status == BZ_OK) {
        if (stream.avail_in == 0 && fed < data.size()) {
            const qsizetype slice = std::min<qsizetype>(data.size() - fed, INT_MAX);
            stream.next_in = const_cast<char *>(data.constData()) + fed;
            stream.avail_in = unsigned(slice);
            fed += slice;
        }
        if (used == out.size())
            out.resize(nextCapacity(used, data.size()));
        const qsizetype room = std::min<qsizetype>(out.size() - used, INT_MAX);
        stream.next_out = out.data() + used;
        stream.avail_out = unsigned(room);
        const unsigned availIn = stream.avail_in;
        status = BZ2_bzDecompress(&stream);
        used += room - qsizetype(stream.avail_out);
        // No progress with the whole input given: the stream is cut short.
        if (status == BZ_OK && fed == data.size() && availIn == 0 && stream.avail_out == unsigned(room))
            status = BZ_UNEXPECTED_EOF;
    }
    const bool whole = status == BZ_STREAM_END && stream.avail_in == 0 && fed == data.size();
    BZ2_bzDecompressEnd(&stream);
    if (!whole)
        return std::nullopt;
    out.truncate(used);
    return out;
}

std::optional<QByteArray> xzInflate(const QByteArray &data)
{
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_stream_decoder(&stream, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK)
        return std::nullopt;
    QByteArray out;
    qsizetype used = 0;
    stream.next_in = reinterpret_cast<const uint8_t *>(data.constData());
    stream.avail_in = size_t(data.size());
    lzma_ret status = LZMA_OK;
    while (status == LZMA_OK) {
        if (used == out.size())
            out.resize(nextCapacity(used, data.size()));
        stream.next_out = reinterpret_cast<uint8_t *>(out.data()) + used;
        stream.avail_out = size_t(out.size() - used);
        const size_t room = stream.avail_out;
        status = lzma_code(&stream, stream.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
        used += qsizetype(room - stream.avail_out);
    }
    const bool whole = status == LZMA_STREAM_END && stream.avail_in == 0;
    lzma_end(&stream);
    if (!whole)
        return std::nullopt;
    out.truncate(used);
    return out;
}

} // namespace

std::optional<QByteArray> ds_decompress_file(QByteArray bytes)
{
    if (bytes.startsWith("\x1F\x8B"))
        return gzipInflate(bytes);
    if (bytes.startsWith("BZh"))
        return bzip2Inflate(bytes);
    if (bytes.startsWith("\xFD" "7zXZ"))
        return xzInflate(bytes);
    return bytes;
}
