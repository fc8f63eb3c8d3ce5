// libFuzzer target of the Numbers 2013 tile reader: the rows of a tile
// turned into a table and read back. An input whose first byte is 0 is a
// TST.Tile message; any other input is one data row under a header row:
// its first byte the cell count, its second the number of slots, then two
// bytes of offset per slot, and the rest the cell records. The string,
// rich-text and format tables hold keys 1 to 3.
#include "fuzz_support.h"

#include "import/numbers13/DSNumbers13TableBuilder.h"
#include "platform/store/DSObjectPool.h"

#include "DSNumbers13TST.pb.h"

#include <google/protobuf/stubs/logging.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// A header row of `slots` texts (key 1) and the input's row.
bool rowsOfInput(const uint8_t *data, size_t size, TST::Tile &tile)
{
    if (size < 2)
        return false;
    const size_t slots = data[1];
    if (size < 2 + 2 * slots)
        return false;
    std::string headerOffsets, headerStorage;
    for (size_t s = 0; s < slots; ++s) {
        const size_t offset = headerStorage.size();
        headerOffsets += char(offset & 0xFF);
        headerOffsets += char(offset >> 8);
        std::string record(24, '\0');
        record[0] = 3, record[2] = 3, record[3] = char(0xFF), record[4] = char(0xA0), record[20] = 1;
        headerStorage += record;
    }
    TST::TileRowInfo *header = tile.add_rows();
    header->set_tile_row_index(0);
    header->set_cell_count(uint32_t(slots));
    header->set_cell_offsets(headerOffsets);
    header->set_cell_storage(headerStorage);
    TST::TileRowInfo *row = tile.add_rows();
    row->set_tile_row_index(1);
    row->set_cell_count(data[0]);
    row->set_cell_offsets(std::string(reinterpret_cast<const char *>(data + 2), 2 * slots));
    row->set_cell_storage(std::string(reinterpret_cast<const char *>(data + 2 + 2 * slots), size - 2 - 2 * slots));
    *tile.add_rows() = *row;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    google::protobuf::LogSilencer silence;
    TST::Tile tile;
    if (data[0] == 0 ? !tile.ParseFromArray(data + 1, int(size - 1)) : !rowsOfInput(data + 1, size - 1, tile))
        return 0;
    static const DSNumbers13TableBuilder::KeyedStrings strings{
        {1, QStringLiteral("one")}, {2, QStringLiteral("two")}, {3, QStringLiteral("three")}};
    static const DSNumbers13TableBuilder::KeyedStrings formats{
        {1, QStringLiteral("0.00%")}, {2, QStringLiteral("yyyy-MM-dd HH:mm")}, {3, QStringLiteral("h:mm a")}};
    DSObjectPool pool(ds_fuzz_model());
    DSNumbers13TableBuilder builder(pool, QStringLiteral("fuzz"), &strings, &strings, &formats);
    if (!builder.addTile(tile) || !builder.finish()) {
        builder.teardown();
        return 0;
    }
    ds_fuzz_read_back(pool, 0);
    return 0;
}
