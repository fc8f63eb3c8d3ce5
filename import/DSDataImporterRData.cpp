#include "import/DSDataImporterRData.h"

#include "import/ds_decompress_file.h"
#include "import/ds_imported_time.h"
#include "import/ds_rdata_parse.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_compression.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/store/DSObjectPool.h"

#include <QCborMap>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>
#include <utility>

namespace {

// The per-file state the callbacks share.
struct ds_rdata_ctx_s
{
    QList<DSDataTable *> tables;   // owned by the pool
    DSObjectPool *pool = nullptr;
    // The object that takes the columns now; none while an object is
    // skipped (R's random seed).
    DSDataTable *table = nullptr;
    QCborMap pendingLabels;
    DSColumn *column = nullptr;
    DSDataImporterRData *importer = nullptr;
    QString defaultName;
    // An .rds holds one object, whose table is made before the parse; the
    // library's own report of it makes no second one.
    bool singleObject = false;
    // Set when a callback stopped the parse for a fault of the file or of
    // memory, not for an abort.
    bool failed = false;
};

int rdata_handle_table(const char *name, void *context)
{
    auto *ctx = static_cast<ds_rdata_ctx_s *>(context);
    if (ctx->importer->asyncAbort())
        return 1;
    if (ctx->singleObject && ctx->table)
        return 0;
    const QString tableName = name ? QString::fromUtf8(name) : ctx->defaultName;
    ctx->column = nullptr;
    ctx->pendingLabels = {};
    ctx->table = nullptr;
    if (tableName == QLatin1String(".Random.seed"))
        return 0;
    ctx->table = ctx->pool->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    if (!ctx->table) {
        ctx->failed = true;
        return 1;
    }
    ctx->table->setName(tableName);
    ctx->tables.append(ctx->table);
    return 0;
}

// A day start in GMT, as R writes a date-time at midnight.
bool isDayStart(double unixSeconds)
{
    return std::fmod(unixSeconds, 86400.0) == 0;
}

DSColumn *makeTimeColumn(ds_rdata_ctx_s *ctx, const double *seconds, int64_t count)
{
    auto *column = ctx->pool->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    if (!column)
        return nullptr;
    // A missing value tells nothing of the column's precision.
    bool days = true;
    for (int64_t i = 0; i < count && days; ++i)
        days = std::isnan(seconds[i]) || isDayStart(seconds[i]);
    const double interval = days ? 86400 : 1;
    for (int64_t i = 0; i < count; ++i) {
        const double t = seconds[i] - kDSUnixToAbsoluteTime;
        const bool missing = !std::isfinite(t) || std::fabs(t) > kDSMaxImportedTime;
        if (!column->appendTimeValue(missing ? double(NAN) : t, missing ? 0 : interval))
            return nullptr;
    }
    return column->save() ? column : nullptr;
}

// R keeps infinities, so the values are stored as they are rather than
// appended (which reads an infinity as missing).
DSColumn *makeNumericColumn(ds_rdata_ctx_s *ctx, int32_t type, const void *values, int64_t count)
{
    auto *column = ctx->pool->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    if (!column)
        return nullptr;
    QByteArray doubles;
    doubles.resize(qsizetype(count) * qsizetype(sizeof(double)));
    auto *x = reinterpret_cast<double *>(doubles.data());
    for (int64_t i = 0; i < count; ++i) {
        if (type == 3) {
            const int32_t n = static_cast<const int32_t *>(values)[i];
            x[i] = n == std::numeric_limits<int32_t>::min() ? std::nan("") : double(n);
        } else {
            x[i] = static_cast<const double *>(values)[i];
        }
    }
    if (count == 0) {
        column->setValues(QByteArray(""));
        return column;
    }
    std::optional<QByteArray> deflated = zlibDeflate(doubles);
    if (!deflated)
        return nullptr;
    column->setValues(*deflated);
    return column;
}

int rdata_handle_column(const char *name, int32_t type, bool date, const void *values, int64_t count, void *context)
{
    auto *ctx = static_cast<ds_rdata_ctx_s *>(context);
    if (ctx->importer->asyncAbort())
        return 1;
    const QCborMap labels = std::exchange(ctx->pendingLabels, {});
    if (!ctx->table)
        return 0;
    if (count < 0) {
        ctx->failed = true;
        return 1;
    }
    if (ctx->table->num_records() == 0) {
        ctx->table->setNum_records(count);
    } else if (ctx->table->num_records() != count) {
        ctx->failed = true;
        return 1;
    }
    DSColumn *column = nullptr;
    if (type == 0)
        column = ctx->pool->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    else if (type == 5 && date)
        column = makeTimeColumn(ctx, static_cast<const double *>(values), count);
    else if (type == 5 || type == 3)
        column = makeNumericColumn(ctx, type, values, count);
    else
        return 0;
    if (!column) {
        ctx->failed = true;
        return 1;
    }
    column->setName(name ? QString::fromUtf8(name) : ctx->defaultName);
    column->setIndex(ctx->table->columns().size());
    column->setTable(ctx->table);
    column->setTreat_as_categories(!labels.isEmpty());
    if (!labels.isEmpty())
        column->setCategory_labels(labels);
    ctx->column = column;
    return 0;
}

int rdata_handle_column_name(const char *name, int32_t position, void *context)
{
    auto *ctx = static_cast<ds_rdata_ctx_s *>(context);
    if (ctx->importer->asyncAbort())
        return 1;
    if (ctx->table && name)
        if (DSColumn *column = ctx->table->columnAtIndex(position))
            column->setName(QString::fromUtf8(name));
    return 0;
}

int rdata_handle_text_value(const char *text, int32_t, void *context)
{
    auto *ctx = static_cast<ds_rdata_ctx_s *>(context);
    if (ctx->importer->asyncAbort())
        return 1;
    if (auto *column = dynamic_cast<DSTextDataColumn *>(ctx->column))
        if (!column->appendTextValue(text ? text : "")) {
            ctx->failed = true;
            return 1;
        }
    return 0;
}

int rdata_handle_value_label(const char *label, int32_t position, void *context)
{
    auto *ctx = static_cast<ds_rdata_ctx_s *>(context);
    if (ctx->importer->asyncAbort())
        return 1;
    ctx->pendingLabels.insert(QCborValue(double(position) + 1), QString::fromUtf8(label ? label : ""));
    return 0;
}

constexpr ds_rdata_callbacks_s k_callbacks{rdata_handle_table, rdata_handle_column, rdata_handle_column_name,
                                           rdata_handle_text_value, rdata_handle_value_label};

// Stores every text column of the file's tables.
bool saveTextColumns(const QList<DSDataTable *> &tables)
{
    for (DSDataTable *table : tables)
        for (DSColumn *column : table->columns())
            if (auto *text = dynamic_cast<DSTextDataColumn *>(column); text && !text->save())
                return false;
    return true;
}

} // namespace

DSDataImporterRData::DSDataImporterRData(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

bool DSDataImporterRData::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    for (const QUrl &url : urls()) {
        const QString fileName = url.fileName();
        const auto fail = [&](const QString &message) {
            if (error)
                *error = ds_make_error(1, message.arg(fileName));
            return false;
        };
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Error opening the RData file: %1"));
        QByteArray bytes = file.readAll();
        if (bytes.size() < 2)
            return fail(QStringLiteral("Error reading from the RData file: %1"));
        std::optional<QByteArray> unpacked = ds_decompress_file(std::move(bytes));
        if (!unpacked)
            return fail(QStringLiteral("Error parsing the RData file: %1"));
        bytes = std::move(*unpacked);
        ds_rdata_ctx_s ctx;
        ctx.pool = &pool;
        ctx.importer = this;
        ctx.defaultName = QFileInfo(fileName).completeBaseName();
        int result;
        ctx.singleObject = QFileInfo(fileName).suffix().compare(QLatin1String("rds"), Qt::CaseInsensitive) == 0;
        if (ctx.singleObject)
            result = rdata_handle_table(nullptr, &ctx) != 0 ? ds_rdata_stopped : parse_rds(bytes, &ctx, k_callbacks);
        else
            result = parse_rdata(bytes, &ctx, k_callbacks);
        // librdata goes on past a callback that stopped inside a deferred
        // text column, so a failure can come back as success.
        if (result == 0 && (ctx.failed || !saveTextColumns(ctx.tables))) {
            ctx.failed = true;
            result = ds_rdata_stopped;
        }
        if (result != 0)
            return asyncAbort() && !ctx.failed ? false : fail(QStringLiteral("Error parsing the RData file: %1"));
    }
    return true;
}
