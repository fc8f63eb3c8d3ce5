#pragma once

#include "model/DSError.h"

#include <QByteArray>

#include <google/protobuf/io/coded_stream.h>

#include <cstdint>
#include <memory>
#include <optional>

class ZipFile;

namespace google::protobuf {
class MessageLite;
}
namespace TSP {
class ArchiveInfo;
}

// The object layer of one decoded archive stream: archives laid end to
// end, each a varint header length, a TSP.ArchiveInfo header of that many
// bytes and one payload per message entry of the header, of the length the
// entry states. A reader walks it as
//
//     while (stream.bytesRemain()) {
//         header = stream.archiveInfoFromStream(&error)  // stop on failure
//         for each message entry: stream.parsePayload(length, message)
//                                 or stream.skipPayload(length)
//     }
//
// Every payload is read under a limit of its own length, so a reader never
// depends on the payloads it does not read, and no length read from the
// stream moves the cursor past the end of the bytes (a payload that claims
// more ends at the end; what follows finds nothing). Reads stop at 64 MiB;
// messages nest at most 100 deep.
//
// The stream reads the decoded bytes in place: it keeps them alive. One
// thread at a time.
class DSIWAStream
{
public:
    static constexpr int k_totalBytesLimit = 64 << 20;

    explicit DSIWAStream(QByteArray decoded);
    ~DSIWAStream();
    DSIWAStream(const DSIWAStream &) = delete;
    DSIWAStream &operator=(const DSIWAStream &) = delete;

    // The decoded stream of the zip file's current entry (chosen before with
    // locateFileInZip): nothing when its read gives no bytes or its chunks
    // do not decode. The zip layer's exceptions pass through.
    static std::optional<QByteArray> dataForCurrentIWAFileInZipFile(ZipFile &zip);
    // The decoded stream of the named entry; nothing when the archive has
    // no such entry or it does not decode.
    static std::optional<QByteArray> dataForIWAFile(ZipFile &zip, const QString &entry);

    // Whether bytes remain before the current limit (another archive).
    bool bytesRemain();

    // The next archive's header, which the caller owns; the stream then
    // stands at its first payload. Null with "Failed to read archive info
    // length" when the length varint cannot be read, or "Failed to read
    // archive info" when the header is short, malformed or lacks a required
    // field (error may be null).
    std::unique_ptr<TSP::ArchiveInfo> archiveInfoFromStream(DSError *error);

    // Parses the next payload, `length` bytes, into the message (cleared
    // first). False when it is malformed, truncated or lacks a required
    // field anywhere in its tree; the message is then partly filled. The
    // stream stands after the payload either way.
    bool parsePayload(uint32_t length, google::protobuf::MessageLite &message);
    // Passes over the next payload of `length` bytes.
    void skipPayload(uint32_t length);

private:
    QByteArray m_bytes;
    google::protobuf::io::CodedInputStream m_coded;
};
