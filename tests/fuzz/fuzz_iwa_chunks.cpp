// libFuzzer target of the Numbers 2013 archive streams. An input whose
// first byte is 0 is a chunked stream as an entry holds it; any other input
// is the decoded object layer itself, so that mutations reach the archive
// headers and payloads without breaking snappy blocks. Every payload of a
// type the importer reads is parsed into its message; the others are
// skipped by their lengths.
#include "import/numbers13/DSIWAStream.h"
#include "import/numbers13/IWSnappy.h"

#include "DSNumbers13TN.pb.h"
#include "DSNumbers13TSP.pb.h"
#include "DSNumbers13TST.pb.h"
#include "DSNumbers13TSWP.pb.h"

#include <google/protobuf/stubs/logging.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

std::unique_ptr<google::protobuf::MessageLite> messageOfType(uint32_t type)
{
    switch (type) {
    case 1:
        return std::make_unique<TN::DocumentArchive>();
    case 2:
        return std::make_unique<TN::SheetArchive>();
    case 2001:
        return std::make_unique<TSWP::StorageArchive>();
    case 6001:
        return std::make_unique<TST::TableModelArchive>();
    case 6002:
        return std::make_unique<TST::Tile>();
    case 6005:
        return std::make_unique<TST::TableDataList>();
    case 6218:
        return std::make_unique<TST::RichTextPayloadArchive>();
    case 11006:
        return std::make_unique<TSP::PackageMetadata>();
    default:
        return nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The runtime logs every message that lacks a required field.
    google::protobuf::LogSilencer silence;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    std::optional<QByteArray> decoded = data[0] == 0 ? IWSnappy::snappyIWADecompressedData(input) : input;
    if (!decoded)
        return 0;
    DSIWAStream stream(std::move(*decoded));
    while (stream.bytesRemain()) {
        const std::unique_ptr<TSP::ArchiveInfo> archive = stream.archiveInfoFromStream(nullptr);
        if (!archive)
            break;
        for (const TSP::MessageInfo &info : archive->message_infos()) {
            if (std::unique_ptr<google::protobuf::MessageLite> message = messageOfType(info.type()))
                stream.parsePayload(info.length(), *message);
            else
                stream.skipPayload(info.length());
        }
    }
    return 0;
}
