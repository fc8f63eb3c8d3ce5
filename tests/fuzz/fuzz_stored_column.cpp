// libFuzzer target of a stored column array read back. The first byte picks
// the kind (even: a numeric column's doubles, odd: a text column's texts
// and offsets), the next two the rows its table holds (little-endian), the
// rest is the stored data (texts: a two-byte length of the texts' stream,
// that stream, then the offsets' stream).
//
// The check functions answer either a sound array (whole 8-byte entries,
// no more than the rows; texts ending in a NUL, every offset blank or
// inside them) or damage with nothing; a column of a table holding the
// same data reads as many values, or none and every row missing when it is
// damaged. The bytes also go through gzipInflate with a limit.
#include "fuzz_support.h"

#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/ds_compression.h"
#include "model/ds_row_mask.h"
#include "model/ds_stored_arrays.h"
#include "platform/store/DSObjectPool.h"

#include <QLoggingCategory>

#include <cstring>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Every row of the column is missing when it is damaged, and it holds no
// more values than rows.
void checkColumn(DSColumn *column, qint64 valuesRead, qint64 rows)
{
    check(valuesRead <= rows);
    const uint8_t *missing = nullptr;
    const qint64 bytes = column->getMissingMask(&missing);
    if (!column->isDamaged())
        return;
    check(valuesRead == 0 && !column->isEditable());
    for (qint64 row = 0; row < rows; ++row)
        check(missing && row / 8 < bytes && ds_mask_test(missing, row));
}

void readNumeric(const QByteArray &stored, qint64 rows)
{
    QByteArray out;
    if (ds_inflate_stored_doubles(stored, rows, &out))
        check(out.size() % 8 == 0 && out.size() <= rows * 8);
    else
        check(out.isEmpty());

    DSObjectPool pool(ds_fuzz_model());
    auto *table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    auto *column = pool.insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    table->insertNewColumns({column}, 0);
    table->setNum_records(rows);
    column->setPrimitiveValue(stored, QStringLiteral("values"));
    const double *values = nullptr;
    checkColumn(column, column->getValues(&values), rows);
    QList<DSColumn *> damaged;
    table->checkStoredRows(&damaged);
    check(damaged.isEmpty() != column->isDamaged());
}

void readTexts(const QByteArray &texts, const QByteArray &offsets, qint64 rows)
{
    QByteArray inflatedTexts, inflatedOffsets;
    if (ds_inflate_stored_texts(texts, offsets, rows, &inflatedTexts, &inflatedOffsets)) {
        check(inflatedOffsets.size() % 8 == 0 && inflatedOffsets.size() <= rows * 8);
        check(inflatedTexts.isEmpty() || inflatedTexts.back() == '\0');
        for (qsizetype i = 0; i < inflatedOffsets.size(); i += 8) {
            int64_t at;
            std::memcpy(&at, inflatedOffsets.constData() + i, sizeof at);
            check(at == -1 || (at >= 0 && at < inflatedTexts.size()));
        }
    } else {
        check(inflatedTexts.isEmpty() && inflatedOffsets.isEmpty());
    }

    DSObjectPool pool(ds_fuzz_model());
    auto *table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    auto *column = pool.insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    table->insertNewColumns({column}, 0);
    table->setNum_records(rows);
    column->setPrimitiveValue(texts, QStringLiteral("text_values"));
    column->setPrimitiveValue(offsets, QStringLiteral("text_offsets"));
    const char *const *read = nullptr;
    const qint64 count = column->getTextValues(&read);
    for (qint64 i = 0; i < count; ++i)
        check(!read[i] || std::strlen(read[i]) < size_t(inflatedTexts.size()));
    checkColumn(column, count, rows);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Every damaged column is logged; thousands of lines a second would
    // drown the fuzzer's own.
    static const bool quiet = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
        return true;
    }();
    (void)quiet;
    if (size < 3)
        return 0;
    const bool texts = data[0] & 1;
    const qint64 rows = qint64(data[1]) | qint64(data[2]) << 8;
    const QByteArray stored(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));
    if (const std::optional<QByteArray> gz = gzipInflate(stored, 1 << 20))
        check(gz->size() <= 1 << 20);
    if (!texts) {
        readNumeric(stored, rows);
        return 0;
    }
    if (stored.size() < 2)
        return 0;
    const qsizetype textBytes = std::min<qsizetype>(qsizetype(uint8_t(stored[0])) | qsizetype(uint8_t(stored[1])) << 8,
                                                    stored.size() - 2);
    readTexts(stored.mid(2, textBytes), stored.mid(2 + textBytes), rows);
    return 0;
}
