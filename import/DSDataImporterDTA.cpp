#include "import/DSDataImporterDTA.h"

#include "import/ds_imported_time.h"
#include "import/ds_readstat_parse.h"
#include "import/ds_text_decoding.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_time_units.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

namespace {

// Epochs as seconds since 2001-01-01 GMT.
constexpr double k_epoch1960 = -1293926400.0;  // Stata and SAS
constexpr double k_epoch1582 = -13197686400.0; // SPSS: 1582-10-14

// How a number in a time format counts from the epoch.
enum TimeKind {
    NotTime = 0,
    Milliseconds = 1,
    MillisecondsWithLeapSeconds = 2,
    Seconds = 3,
    Days = 5,
    Weeks = 6,
    Months = 7,
    Quarters = 8,
    HalfYears = 9,
    Years = 10,
    // SPSS and SAS times: seconds since midnight, shown as a time of day.
    TimeOfDay = 11,
};

enum FileKind { Stata, SPSS, SAS };

struct TimeFormat
{
    TimeKind kind = NotTime;
    int64_t unit = 0;
};

// Stata: "%t" and a letter, then an optional picture of the display.
TimeFormat stataTimeFormat(const char *format)
{
    if (!format || std::strncmp(format, "%t", 2) != 0)
        return {};
    static const struct { char letter; TimeKind kind; int64_t unit; } k_letters[] = {
        {'c', Milliseconds, ds_time_unit_second}, {'C', MillisecondsWithLeapSeconds, ds_time_unit_second},
        {'s', Seconds, ds_time_unit_second},      {'d', Days, ds_time_unit_day},
        {'w', Weeks, ds_time_unit_week},          {'m', Months, ds_time_unit_month},
        {'q', Quarters, ds_time_unit_quarter},    {'h', HalfYears, 13},
        {'y', Years, ds_time_unit_year},
    };
    for (const auto &letter : k_letters) {
        if (format[2] != letter.letter)
            continue;
        TimeFormat time{letter.kind, letter.unit};
        if (format[3]) {
            // A picture that shows no calendar field at all keeps the unit.
            const int64_t finest = ds_format_finest_unit(format + 3, 1);
            if (finest >= 0 && finest < ds_time_unit_millennium)
                time.unit = finest;
        }
        return time;
    }
    return {};
}

// The letters a SPSS or SAS format name begins with, upper case, without a
// leading "$".
std::string formatName(const char *format)
{
    std::string name;
    if (!format)
        return name;
    if (*format == '$')
        ++format;
    for (; *format && std::isalpha(static_cast<unsigned char>(*format)); ++format)
        name += char(std::toupper(static_cast<unsigned char>(*format)));
    return name;
}

// A named time format of SPSS or SAS.
struct NamedTimeFormat
{
    const char *name;
    TimeKind kind;
    int64_t unit;
};

template <size_t N>
TimeFormat lookUp(const std::string &name, const NamedTimeFormat (&formats)[N])
{
    for (const NamedTimeFormat &entry : formats)
        if (name == entry.name)
            return {entry.kind, entry.unit};
    return {};
}

// SPSS stores every date and date-time as seconds since 1582-10-14, a time
// as seconds since midnight.
TimeFormat spssTimeFormat(const char *format)
{
    const std::string name = formatName(format);
    static const NamedTimeFormat k_formats[] = {
        {"DATE", Seconds, ds_time_unit_day},      {"ADATE", Seconds, ds_time_unit_day},
        {"EDATE", Seconds, ds_time_unit_day},     {"SDATE", Seconds, ds_time_unit_day},
        {"JDATE", Seconds, ds_time_unit_day},     {"WKYR", Seconds, ds_time_unit_week},
        {"MOYR", Seconds, ds_time_unit_month},    {"QYR", Seconds, ds_time_unit_quarter},
        {"DATETIME", Seconds, ds_time_unit_second}, {"YMDHMS", Seconds, ds_time_unit_second},
        {"TIME", TimeOfDay, ds_time_unit_second},
    };
    return lookUp(name, k_formats);
}

// SAS stores dates as days since 1960-01-01, date-times as seconds since
// then, times as seconds since midnight.
TimeFormat sasTimeFormat(const char *format)
{
    if (format && (std::strncmp(format, "E8601DA", 7) == 0 || std::strncmp(format, "B8601DA", 7) == 0))
        return {Days, ds_time_unit_day};
    if (format && (std::strncmp(format, "E8601DT", 7) == 0 || std::strncmp(format, "B8601DT", 7) == 0))
        return {Seconds, ds_time_unit_second};
    if (format && (std::strncmp(format, "E8601TM", 7) == 0 || std::strncmp(format, "B8601TM", 7) == 0))
        return {TimeOfDay, ds_time_unit_second};
    const std::string name = formatName(format);
    static const NamedTimeFormat k_formats[] = {
        {"DATE", Days, ds_time_unit_day},         {"MMDDYY", Days, ds_time_unit_day},
        {"DDMMYY", Days, ds_time_unit_day},       {"YYMMDD", Days, ds_time_unit_day},
        {"WORDDATE", Days, ds_time_unit_day},     {"WEEKDATE", Days, ds_time_unit_day},
        {"JULIAN", Days, ds_time_unit_day},       {"MONYY", Days, ds_time_unit_month},
        {"YYMM", Days, ds_time_unit_month},       {"YYQ", Days, ds_time_unit_quarter},
        {"YEAR", Days, ds_time_unit_year},        {"DATETIME", Seconds, ds_time_unit_second},
        {"DATEAMPM", Seconds, ds_time_unit_second}, {"TIME", TimeOfDay, ds_time_unit_second},
        {"HHMM", TimeOfDay, ds_time_unit_minute}, {"TOD", TimeOfDay, ds_time_unit_second},
    };
    return lookUp(name, k_formats);
}

// SAS's own formats, which the library reports where a label set would
// stand; only a user format names labels.
bool isSasOwnFormat(const char *format)
{
    const std::string name = formatName(format);
    if (name.empty() || sasTimeFormat(format).kind != NotTime)
        return true;
    static const char *const k_own[] = {
        "BEST", "F", "COMMA", "COMMAX", "DOLLAR", "DOLLARX", "E", "PERCENT", "PERCENTN", "Z", "W", "D",
        "NUMX", "CHAR", "HEX", "OCTAL", "BINARY", "ROMAN", "WORDS", "WORDF", "FRACT", "PVALUE", "NEGPAREN",
        "SSN", "EURO", "EUROX", "NLNUM", "QTR", "DAY", "DOWNAME", "MONNAME", "MONTH", "WEEKDAY", "HOUR",
        "MMSS", "DTDATE", "B", "IS", "ND", "NL", "UPCASE", "ASCII", "EBCDIC", "QUOTE", "TRAILSGN",
    };
    return std::any_of(std::begin(k_own), std::end(k_own), [&](const char *own) { return name == own; });
}

// One variable's column and how its numbers read.
struct Slot
{
    DSColumn *column = nullptr;
    DSDataColumn *data = nullptr;
    DSNumericDataColumn *numeric = nullptr;
    DSTextDataColumn *text = nullptr;
    DSTimeDataColumn *time = nullptr;
    TimeFormat format;
    QString labelSet;
};

// The per-file state the callbacks share.
struct ds_dta_ctx_s
{
    int64_t rows = -1;
    int64_t lastObservation = -1;
    FileKind kind = Stata;
    QList<Slot> slots;
    ds_value_labels valueLabels;
    DSObjectPool *pool = nullptr;
    DSDataTable *table = nullptr;
    DSDataImporterDTA *importer = nullptr;
    double epoch = k_epoch1960;
    double progressStart = 0;
    double progressEnd = 1;
    std::string decoded;
    bool failed = false;
};

// Names, labels and texts as UTF-8: the library's own conversion, else a
// Windows-1252 reading of what it let through.
const char *utf8(const char *text, std::string *buffer)
{
    if (!text)
        return nullptr;
    const size_t length = std::strlen(text);
    if (ds_is_valid_utf8(text, length))
        return text;
    return ds_decode_text(text, length, buffer) ? buffer->c_str() : nullptr;
}

// Whole calendar months (or years) from a time; NaN beyond what the
// calendar fields can hold.
double addCalendar(double from, double count, bool years)
{
    const double whole = std::trunc(count);
    if (!std::isfinite(whole) || std::fabs(whole) > 1e8)
        return NAN;
    ds_gmt_units_s step;
    (years ? step.years : step.months) = int32_t(whole);
    return ds_gmt_add_units(from, step);
}

double timeOf(double x, TimeKind kind, double epoch)
{
    if (std::isnan(x))
        return NAN;
    switch (kind) {
    case Milliseconds:
    case MillisecondsWithLeapSeconds:
        return epoch + x / 1000;
    case Seconds:
        return epoch + x;
    case Days:
        return epoch + 86400 * x;
    case Weeks:
        return epoch + 604800 * x;
    case Months:
        return addCalendar(epoch, x, false);
    case Quarters:
        return addCalendar(epoch, 3 * x, false);
    case HalfYears:
        return addCalendar(epoch, 6 * x, false);
    case Years:
        return addCalendar(0, x - 2001, true);
    case TimeOfDay:
        return x;
    case NotTime:
        break;
    }
    return NAN;
}

int dta_handle_info(int64_t observations, int64_t, void *context)
{
    static_cast<ds_dta_ctx_s *>(context)->rows = observations;
    return 0;
}

TimeFormat timeFormatOf(FileKind kind, const char *format)
{
    switch (kind) {
    case Stata:
        return stataTimeFormat(format);
    case SPSS:
        return spssTimeFormat(format);
    case SAS:
        return sasTimeFormat(format);
    }
    return {};
}

int dta_handle_variable(int32_t, const char *name, const char *format, const char *label, const char *labelSet,
                        int32_t type, void *context)
{
    auto *ctx = static_cast<ds_dta_ctx_s *>(context);
    if (ctx->importer->asyncAbort())
        return 1;
    Slot slot;
    slot.format = type == 0 ? TimeFormat{} : timeFormatOf(ctx->kind, format);
    if (type == 0)
        slot.column = slot.text = ctx->pool->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    else if (slot.format.kind == NotTime)
        slot.column = slot.numeric =
            ctx->pool->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    else
        slot.column = slot.time = ctx->pool->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    if (!slot.column) {
        ctx->failed = true;
        return 1;
    }
    slot.data = slot.text ? static_cast<DSDataColumn *>(slot.text)
                          : slot.numeric ? static_cast<DSDataColumn *>(slot.numeric) : slot.time;
    if (slot.time && slot.format.kind == TimeOfDay)
        slot.time->setRelative_time_unit(1);
    if (const char *decoded = utf8(name, &ctx->decoded))
        slot.column->setName(QString::fromUtf8(decoded));
    else
        qWarning("Nil variable name: %s", name ? name : "");
    if (const char *decoded = utf8(label, &ctx->decoded); decoded && *decoded)
        slot.column->setTitle(QString::fromUtf8(decoded));
    slot.column->setIndex(ctx->slots.size());
    slot.column->setTable(ctx->table);
    if (labelSet && *labelSet && !(ctx->kind == SAS && isSasOwnFormat(labelSet)))
        slot.labelSet = QString::fromUtf8(labelSet);
    ctx->slots.append(slot);
    return 0;
}

bool appendCell(ds_dta_ctx_s *ctx, Slot &slot, const void *value, int32_t type)
{
    if (slot.text) {
        const char *text = type == 0 && value ? utf8(static_cast<const char *>(value), &ctx->decoded) : nullptr;
        return slot.text->appendTextValue(text ? text : "");
    }
    const double x = type == 0 ? NAN : ds_readstat_number(value, type);
    if (slot.numeric)
        return slot.numeric->appendValue(x);
    double t = timeOf(x, slot.format.kind, ctx->epoch);
    double length = 0;
    if (!std::isfinite(t) || std::fabs(t) > kDSMaxImportedTime)
        t = NAN;
    else
        t = ds_time_floor(slot.format.unit, &length, t);
    return slot.time->appendTimeValue(t, std::isnan(t) ? 0 : length);
}

int dta_handle_value(int64_t observation, int32_t variable, const void *value, int32_t type, void *context)
{
    auto *ctx = static_cast<ds_dta_ctx_s *>(context);
    if (variable == 0 && ctx->importer->asyncAbort())
        return 1;
    if (variable < 0 || variable >= ctx->slots.size())
        return 0;
    ctx->lastObservation = std::max(ctx->lastObservation, observation);
    if (!appendCell(ctx, ctx->slots[variable], value, type)) {
        ctx->failed = true;
        return 1;
    }
    if (variable == 0 && ctx->rows > 0 &&
        std::floor(double(observation) * 100 / double(ctx->rows)) !=
            std::floor(double(observation + 1) * 100 / double(ctx->rows)))
        ctx->importer->setAsyncProgress(ctx->progressStart + (ctx->progressEnd - ctx->progressStart) *
                                                                 double(observation) / double(ctx->rows));
    return 0;
}

int dta_handle_value_label(const char *labelSet, const void *value, int32_t type, const char *label, void *context)
{
    auto *ctx = static_cast<ds_dta_ctx_s *>(context);
    if (ctx->importer->asyncAbort())
        return 1;
    const char *text = utf8(label, &ctx->decoded);
    if (!text || !labelSet)
        return 0;
    const QString labelText = QString::fromUtf8(text);
    QCborValue key;
    if (type == 0) {
        const char *decoded = utf8(static_cast<const char *>(value), &ctx->decoded);
        if (!decoded)
            return 0;
        key = QString::fromUtf8(decoded);
    } else if (type >= 1 && type <= 5) {
        key = ds_readstat_number(value, type);
    } else {
        return 0;
    }
    ctx->valueLabels[QString::fromUtf8(labelSet)].insert(key, labelText);
    return 0;
}

constexpr ds_readstat_callbacks_s k_callbacks{dta_handle_info, dta_handle_variable, dta_handle_value,
                                              dta_handle_value_label};

struct Reader
{
    const char *extension;
    int (*parse)(const char *, void *, const ds_readstat_callbacks_s &);
    FileKind kind;
    double epoch;
};

constexpr Reader k_readers[] = {
    {"dta", parse_dta, Stata, k_epoch1960},
    {"sav", parse_sav, SPSS, k_epoch1582},
    {"por", parse_por, SPSS, k_epoch1582},
    {"sas7bdat", parse_sas7bdat, SAS, k_epoch1960},
};

const Reader *readerFor(const QString &fileName)
{
    const QString extension = QFileInfo(fileName).suffix();
    for (const Reader &reader : k_readers)
        if (extension.compare(QLatin1String(reader.extension), Qt::CaseInsensitive) == 0)
            return &reader;
    return nullptr;
}

// Sets the row count and name, finishes every column and gives the labelled
// ones their categories, from `dict` when given, else the file's own. False
// when a column could not be stored.
bool finishTable(ds_dta_ctx_s &ctx, const QString &fileName, const ds_value_labels *dict)
{
    // A portable file does not say how many observations it holds.
    ctx.table->setNum_records(ctx.rows >= 0 ? ctx.rows : ctx.lastObservation + 1);
    ctx.table->setName(QFileInfo(fileName).completeBaseName());
    QList<DSDataColumn *> columns;
    for (const Slot &slot : ctx.slots)
        columns.append(slot.data);
    const bool saved = DSDataColumn::saveAfterImport(columns);
    const ds_value_labels &labels = dict ? *dict : ctx.valueLabels;
    for (const Slot &slot : ctx.slots) {
        if (slot.labelSet.isEmpty())
            continue;
        if (const auto set = labels.constFind(slot.labelSet); set != labels.cend())
            slot.column->setCategory_labels(ds_category_labels(*set));
        slot.column->setTreat_as_categories(true);
    }
    return saved;
}

} // namespace

DSDataImporterDTA::DSDataImporterDTA(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

bool DSDataImporterDTA::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    for (qsizetype i = 0; i < n; ++i) {
        const QString path = urls()[i].toLocalFile();
        const QString fileName = QFileInfo(path).fileName();
        const Reader *reader = readerFor(fileName);
        if (!reader) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("File format not recognized for %1").arg(fileName));
            return false;
        }
        ds_dta_ctx_s ctx;
        ctx.kind = reader->kind;
        ctx.epoch = reader->epoch;
        ctx.pool = &pool;
        ctx.importer = this;
        ctx.progressStart = double(i) / n;
        ctx.progressEnd = double(i + 1) / n;
        ctx.table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        if (!ctx.table) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("The document has no tables to import into."));
            return false;
        }
        if (reader->parse == parse_por)
            setAsyncProgressIsIndeterminate(true);
        const int result = reader->parse(QFile::encodeName(path).constData(), &ctx, k_callbacks);
        if (result != 0) {
            if (error && ctx.failed)
                *error = ds_make_error(1, QStringLiteral("Out of memory"));
            else if (error && result != ds_readstat_stopped)
                *error = ds_make_error(result, QStringLiteral("Error parsing data file: %1").arg(fileName));
            return false;
        }
        // Every SAS data file holds at least one page, and its variables
        // are described there. A file whose pages yield neither a variable
        // nor a row lost them (a zeroed page header makes the library skip
        // the page without a word): it is damaged, not an empty table.
        if (reader->kind == SAS && ctx.slots.isEmpty() && ctx.lastObservation < 0) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("Error parsing data file: %1").arg(fileName));
            return false;
        }
        if (!finishTable(ctx, fileName, m_hasValueLabelDict ? &m_valueLabelDict : nullptr)) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("Out of memory"));
            return false;
        }
    }
    return true;
}
