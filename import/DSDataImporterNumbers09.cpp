#include "import/DSDataImporterNumbers09.h"

#include "import/DSColumnSlots.h"
#include "import/DSXMLReader.h"
#include "import/ZipException.h"
#include "import/ZipFile.h"
#include "import/ds_import_error.h"
#include "import/ds_imported_time.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_time_units.h"
#include "model/util/ds_labels.h"
#include "model/util/ds_parse.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/store/DSObjectPool.h"

#include <QHash>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

enum ColumnKind { NumericColumn = 1, TimeColumn, TextColumn };

constexpr int64_t k_day = 9;

// xml_name_matches with the prefix and the local name written as one
// qualified name ("sf:grid").
bool matches(const char *name, const char *qualified)
{
    const char *local = std::strchr(qualified, ':') + 1;
    if (strcasecmp(name, local) == 0)
        return true;
    const size_t n = size_t(local - qualified);
    return strncasecmp(name, qualified, n) == 0 && strcasecmp(name + n, local) == 0;
}

// The value of the attribute the qualified name matches: the first or the
// last of them; null when there is none.
const char *attributeOf(const char **attributes, const char *qualified, bool last = false)
{
    const char *value = nullptr;
    for (const char **a = attributes; a[0]; a += 2)
        if (matches(a[0], qualified)) {
            value = a[1];
            if (!last)
                break;
        }
    return value;
}

int32_t integerAttribute(const char **attributes, const char *qualified, int32_t absent)
{
    const char *value = attributeOf(attributes, qualified);
    return value ? int32_t(std::strtol(value, nullptr, 10)) : absent;
}

// The parse of one "index.xml": the state the handlers share.
class IndexReader : public DSXMLReader
{
public:
    explicit IndexReader(DSObjectPool &pool)
        : m_pool(pool), m_dateFormatter(QLocale(), DSPlatformDateFormatter::MediumStyle, DSPlatformDateFormatter::NoStyle)
    {
    }
    ~IndexReader() override { m_slots.teardown(); }

    // False after a cell that does not fit its grid (the parse was stopped).
    bool fitted() const { return m_fitted; }

protected:
    void startElement(const char *name, const char **attributes) override;
    void endElement(const char *name) override;
    void characters(const char *text, int length) override
    {
        if (m_inParagraph)
            m_text.append(text, length);
    }

private:
    void startGrid(const char **attributes);
    void endGrid();
    void endDate();
    void cellValue(const char *valueText, bool number, bool duration);
    bool placeColumn(qsizetype k, int kind, bool duration, bool timeOfDay);
    void missing(qsizetype k);
    void advance();
    void fail()
    {
        m_fitted = false;
        stop();
    }
    DSColumnSlots::Slot *currentSlot();

    DSObjectPool &m_pool;
    QByteArray m_text;
    bool m_inWorkspace = false, m_inGrid = false, m_inDatasource = false, m_inDate = false, m_inText = false,
         m_inParagraph = false, m_headerDone = false;
    int32_t m_rowCount = 0, m_columnCount = 0, m_row = 0, m_column = 0, m_depth = 0;
    double m_dateValue = NAN;
    int64_t m_dateStyle = -1;
    DSPlatformDateFormatter m_dateFormatter;
    QHash<int64_t, QByteArray> m_dateFormats;
    QStringList m_names;
    DSColumnSlots m_slots;
    QList<int32_t> m_columnCellCounts, m_rowCellCounts;
    DSDataTable *m_table = nullptr;
    QString m_tableName;
    bool m_fitted = true;
};

void IndexReader::startElement(const char *name, const char **attributes)
{
    m_text.clear();
    if (matches(name, "ls:workspace"))
        m_inWorkspace = true;
    if (m_inWorkspace) {
        if (matches(name, "sf:tabular-model")) {
            const char *tableName = attributeOf(attributes, "sf:name", true);
            m_tableName = tableName ? QString::fromUtf8(tableName) : QString();
        } else if (matches(name, "sf:grid")) {
            startGrid(attributes);
        }
    }
    if (m_inGrid) {
        if (matches(name, "sf:grid-row")) {
            m_rowCellCounts.append(integerAttribute(attributes, "sf:nc", m_columnCount));
        } else if (matches(name, "sf:grid-column")) {
            m_columnCellCounts.append(integerAttribute(attributes, "sf:nc", m_rowCount));
        } else if (matches(name, "sf:datasource")) {
            m_row = m_column = 0;
            m_inDatasource = true;
            return;
        }
    }
    if (!m_inDatasource)
        return;
    ++m_depth;
    if (matches(name, "sf:t")) {
        m_inText = true;
        return;
    }
    const char *valueText = nullptr;
    bool number = false, duration = false;
    if (matches(name, "sf:n")) {
        valueText = attributeOf(attributes, "sf:v");
        valueText = valueText ? valueText : "0";
        number = true;
    } else if (matches(name, "sf:du")) {
        valueText = attributeOf(attributes, "sf:du");
        valueText = valueText ? valueText : "0";
        number = duration = true;
    } else if (matches(name, "sf:d")) {
        const char *date = attributeOf(attributes, "sf:cell-date");
        m_dateValue = date ? double(std::strtoll(date, nullptr, 10)) : NAN;
        long style = -1;
        const char *s = attributeOf(attributes, "sf:s");
        m_dateStyle = s && std::sscanf(s, "SFTCellStyle-%ld", &style) == 1 ? style : -1;
        m_inDate = true;
        return;
    } else if (m_inDate && matches(name, "sf:date-format")) {
        if (const char *format = attributeOf(attributes, "sf:fmt"))
            m_dateFormats.insert(m_dateStyle, format);
    } else if (m_inText && matches(name, "sf:ct")) {
        valueText = attributeOf(attributes, "sfa:s");
    } else if (m_inText && matches(name, "sf:p")) {
        m_inParagraph = true;
        return;
    }
    if ((valueText || m_depth == 1) && m_row < m_rowCount)
        cellValue(valueText, number, duration);
}

void IndexReader::endElement(const char *name)
{
    if (matches(name, "ls:workspace"))
        m_inWorkspace = false;
    if (matches(name, "sf:datasource"))
        m_inDatasource = false;
    if (m_inGrid && matches(name, "sf:grid"))
        endGrid();
    if (m_inDate && matches(name, "sf:d"))
        endDate();
    if (matches(name, "sf:t"))
        m_inText = false;
    if (m_inParagraph && matches(name, "sf:p")) {
        m_text.append('\0');
        cellValue(m_text.constData(), false, false);
        m_inParagraph = false;
    }
    if (m_inDatasource) {
        --m_depth;
        if (m_depth == 0 && m_row < m_rowCount)
            advance();
    }
    m_text.clear();
}

void IndexReader::startGrid(const char **attributes)
{
    m_rowCount = integerAttribute(attributes, "sf:numrows", 0);
    m_columnCount = integerAttribute(attributes, "sf:numcols", 0);
    m_headerDone = false;
    m_rowCellCounts.clear();
    m_columnCellCounts.clear();
    if (m_rowCount > 0) {
        m_slots.teardown();
        m_table = m_pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        if (!m_table)
            return fail();
        m_table->setName(m_tableName);
        m_names.clear();
    }
    m_inGrid = true;
}

void IndexReader::endGrid()
{
    m_inGrid = false;
    if (m_row <= 0 || !m_table)
        return;
    m_table->setNum_records(m_rowCount - 1);
    for (qsizetype k = 0; k < m_slots.size(); ++k) {
        DSColumnSlots::Slot *slot = m_slots.slotAt(k);
        if (!slot->data)
            continue;
        // A column that ends early is padded to the grid's rows.
        for (int32_t j = k < m_columnCellCounts.size() ? m_columnCellCounts[k] : m_row; j < m_row; ++j)
            if (!slot->data->appendEmptyValue())
                return fail();
    }
    if (!m_slots.finish())
        return fail();
    m_slots.reset({});
}

void IndexReader::endDate()
{
    m_inDate = false;
    const auto found = m_dateFormats.constFind(m_dateStyle);
    const char *pattern = found == m_dateFormats.cend() ? nullptr : found.value().constData();
    if (m_row >= m_rowCount)
        return;
    if (m_row == 0) {
        m_names.append(ds_format_time(&m_dateFormatter, m_dateValue));
        return;
    }
    if (std::isnan(m_dateValue) || std::fabs(m_dateValue) > kDSMaxImportedTime)
        return missing(m_column);
    const int64_t finest = pattern ? ds_format_finest_unit(pattern, 2) : -1;
    const int64_t coarsest = pattern ? ds_format_coarsest_unit(pattern, 2) : -1;
    double interval = 0;
    const double t = ds_time_floor(finest == -1 ? k_day : finest, &interval, m_dateValue);
    DSColumnSlots::Slot *slot = currentSlot();
    if (!slot)
        return;
    if (!slot->column && !placeColumn(m_column, TimeColumn, false, coarsest >= 0 && coarsest <= 8))
        return fail();
    bool appended = true;
    if (slot->kind == NumericColumn)
        appended = slot->data->appendEmptyValue();
    else if (slot->kind == TimeColumn)
        appended = static_cast<DSTimeDataColumn *>(slot->column)->appendTimeValue(t, std::isnan(t) ? 0 : interval);
    else
        appended = static_cast<DSTextDataColumn *>(slot->column)
                       ->appendTextValue(ds_format_time(&m_dateFormatter, t).toUtf8().constData());
    if (!appended)
        fail();
}

DSColumnSlots::Slot *IndexReader::currentSlot()
{
    DSColumnSlots::Slot *slot = m_slots.slotAt(m_column);
    // A data row with more cells than the header would lose them.
    if (!slot)
        fail();
    return slot;
}

void IndexReader::cellValue(const char *valueText, bool number, bool duration)
{
    if (m_row == 0) {
        m_names.append(valueText ? QString::fromUtf8(valueText) : QString());
        return;
    }
    if (!valueText)
        return missing(m_column);
    DSColumnSlots::Slot *slot = currentSlot();
    if (!slot)
        return;
    if (!slot->column && !placeColumn(m_column, number ? NumericColumn : TextColumn, duration, false))
        return fail();
    bool appended = true;
    if (slot->kind == NumericColumn) {
        double x = NAN;
        if (std::sscanf(valueText, "%lf", &x) != 1)
            x = NAN;
        appended = static_cast<DSNumericDataColumn *>(slot->column)->appendValue(x);
    } else if (slot->kind == TimeColumn) {
        auto *column = static_cast<DSTimeDataColumn *>(slot->column);
        double interval = column->relative_time_unit() == 1 ? 1 : 86400;
        const double t = column->relative_time_unit() == 1 ? ds_parse_time_of_day(valueText, &interval)
                                                           : ds_parse_date(valueText, &interval);
        appended = column->appendTimeValue(t, std::isnan(t) ? 0 : interval);
    } else {
        appended = static_cast<DSTextDataColumn *>(slot->column)->appendTextValue(valueText);
    }
    if (!appended)
        fail();
}

bool IndexReader::placeColumn(qsizetype k, int kind, bool duration, bool timeOfDay)
{
    DSColumn *column = nullptr;
    DSDataColumn *data = nullptr;
    if (kind == NumericColumn) {
        auto *numeric = m_pool.insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        if (numeric && duration) {
            numeric->makeDependencies();
            if (DSNumberFormatter *formatter = numeric->number_formatter())
                formatter->setNumber_style(DSPlatformNumberFormatter::DurationStyle);
        }
        column = numeric, data = numeric;
    } else if (kind == TimeColumn) {
        auto *time = m_pool.insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        if (time)
            time->setRelative_time_unit(timeOfDay ? 1 : 0);
        column = time, data = time;
    } else {
        auto *text = m_pool.insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
        column = text, data = text;
    }
    return column && m_slots.place(k, column, data, kind, m_table);
}

void IndexReader::missing(qsizetype k)
{
    DSColumnSlots::Slot *slot = m_slots.slotAt(k);
    if (!slot) {
        // An empty cell past the header loses nothing.
        return;
    }
    if (!DSColumnSlots::addEmptyCell(*slot))
        fail();
}

void IndexReader::advance()
{
    ++m_column;
    while (m_row < m_rowCount) {
        if (m_row >= m_rowCellCounts.size())
            return fail();
        if (m_column < m_rowCellCounts[m_row]) {
            if (m_column >= m_columnCellCounts.size())
                return fail();
            if (m_row < m_columnCellCounts[m_column])
                return;
            ++m_column;
            continue;
        }
        if (m_row > 0) {
            for (; m_column < m_slots.size(); ++m_column) {
                if (m_column >= m_columnCellCounts.size())
                    return fail();
                missing(m_column);
                ++m_columnCellCounts[m_column];
            }
            ++m_row;
        } else {
            m_headerDone = true;
            m_slots.reset(m_names);
            m_row = 1;
        }
        m_column = 0;
    }
}

} // namespace

DSDataImporterNumbers09::DSDataImporterNumbers09(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

bool DSDataImporterNumbers09::xml_name_matches(const char *name, const char *prefix, const char *local)
{
    if (strcasecmp(name, local) == 0)
        return true;
    const size_t n = std::strlen(prefix);
    return strncasecmp(name, prefix, n) == 0 && name[n] == ':' && strcasecmp(name + n + 1, local) == 0;
}

bool DSDataImporterNumbers09::parseIndex(const QByteArray &xml, DSObjectPool &pool)
{
    IndexReader reader(pool);
    return reader.parse(xml) && reader.fitted();
}

bool DSDataImporterNumbers09::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    if (n == 1)
        setAsyncProgressIsIndeterminate(true);
    for (qsizetype i = 0; i < n; ++i) {
        const QUrl &url = urls()[i];
        std::optional<QByteArray> xml;
        try {
            ZipFile zip(url.toLocalFile());
            xml = zip.readEntry(QStringLiteral("index.xml"));
        } catch (const ZipException &failure) {
            return ds_fail_import(error, ds_damaged_archive_error(QStringLiteral("Numbers"), url, failure));
        }
        const bool parsed = !xml || xml->isEmpty() || parseIndex(*xml, pool);
        setAsyncProgress(double(i + 1) / double(n));
        if (!parsed) {
            if (error)
                *error = ds_parse_file_error(QStringLiteral("Numbers"), url);
            return false;
        }
        if (asyncAbort())
            return false;
    }
    return true;
}
