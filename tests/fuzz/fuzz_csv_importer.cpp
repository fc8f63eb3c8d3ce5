// libFuzzer target of the delimited-text importer: the first byte picks the
// delimiter (detected, comma, tab or semicolon), the rest is a file's text.
// Every table that comes out is read back, so saving and decoding its
// columns run on what the parse stored.
#include "app/ds_register_model_classes.h"
#include "import/DSDataImporterCSV.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

std::shared_ptr<const DSManagedObjectModel> model()
{
    static const auto loaded = [] {
        ds_register_application_defaults();
        ds_register_model_classes();
        return DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    }();
    return loaded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const qint64 delimiters[] = {0, ',', '\t', ';'};
    DSObjectPool pool(model());
    DSDataImporterCSV importer({});
    importer.setDelimiter(delimiters[data[0] % 4]);
    std::optional<DSError> error;
    const QByteArray text(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (DSDataTable *table = importer.parseData(text, QStringLiteral("fuzz.csv"), pool, 0, 1, &error)) {
        for (DSColumn *column : table->sortedColumns()) {
            qint64 k = 0;
            if (auto *numeric = ds_object_cast<DSNumericDataColumn>(column)) {
                const double *values = nullptr;
                k = numeric->getValues(&values);
            } else if (auto *time = ds_object_cast<DSTimeDataColumn>(column)) {
                const double *values = nullptr, *intervals = nullptr;
                k = time->getTimeValues(&values, &intervals);
            } else if (auto *text = ds_object_cast<DSTextDataColumn>(column)) {
                const char *const *texts = nullptr;
                k = text->getTextValues(&texts);
                size_t bytes = 0;
                for (qint64 i = 0; i < k; ++i)
                    bytes += std::strlen(texts[i] ? texts[i] : "");
                if (bytes > 3 * size)  // Windows-1252 bytes take up to 3 in UTF-8
                    __builtin_trap();
            }
            // A column never holds more rows than its table.
            if (k > table->num_records())
                __builtin_trap();
        }
    }
    return 0;
}
