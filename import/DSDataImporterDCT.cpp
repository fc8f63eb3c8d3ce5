#include "import/DSDataImporterDCT.h"

#include "import/dictionary/dct_read_data.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/util/ds_parse.h"
#include "platform/store/DSObjectPool.h"

#include <QFileInfo>

#include <cmath>
#include <cstring>

namespace {

// What the reader hands back to dct_import_cell for one file.
struct ds_dct_ctx_s
{
    QList<DSColumn *> columns;            // in entry order, owned by the pool
    // The same columns by kind, so that a cell needs no cast: one of the
    // two is set for each entry.
    QList<DSNumericDataColumn *> numeric;
    QList<DSTextDataColumn *> text;
    // The values each entry declares missing; null for none.
    QList<const QList<ds_missing_value_s> *> missing;
    const ds_stata_dct_s *dct = nullptr;
    qint32 rows = 0;
    quint64 bytes = 0;
    quint64 size = ~quint64(0);           // all bits set when unknown
    DSDataImporterDCT *importer = nullptr;
    double progressStart = 0;
    double progressEnd = 1;
};

// A number in a field whose decimal separator is ',': periods and blanks
// group digits, the comma is the decimal point. Rewrites the field in place.
double parseCommaDecimal(char *text, uint64_t length)
{
    if (length >= 200)
        return NAN;
    char *out = text;
    for (const char *in = text; *in; ++in) {
        if (*in == '.' || *in == ' ')
            continue;
        *out++ = *in == ',' ? '.' : *in;
    }
    *out = 0;
    return ds_parse_number(text, nullptr);
}

// A number in a field with implied decimal places: written without a
// period, its last `decimals` digits are the fraction ("8657336" with two
// is 86573.36); one written with a period or an exponent stands as written.
double parseImpliedDecimals(const char *text, int32_t decimals)
{
    const double x = ds_parse_number(text, ", ");
    if (decimals <= 0 || std::strpbrk(text, ".eE"))
        return x;
    // Dividing by the exact power of ten rounds once, to the nearest double.
    return x / std::pow(10.0, double(decimals));
}

// Cuts trailing blanks (' ' only) in place.
void cutTrailingBlanks(char *text, uint64_t length)
{
    while (length > 0 && text[length - 1] == ' ')
        text[--length] = 0;
}

// The importer's cell callback: appends the cell to column k, counts a row
// at each observation's first entry and publishes progress once a percent.
int dct_import_cell(uint64_t, int32_t k, char *text, uint64_t length, void *context)
{
    auto *ctx = static_cast<ds_dct_ctx_s *>(context);
    if (k == 0 && ctx->importer->asyncAbort())
        return 1;
    const double size = double(ctx->size);
    const double before = double(ctx->bytes) * 100 / size;
    ctx->bytes += length;
    const double after = double(ctx->bytes) * 100 / size;
    if (k == 0)
        ++ctx->rows;
    bool appended;
    const QList<ds_missing_value_s> *missing = ctx->missing[k];
    if (DSNumericDataColumn *numeric = ctx->numeric[k]) {
        const ds_stata_dct_entry_s &entry = ctx->dct->entries[k];
        double x = entry.decimal_char == ',' ? parseCommaDecimal(text, length)
                                             : parseImpliedDecimals(text, entry.decimals);
        if (missing && ds_is_declared_missing(*missing, x))
            x = NAN;
        appended = numeric->appendValue(x);
    } else {
        cutTrailingBlanks(text, length);
        if (missing && ds_is_declared_missing(*missing, text))
            text[0] = 0;
        appended = ctx->text[k]->appendTextValue(text);
    }
    if (!appended)
        return 1;
    if (ctx->bytes != 0 && std::floor(before) != std::floor(after))
        ctx->importer->setAsyncProgress(ctx->progressStart +
                                        (ctx->progressEnd - ctx->progressStart) * double(ctx->bytes) / size);
    return 0;
}

QString trimmedLabel(const char *label)
{
    return QString::fromUtf8(label).trimmed();
}

} // namespace

DSDataImporterDCT::DSDataImporterDCT(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

DSDataImporterDCT::~DSDataImporterDCT()
{
    dct_dictionary_free(m_dct);
}

void DSDataImporterDCT::setDct(ds_stata_dct_s *dct)
{
    if (dct != m_dct)
        dct_dictionary_free(m_dct);
    m_dct = dct;
}

bool DSDataImporterDCT::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    if (!m_dct) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("The data dictionary is missing."));
        return false;
    }
    const qsizetype n = urls().size();
    for (qsizetype i = 0; i < n; ++i) {
        const QString path = urls()[i].toLocalFile();
        const QFileInfo info(path);
        ds_dct_ctx_s ctx;
        ctx.dct = m_dct;
        ctx.importer = this;
        ctx.progressStart = double(i) / n;
        ctx.progressEnd = double(i + 1) / n;
        if (info.exists())
            ctx.size = quint64(info.size());
        auto *table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        if (!table) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("The document has no tables to import into."));
            return false;
        }
        for (int32_t k = 0; k < m_dct->num_entries; ++k) {
            const ds_stata_dct_entry_s &entry = m_dct->entries[k];
            auto *text = entry.type == 1 ? pool.insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"))
                                         : nullptr;
            auto *numeric = entry.type == 1
                                ? nullptr
                                : pool.insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
            DSColumn *column = text ? static_cast<DSColumn *>(text) : numeric;
            ctx.text.append(text);
            ctx.numeric.append(numeric);
            const QString name = QString::fromUtf8(entry.name);
            const auto missing = m_missingValues.constFind(name);
            ctx.missing.append(missing != m_missingValues.cend() && !missing->isEmpty() ? &*missing : nullptr);
            column->setName(name);
            if (const auto labels = m_valueLabels.constFind(name); labels != m_valueLabels.cend() && !labels->isEmpty()) {
                column->setCategory_labels(ds_category_labels(*labels));
                column->setTreat_as_categories(true);
            }
            if (entry.label[0])
                column->setTitle(trimmedLabel(entry.label));
            column->setIndex(k);
            column->setTable(table);
            ctx.columns.append(column);
        }
        const int result = dct_read_data(QFile::encodeName(path).constData(), m_dct, &ctx, dct_import_cell);
        if (result != DCT_READ_OK) {
            if (result != DCT_READ_STOPPED && error)
                *error = ds_make_error(1, QStringLiteral("Error parsing file: %1").arg(info.fileName()));
            else if (result == DCT_READ_STOPPED && !asyncAbort() && error)
                *error = ds_make_error(1, QStringLiteral("Out of memory"));
            return false;
        }
        table->setNum_records(ctx.rows);
        table->setName(info.completeBaseName());
        QList<DSDataColumn *> columns;
        for (DSColumn *column : ctx.columns)
            columns.append(dynamic_cast<DSDataColumn *>(column));
        if (!DSDataColumn::saveAfterImport(columns)) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("Out of memory"));
            return false;
        }
    }
    return true;
}
