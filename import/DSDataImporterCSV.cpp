#include "import/DSDataImporterCSV.h"

#include "import/DSColumnSlots.h"
#include "import/ds_csv_number.h"
#include "import/ds_text_decoding.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/util/ds_parse.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>
#include <QFileInfo>

#include <csv.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

// Number styles a first cell gives a numeric column.
constexpr int k_currencyStyle = 2;
constexpr int k_percentStyle = 3;
constexpr int k_durationStyle = 500;

// The kind of a column, decided by its first non-empty cell.
enum CellKind { NumberCell, DurationCell, TimeOfDayCell, DateCell, TextCell };

CellKind kindOfCell(const char *s)
{
    if (!std::isnan(ds_parse_csv_number(s, false)))
        return NumberCell;
    if (!std::isnan(ds_parse_duration(s)))
        return DurationCell;
    if (!std::isnan(ds_parse_time_of_day(s, nullptr)))
        return TimeOfDayCell;
    if (!std::isnan(ds_parse_date(s, nullptr)))
        return DateCell;
    return TextCell;
}

// Drops a UTF-8 byte-order mark, then leading comment ("#") and blank
// lines. False when nothing is left.
bool skipPreamble(QByteArray *data)
{
    if (data->size() > 2 && data->startsWith("\xEF\xBB\xBF"))
        data->remove(0, 3);
    qsizetype start = 0;
    while (start < data->size() && ((*data)[start] == '\n' || (*data)[start] == '\r' || (*data)[start] == '#')) {
        const qsizetype lineFeed = data->indexOf('\n', start);
        if (lineFeed < 0)
            return false;
        start = lineFeed + 1;
        while (start < data->size() && ((*data)[start] == '\n' || (*data)[start] == '\r'))
            ++start;
    }
    data->remove(0, start);
    return !data->isEmpty();
}

// R writes a missing value as an unquoted NA; it decides no column's kind
// and reads as missing in every column (R's and pandas' reading too).
bool isMissingMark(const char *s, size_t length)
{
    return length == 2 && s[0] == 'N' && s[1] == 'A';
}

// Which columns of a file write their numbers with a decimal comma: those
// with a cell such as "1,5" and no "." in any cell. Found in a pass of its
// own before the columns are filled, as the last row may settle it.
struct DecimalCommaScan
{
    bool headerDone = false;
    qsizetype field = 0;
    QList<DSDecimalCommaEvidence> columns;

    static void onField(void *field, size_t, void *data)
    {
        auto *scan = static_cast<DecimalCommaScan *>(data);
        const qsizetype j = scan->field++;
        if (!scan->headerDone || !field)
            return;
        if (j >= scan->columns.size())
            scan->columns.resize(j + 1, DSDecimalCommaEvidence::None);
        const DSDecimalCommaEvidence cell = ds_decimal_comma_evidence(static_cast<const char *>(field));
        if (scan->columns[j] != DSDecimalCommaEvidence::Dot && cell != DSDecimalCommaEvidence::None)
            scan->columns[j] = cell;
    }
    static void onRow(int, void *data)
    {
        auto *scan = static_cast<DecimalCommaScan *>(data);
        scan->headerDone = true;
        scan->field = 0;
    }
};

// The columns of the text that use a decimal comma (true at their
// position). The parser is left finished; the caller initialises it again.
QList<bool> decimalCommaColumns(csv_parser *parser, const QByteArray &data)
{
    DecimalCommaScan scan;
    csv_parse(parser, data.constData(), size_t(data.size()), DecimalCommaScan::onField, DecimalCommaScan::onRow,
              &scan);
    csv_fini(parser, DecimalCommaScan::onField, DecimalCommaScan::onRow, &scan);
    QList<bool> comma;
    for (DSDecimalCommaEvidence evidence : scan.columns)
        comma.append(evidence == DSDecimalCommaEvidence::Comma);
    return comma;
}

} // namespace

struct DSDataImporterCSV::ParseContext
{
    bool headerDone = false;
    qint32 fieldIndex = 0;
    qint64 records = 0;
    QStringList names;
    DSColumnSlots slots;
    DSObjectPool *pool = nullptr;
    DSDataTable *table = nullptr;
    DSDataImporterCSV *importer = nullptr;
    quint64 totalBytes = 0;
    quint64 consumedBytes = 0;
    double progressStart = 0;
    double progressEnd = 1;
    // Set by a callback that cannot go on; later callbacks do nothing.
    bool stopped = false;
    std::optional<DSError> failure;
    std::string decoded;
    // True at the positions of columns whose numbers use a decimal comma.
    QList<bool> decimalComma;

    void fail(const QString &message)
    {
        if (!stopped)
            failure = ds_make_error(1, message);
        stopped = true;
    }
    // Makes the column of the counting slot at i for its first cell s.
    void placeColumn(qsizetype i, const char *s);
    // A percent, currency or duration style when the first cell s shows one.
    static void setNumberStyle(DSNumericDataColumn *column, const char *s, int kind);
    // Appends the non-empty cell s to the column of the slot.
    void appendCell(DSColumnSlots::Slot &slot, const char *s);
    void publishProgress();
};

void DSDataImporterCSV::ParseContext::placeColumn(qsizetype i, const char *s)
{
    const CellKind kind = kindOfCell(s);
    DSColumn *column = nullptr;
    DSDataColumn *data = nullptr;
    if (kind == NumberCell || kind == DurationCell) {
        auto *numeric = pool->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        if (numeric)
            setNumberStyle(numeric, s, kind);
        column = numeric, data = numeric;
    } else if (kind == TimeOfDayCell || kind == DateCell) {
        auto *time = pool->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        // Before the first value: a time-of-day column keeps seconds since
        // midnight of what it is given.
        if (time && kind == TimeOfDayCell)
            time->setRelative_time_unit(1);
        column = time, data = time;
    } else {
        auto *text = pool->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
        column = text, data = text;
    }
    if (!column) {
        fail(QStringLiteral("The document has no columns of this kind to import into."));
        return;
    }
    if (!slots.place(i, column, data, kind, table))
        fail(QStringLiteral("Out of memory"));
}

void DSDataImporterCSV::ParseContext::setNumberStyle(DSNumericDataColumn *column, const char *s, int kind)
{
    int style = 0;
    if (std::strchr(s, '%'))
        style = k_percentStyle;
    else if (ds_csv_shows_currency(s))
        style = k_currencyStyle;
    else if (kind == DurationCell)
        style = k_durationStyle;
    if (!style)
        return;
    // The formatter exists only once the column's dependencies are made.
    column->makeDependencies();
    if (DSNumberFormatter *formatter = column->number_formatter())
        formatter->setNumber_style(style);
}

void DSDataImporterCSV::ParseContext::appendCell(DSColumnSlots::Slot &slot, const char *s)
{
    bool appended;
    if (slot.kind == NumberCell || slot.kind == DurationCell) {
        const bool comma = fieldIndex < decimalComma.size() && decimalComma[fieldIndex];
        const double x = slot.kind == DurationCell ? ds_parse_duration(s) : ds_parse_csv_number(s, comma);
        appended = static_cast<DSNumericDataColumn *>(slot.column)->appendValue(x);
    } else if (slot.kind == TextCell) {
        // A cell that decodes neither way is stored as missing.
        const size_t length = std::strlen(s);
        const char *text = ds_is_valid_utf8(s, length)             ? s
                           : ds_decode_text(s, length, &decoded) ? decoded.c_str()
                                                                  : "";
        appended = static_cast<DSTextDataColumn *>(slot.column)->appendTextValue(text);
    } else {
        double interval = 0;
        const double t = slot.kind == TimeOfDayCell ? ds_parse_time_of_day(s, &interval) : ds_parse_date(s, &interval);
        appended = static_cast<DSTimeDataColumn *>(slot.column)->appendTimeValue(t, interval);
    }
    if (!appended)
        fail(QStringLiteral("Out of memory"));
}

void DSDataImporterCSV::ParseContext::publishProgress()
{
    const double p = progressStart + double(consumedBytes) * (progressEnd - progressStart) / double(totalBytes);
    if (std::floor(100 * p) != std::floor(100 * importer->asyncProgress()))
        importer->setAsyncProgress(p);
}

DSDataImporterCSV::DSDataImporterCSV(const QList<QUrl> &urls) : DSDataImporter(urls), m_parser(new csv_parser{})
{
}

DSDataImporterCSV::~DSDataImporterCSV()
{
    csv_free(m_parser.get());
}

void DSDataImporterCSV::fieldCallback(void *field, size_t length, void *data)
{
    auto *context = static_cast<ParseContext *>(data);
    if (context->stopped)
        return;
    const char *s = static_cast<const char *>(field);
    context->consumedBytes += length;
    if (!context->headerDone) {
        const bool decoded = ds_decode_text(s, length, &context->decoded);
        context->names.append(decoded ? QString::fromUtf8(context->decoded) : QString());
        ++context->fieldIndex;
        return;
    }
    if (DSColumnSlots::Slot *slot = context->slots.slotAt(context->fieldIndex)) {
        if (length == 0 || isMissingMark(s, length)) {
            if (!DSColumnSlots::addEmptyCell(*slot))
                context->fail(QStringLiteral("Out of memory"));
        } else {
            if (!slot->column)
                context->placeColumn(context->fieldIndex, s);
            if (slot->column)
                context->appendCell(*slot, s);
        }
    }
    if (context->fieldIndex == 0)
        ++context->records;
    ++context->fieldIndex;
}

void DSDataImporterCSV::rowCallback(int, void *data)
{
    auto *context = static_cast<ParseContext *>(data);
    if (context->stopped)
        return;
    if (!context->headerDone) {
        context->headerDone = true;
        context->slots.reset(context->names);
    } else {
        for (qsizetype i = context->fieldIndex; i < context->slots.size(); ++i)
            if (!DSColumnSlots::addEmptyCell(*context->slots.slotAt(i)))
                context->fail(QStringLiteral("Out of memory"));
    }
    context->fieldIndex = 0;
    if (context->importer->asyncAbort()) {
        context->stopped = true;
        return;
    }
    context->publishProgress();
}

void DSDataImporterCSV::teardown(ParseContext *context)
{
    context->slots.teardown();
    context->table = nullptr;
}

DSDataTable *DSDataImporterCSV::parseData(QByteArray data, const QString &fileName, DSObjectPool &pool,
                                          double progressStart, double progressEnd, std::optional<DSError> *error)
{
    error->reset();
    csv_free(m_parser.get());
    // Strict at the end too: a quote left open would otherwise take the rest
    // of the file as one field.
    if (csv_init(m_parser.get(), CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL) != 0) {
        *error = ds_make_error(1, QStringLiteral("Failed to initialize CSV parser"));
        return nullptr;
    }
    if (!skipPreamble(&data)) {
        *error = ds_make_error(1, QStringLiteral("“%1” holds no data.").arg(fileName));
        return nullptr;
    }
    ParseContext context;
    context.pool = &pool;
    context.importer = this;
    context.table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    context.totalBytes = quint64(data.size());
    context.progressStart = progressStart;
    context.progressEnd = progressEnd;
    if (!context.table) {
        *error = ds_make_error(1, QStringLiteral("The document has no tables to import into."));
        return nullptr;
    }
    const auto delimiter = (unsigned char)(m_delimiter & 0xFF);
    // Files written with ";" between fields are those of the locales that
    // write "1,5" for one and a half.
    if (delimiter == ';') {
        csv_set_delim(m_parser.get(), delimiter);
        context.decimalComma = decimalCommaColumns(m_parser.get(), data);
        csv_free(m_parser.get());
        if (csv_init(m_parser.get(), CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL) != 0) {
            *error = ds_make_error(1, QStringLiteral("Failed to initialize CSV parser"));
            return nullptr;
        }
    }
    if (m_delimiter != 0)
        csv_set_delim(m_parser.get(), delimiter);
    else
        ds_sniff_delimiter(m_parser.get(), data.constData(), size_t(data.size()));

    const size_t consumed =
        csv_parse(m_parser.get(), data.constData(), size_t(data.size()), fieldCallback, rowCallback, &context);
    const bool finished = consumed == size_t(data.size()) &&
                          csv_fini(m_parser.get(), fieldCallback, rowCallback, &context) == 0;
    if (!finished) {
        const int code = csv_error(m_parser.get());
        *error = ds_make_error(code, QStringLiteral("%1: CSV error: %2").arg(fileName, QString::fromUtf8(csv_strerror(code))));
    } else if (context.failure) {
        *error = context.failure;
    }
    if (!finished || context.stopped) {
        teardown(&context);
        return nullptr;
    }
    context.table->setNum_records(context.records);
    context.table->setName(QFileInfo(fileName).completeBaseName());
    if (!context.slots.finish()) {
        *error = ds_make_error(1, QStringLiteral("Out of memory"));
        return nullptr;
    }
    return context.table;
}

bool DSDataImporterCSV::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    for (qsizetype i = 0; i < n; ++i) {
        const QUrl &url = urls()[i];
        QFile file(url.toLocalFile());
        std::optional<DSError> failure;
        if (!file.open(QIODevice::ReadOnly))
            failure = ds_make_error(1, QStringLiteral("Failed to open file for reading: %1").arg(url.toString()));
        else if (!parseData(file.readAll(), url.fileName(), pool, double(i) / n,
                            double(i + 1) / n, &failure) &&
                 !failure && !asyncAbort())
            failure = ds_make_error(1, QStringLiteral("“%1” could not be imported.").arg(url.fileName()));
        if (failure || asyncAbort()) {
            if (error && failure)
                *error = *failure;
            return false;
        }
    }
    return true;
}
