#include "import/numbers13/IWSnappy.h"

#include <QList>

#include <snappy-c.h>

#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

// The stand-in of the method name the two diagnostics begin with.
constexpr const char *k_diagnosticSource = "-[NSData(IWSnappy) snappyIWADecompressedData]";

} // namespace

namespace IWSnappy {

std::optional<QByteArray> snappyDecompressedData(const QByteArray &block)
{
    const char *bytes = block.constData();
    const size_t size = size_t(block.size());
    if (snappy_validate_compressed_buffer(bytes, size) != SNAPPY_OK)
        return std::nullopt;
    size_t length = 0;
    if (snappy_uncompressed_length(bytes, size, &length) != SNAPPY_OK || length > size_t(std::numeric_limits<qsizetype>::max() / 2))
        return std::nullopt;
    QByteArray out(qsizetype(length), Qt::Uninitialized);
    size_t produced = length;
    if (length > 0 && snappy_uncompress(bytes, size, out.data(), &produced) != SNAPPY_OK)
        return std::nullopt;
    out.truncate(qsizetype(produced));
    return out;
}

std::optional<QByteArray> snappyIWADecompressedData(const QByteArray &stream, qsizetype maxLength)
{
    const qsizetype total = stream.size();
    QList<QByteArray> chunks;
    qsizetype length = 0;
    qsizetype c = 0;
    while (total >= 5 && c + 4 < total) {
        const auto *header = reinterpret_cast<const uint8_t *>(stream.constData() + c);
        if (header[0] != 0)
            return std::nullopt;
        const qsizetype bodyLength = qsizetype(header[1]) | qsizetype(header[2]) << 8 | qsizetype(header[3]) << 16;
        if (c + 4 + bodyLength > total) {
            std::fprintf(stderr, "%s: Bad chunk length in snappy stream\n", k_diagnosticSource);
            return std::nullopt;
        }
        std::optional<QByteArray> chunk = snappyDecompressedData(QByteArray::fromRawData(stream.constData() + c + 4, bodyLength));
        if (!chunk || chunk->size() > maxLength - length) {
            std::fprintf(stderr, "%s: Error while decompressing snappy chunk\n", k_diagnosticSource);
            return std::nullopt;
        }
        length += chunk->size();
        chunks.append(std::move(*chunk));
        c += 4 + bodyLength;
    }
    QByteArray out;
    out.reserve(length);
    for (const QByteArray &chunk : chunks)
        out.append(chunk);
    return out;
}

} // namespace IWSnappy
