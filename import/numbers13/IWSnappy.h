#pragma once

#include <QByteArray>

#include <optional>

// The chunk layer of a Numbers 2013 archive stream (".iwa"): chunks laid end
// to end, each a kind byte (only 0 is accepted), a 24-bit little-endian body
// length and a body that is one raw snappy block (no framing format, no
// checksum). Both functions are pure; they run on any thread.
namespace IWSnappy {

// The decompressed bytes of one raw snappy block, sized exactly as the block
// states (empty for a block that states 0); nothing when the block is not
// valid.
std::optional<QByteArray> snappyDecompressedData(const QByteArray &block);

// The decoded stream: the decompressed chunk bodies joined in chunk order.
// A stream shorter than 5 bytes decodes to an empty buffer, and 1 to 4
// bytes after the last chunk are ignored. Nothing for a chunk of another
// kind (silently), a body that runs past the end ("Bad chunk length in
// snappy stream" on standard error), a body that is not a valid block (an
// empty one included: "Error while decompressing snappy chunk"), or a
// stream that decodes to more than `maxLength` bytes (the same message).
std::optional<QByteArray> snappyIWADecompressedData(const QByteArray &stream, qsizetype maxLength = 1 << 30);

} // namespace IWSnappy
