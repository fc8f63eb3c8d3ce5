#include "pivot/DSColumnAggregation.h"

#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSDate.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericColumn.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTextFormatter.h"
#include "model/DSTimeColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_time_units.h"
#include "model/util/ds_quantiles.h"
#include "model/util/ds_select.h"
#include "pivot/DSPivot.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QDebug>

#include <cmath>
#include <limits>
#include <new>

namespace {

bool isPercentile(int64_t tag)
{
    return tag > 100 && tag < 200;
}

// Resizes v to n elements; false, logged, when memory runs out.
template <class T>
bool grow(std::vector<T> &v, int64_t n, const char *what)
{
    try {
        v.resize(size_t(n));
        return true;
    } catch (const std::bad_alloc &) {
        qWarning("Pivot aggregation: no memory for %lld %s", static_cast<long long>(n), what);
        return false;
    }
}

} // namespace

// What one accumulation reads of the records: which are taken, their group,
// weight, whether missing, and the column's values by kind. The missing
// mask is copied first, since a later value request may reuse its buffer.
struct DSColumnAggregation::Records
{
    enum Kind { None, Numeric, Time, Indicator, Text, Other };

    int64_t count = 0;  // records
    int64_t groups = 0;
    const int32_t *group = nullptr;
    const int32_t *weights = nullptr;
    const uint8_t *mask = nullptr;
    int64_t maskLength = 0;
    Kind kind = None;
    bool categories = false;
    std::vector<uint8_t> missing;
    const uint8_t *missingBits = nullptr;
    int64_t missingBytes = 0;
    const double *values = nullptr;  // numeric values or time starts
    int64_t valueCount = 0;
    std::vector<uint8_t> bits;  // indicator values
    const int32_t *indexes = nullptr;  // category or text index positions
    int64_t indexCount = 0;

    int32_t weight(int64_t i) const { return weights ? weights[i] : 1; }
    bool isMissing(int64_t i) const
    {
        if (i >> 3 < missingBytes && (missingBits[i >> 3] >> (i & 7)) & 1)
            return true;
        return (kind == Numeric || kind == Time) && i >= valueCount;
    }
    double value(int64_t i) const { return i < valueCount ? values[i] : NAN; }
    bool bit(int64_t i) const
    {
        return i >> 3 < int64_t(bits.size()) && (bits[size_t(i >> 3)] >> (i & 7)) & 1;
    }
    // The record's index position, -1 without one.
    int32_t position(int64_t i) const { return i < indexCount ? indexes[i] : -1; }
    // Points the missing-row test at the copied mask.
    void takeMissing(const uint8_t *from, int64_t bytes)
    {
        if (from && bytes > 0)
            missing.assign(from, from + bytes);
        missingBits = missing.data();
        missingBytes = int64_t(missing.size());
    }

    // f(i, g) for every record taken by the mask whose group is valid.
    // A row past the mask's bytes is not taken, whatever the length says.
    template <class F>
    void forEachTaken(const F &f) const
    {
        const int64_t end = mask ? std::min(count, std::max<int64_t>(maskLength, 0) * 8) : count;
        for (int64_t i = 0; i < end; ++i) {
            if (mask && !((mask[i >> 3] >> (i & 7)) & 1)) {
                // A clear byte skips eight records at once.
                if (!(i & 7) && !mask[i >> 3])
                    i += 7;
                continue;
            }
            const int32_t g = group[i];
            if (g >= 0 && g < groups)
                f(i, g);
        }
    }
    // The same for the records that are not missing.
    template <class F>
    void forEachPresent(const F &f) const
    {
        forEachTaken([&](int64_t i, int32_t g) {
            if (!isMissing(i))
                f(i, g);
        });
    }
};

void DSColumnAggregation::setTag(qint64 tag)
{
    setPrimitiveValue(qlonglong(tag), QStringLiteral("tag"));
    DSNumberFormatter *own = number_formatter();
    if (!own)
        return;
    if ((tag >= 20 && tag <= 25) || tag == 30)
        own->setNumber_style(1);
    if (tag == 0 && column() && column()->treat_as_categories())
        own->setNumber_style(3);
}

DSColumn *DSColumnAggregation::column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("column")));
}

void DSColumnAggregation::setColumn(DSColumn *column)
{
    setObject(column, QStringLiteral("column"));
    auto *numeric = ds_object_cast<DSNumericColumn>(column);
    if (numeric && !numeric->treat_as_categories() && numeric->number_formatter() && number_formatter())
        number_formatter()->decodeAttributes(numeric->number_formatter()->encodedManagedObject());
}

QString DSColumnAggregation::functionSymbol() const
{
    const int64_t t = tag();
    switch (t) {
    case 0: return QStringLiteral("mean");
    case 1: return QStringLiteral("sum");
    case 10: return QStringLiteral("min");
    case 11: return QStringLiteral("max");
    case 20:
    case 21: return QStringLiteral("count");
    case 22: return QStringLiteral("distinct");
    case 23: return QStringLiteral("count0");
    case 24: return QStringLiteral("count+");
    case 25: return QStringLiteral("count-");
    case 30: return QStringLiteral("var");
    case 31: return QStringLiteral("stdev");
    case 125: return QStringLiteral("q1");
    case 150: return QStringLiteral("median");
    case 175: return QStringLiteral("q3");
    default:
        return isPercentile(t) ? QStringLiteral("p%1").arg(t - 100, 2, 10, QLatin1Char('0')) : QString();
    }
}

bool DSColumnAggregation::useColumnFormatter() const
{
    const int64_t t = tag();
    return t == 1 || t == 10 || t == 11 || t > 100;
}

void DSColumnAggregation::didTurnIntoFault()
{
    for (auto *v : {&m_counts, &m_counts2, &m_categoryCounts})
        std::vector<int64_t>().swap(*v);
    std::vector<double>().swap(m_values);
    std::vector<double>().swap(m_values2);
    std::vector<int32_t>().swap(m_indexedValues);
    m_groups = 0;
    DSAggregation::didTurnIntoFault();
}

bool DSColumnAggregation::resizeArrays(int64_t groups, int64_t categories)
{
    m_groups = 0;
    if (groups < 0 || categories < 0 ||
        (categories > 0 && groups > std::numeric_limits<int64_t>::max() / int64_t(sizeof(int64_t)) / categories)) {
        qWarning("Pivot aggregation: %lld groups of %lld categories are too many", static_cast<long long>(groups),
                 static_cast<long long>(categories));
        return false;
    }
    if (!grow(m_counts, groups, "counts") || !grow(m_counts2, groups, "counts") || !grow(m_values, groups, "values") ||
        !grow(m_values2, groups, "values") || !grow(m_indexedValues, groups, "categories") ||
        !grow(m_categoryCounts, groups * categories, "category counts"))
        return false;
    m_groups = groups;
    return true;
}

bool DSColumnAggregation::isTimeColumn() const
{
    return ds_object_cast<DSTimeColumn>(column()) != nullptr;
}

void DSColumnAggregation::recomputeValuesByIndex(const int32_t *record2valueIndex, int64_t indexCount,
                                                 int64_t resultCount, const int32_t *weights, const uint8_t *mask,
                                                 int64_t length)
{
    Records records;
    records.count = record2valueIndex ? std::max<int64_t>(indexCount, 0) : 0;
    records.groups = resultCount;
    records.group = record2valueIndex;
    records.weights = weights;
    records.mask = mask;
    records.maskLength = length;
    m_categoryCount = 1;
    setTemp_summary(nullptr);

    DSColumn *source = column();
    int64_t categories = 1;
    if (source) {
        records.categories = source->treat_as_categories();
        const uint8_t *missing = nullptr;
        if (auto *indicator = ds_object_cast<DSIndicatorColumn>(source)) {
            records.kind = Records::Indicator;
            const uint8_t *bits = nullptr;
            const int64_t bytes = indicator->getBytes(&bits, &missing);
            if (bits)
                records.bits.assign(bits, bits + bytes);
            records.takeMissing(missing, bytes);
        } else {
            records.takeMissing(missing, source->getMissingMask(&missing));
            if (auto *numeric = ds_object_cast<DSNumericColumn>(source)) {
                records.kind = Records::Numeric;
                records.valueCount = numeric->getValues(&records.values);
            } else if (auto *time = ds_object_cast<DSTimeColumn>(source)) {
                records.kind = Records::Time;
                records.valueCount = time->getTimeValues(&records.values, nullptr);
            } else {
                records.kind = ds_object_cast<DSTextColumn>(source) ? Records::Text : Records::Other;
            }
        }
        if (records.categories) {
            setTemp_summary(source->summaryForMask(mask, length, NAN));
            categories = temp_summary() ? temp_summary()->numberOfCategories() : 0;
        } else if (records.kind == Records::Text) {
            categories = source->numberOfBins();
        }
        if (records.categories || records.kind == Records::Text) {
            qint64 bins = 0;
            records.indexCount = source->getIndexedValues(&records.indexes, &bins);
        }
    }
    if (!resizeArrays(resultCount, categories))
        return;
    m_categoryCount = categories;

    const int64_t t = tag();
    if (t == 10 || t == 11)
        accumulateExtremes(records);
    else
        accumulateCounts(records);
}

void DSColumnAggregation::accumulateExtremes(const Records &records)
{
    std::fill(m_values.begin(), m_values.end(), NAN);
    std::fill(m_indexedValues.begin(), m_indexedValues.end(), -1);
    const bool smallest = tag() == 10;
    const auto better = [smallest](double x, double current) {
        return std::isnan(current) || (smallest ? x < current : x > current);
    };
    if (records.categories) {
        const int64_t k = m_categoryCount;
        records.forEachPresent([&](int64_t i, int32_t g) {
            const int32_t c = records.position(i);
            int32_t &current = m_indexedValues[size_t(g)];
            if (c >= 0 && c < k && (current == -1 || (smallest ? c < current : c > current)))
                current = c;
        });
        return;
    }
    if (records.kind == Records::Numeric || records.kind == Records::Time) {
        records.forEachPresent([&](int64_t i, int32_t g) {
            const double x = records.value(i);
            if (!std::isnan(x) && better(x, m_values[size_t(g)]))
                m_values[size_t(g)] = x;
        });
    } else if (records.kind == Records::Indicator) {
        records.forEachPresent([&](int64_t i, int32_t g) {
            const double x = records.bit(i) ? 1 : 0;
            if (better(x, m_values[size_t(g)]))
                m_values[size_t(g)] = x;
        });
    }
}

void DSColumnAggregation::accumulateCounts(const Records &records)
{
    std::fill(m_counts.begin(), m_counts.end(), 0);
    std::fill(m_counts2.begin(), m_counts2.end(), 0);
    std::fill(m_categoryCounts.begin(), m_categoryCounts.end(), 0);
    const int64_t t = tag();
    const bool numeric = records.kind == Records::Numeric, indicator = records.kind == Records::Indicator;
    // Counts of the records whose value passes a test, missing ones left out.
    const auto countWhere = [&](const auto &passes) {
        records.forEachPresent([&](int64_t i, int32_t g) {
            if (passes(i))
                m_counts[size_t(g)] += records.weight(i);
        });
    };
    switch (t) {
    case 20:
        records.forEachTaken([&](int64_t i, int32_t g) { m_counts[size_t(g)] += records.weight(i); });
        return;
    case 23:
        if (numeric)
            countWhere([&](int64_t i) { return records.value(i) == 0; });
        else if (indicator)
            countWhere([&](int64_t i) { return !records.bit(i); });
        return;
    case 24:
        if (numeric)
            countWhere([&](int64_t i) { return records.value(i) > 0; });
        else if (indicator)
            countWhere([&](int64_t i) { return records.bit(i); });
        return;
    case 25:
        if (numeric)
            countWhere([&](int64_t i) { return records.value(i) < 0; });
        return;
    default:
        break;
    }
    records.forEachPresent([&](int64_t i, int32_t g) {
        m_counts[size_t(g)] += records.weight(i);
        m_counts2[size_t(g)] += 1;
    });
    const int64_t k = m_categoryCount;
    if (records.categories || records.kind == Records::Text)
        records.forEachPresent([&](int64_t i, int32_t g) {
            const int32_t c = records.position(i);
            if (c >= 0 && c < k)
                m_categoryCounts[size_t(g * k + c)] += records.weight(i);
        });
    if (t == 22) {
        for (int64_t g = 0; g < m_groups; ++g) {
            int64_t present = 0;
            for (int64_t c = 0; c < k; ++c)
                present += m_categoryCounts[size_t(g * k + c)] > 0;
            m_counts[size_t(g)] = present;
        }
    } else if (t == 0 || t == 1 || t == 30 || t == 31) {
        accumulateMoments(records);
    } else if (isPercentile(t)) {
        accumulatePercentiles(records);
    }
}

// Sums in two passes: the plain weighted sums give each group's mean, then
// the deviations from that mean are summed (and their squares). The sum of
// the deviations corrects the mean's rounding, so data far from zero
// (1e9 + U(0, 1)) keeps its variance: M2 = sum w d^2 - (sum w d)^2 / n.
void DSColumnAggregation::accumulateMoments(const Records &records)
{
    std::fill(m_values.begin(), m_values.end(), 0);
    std::fill(m_values2.begin(), m_values2.end(), 0);
    const auto x = [&](int64_t i) {
        return records.kind == Records::Numeric ? records.value(i) : records.bit(i) ? 1.0 : 0.0;
    };
    if (records.kind != Records::Numeric && records.kind != Records::Indicator)
        return;
    records.forEachPresent([&](int64_t i, int32_t g) { m_values[size_t(g)] += x(i) * records.weight(i); });
    if (tag() == 1)
        return;
    std::vector<double> mean, deviations;
    if (!grow(mean, m_groups, "means") || !grow(deviations, m_groups, "deviations")) {
        m_groups = 0;
        return;
    }
    for (int64_t g = 0; g < m_groups; ++g)
        mean[size_t(g)] = m_counts[size_t(g)] > 0 ? m_values[size_t(g)] / double(m_counts[size_t(g)]) : 0;
    records.forEachPresent([&](int64_t i, int32_t g) {
        const double w = records.weight(i), d = x(i) - mean[size_t(g)];
        deviations[size_t(g)] += w * d;
        m_values2[size_t(g)] += w * d * d;
    });
    for (int64_t g = 0; g < m_groups; ++g) {
        const double n = double(m_counts[size_t(g)]);
        if (n <= 0)
            continue;
        const double sd = deviations[size_t(g)];
        m_values[size_t(g)] = n * mean[size_t(g)] + sd;
        m_values2[size_t(g)] = std::max(0.0, m_values2[size_t(g)] - sd * sd / n);
    }
}

// Each group's values are copied into its own slice of one scratch array
// (slices laid out by prefix sums of the group counts, records in record
// order) and selected there, never sorted. Records of weight 0 are left out
// of the slices: they are never a percentile.
void DSColumnAggregation::accumulatePercentiles(const Records &records)
{
    const int64_t p = tag() - 100;
    const double f = double(p) / 100;
    std::fill(m_values.begin(), m_values.end(), NAN);
    std::fill(m_indexedValues.begin(), m_indexedValues.end(), -1);

    if (!records.categories && records.kind == Records::Indicator) {
        std::vector<int64_t> trues;
        if (!grow(trues, m_groups, "true counts")) {
            m_groups = 0;
            return;
        }
        records.forEachPresent([&](int64_t i, int32_t g) {
            if (records.bit(i))
                trues[size_t(g)] += records.weight(i);
        });
        for (int64_t g = 0; g < m_groups; ++g) {
            const int64_t w = m_counts[size_t(g)];
            if (w <= 0)
                continue;
            // Whole numbers: A > B exactly when more than (100 - p)% are true.
            const int64_t a = trues[size_t(g)] * 100, b = w * (100 - p);
            m_values[size_t(g)] = a > b ? 1 : a < b ? 0 : 0.5;
        }
        return;
    }
    const bool numbers = records.kind == Records::Numeric || records.kind == Records::Time;
    if (!records.categories && !numbers)
        return;
    if (!records.categories && records.kind == Records::Time)
        m_timeUnit = static_cast<DSTimeColumn *>(column())->minimumTimeUnit();

    const int64_t k = m_categoryCount;
    const auto valueOf = [&](int64_t i) {
        if (!records.categories)
            return records.value(i);
        const int32_t c = records.position(i);
        return c >= 0 && c < k ? double(c) : NAN;
    };
    // Slices sized by the unweighted counts; records of weight 0 leave
    // their places unused at the end of their slice.
    std::vector<int64_t> offset, next;
    if (!grow(offset, m_groups + 1, "slice offsets")) {
        m_groups = 0;
        return;
    }
    for (int64_t g = 0; g < m_groups; ++g)
        offset[size_t(g) + 1] = offset[size_t(g)] + m_counts2[size_t(g)];
    const int64_t total = offset[size_t(m_groups)];
    std::vector<double> scratch;
    std::vector<int32_t> scratchWeights;
    if (!grow(scratch, total, "percentile values") || !grow(next, m_groups, "slice ends") ||
        (records.weights && !grow(scratchWeights, total, "percentile weights"))) {
        m_groups = 0;
        return;
    }
    std::copy(offset.begin(), offset.end() - 1, next.begin());
    records.forEachPresent([&](int64_t i, int32_t g) {
        const double x = valueOf(i);
        const int32_t w = records.weight(i);
        if (w <= 0 || std::isnan(x))
            return;
        const int64_t at = next[size_t(g)]++;
        scratch[size_t(at)] = x;
        if (records.weights)
            scratchWeights[size_t(at)] = w;
    });
    for (int64_t g = 0; g < m_groups; ++g) {
        const int64_t n = next[size_t(g)] - offset[size_t(g)];
        int64_t w = 0;
        double *slice = scratch.data() + offset[size_t(g)];
        int32_t *weights = records.weights ? scratchWeights.data() + offset[size_t(g)] : nullptr;
        if (weights)
            for (int64_t j = 0; j < n; ++j)
                w += weights[j];
        else
            w = n;
        if (w <= 0)
            continue;
        double result;
        if (p == 50 && !records.categories) {
            double cut[3];
            ds_quantiles(slice, weights, n, cut, 2, true);
            result = cut[1];
        } else {
            const int64_t rank = int64_t(double(w) * f);
            result = weights ? ds_weighted_quickselect(rank, slice, n, weights, w, nullptr, nullptr)
                             : ds_quickselect_range(rank, slice, n);
        }
        if (records.categories)
            m_indexedValues[size_t(g)] = int32_t(result);
        else
            m_values[size_t(g)] = result;
    }
}

double DSColumnAggregation::doubleValueAtIndex(int64_t g, int64_t c)
{
    if (g < 0 || g >= m_groups)
        return NAN;
    const double n = double(m_counts[size_t(g)]), s = m_values[size_t(g)];
    const int64_t k = m_categoryCount;
    const auto categoryCount = [&]() {
        return c >= 0 && c < k ? double(m_categoryCounts[size_t(g * k + c)]) : NAN;
    };
    const int64_t t = tag();
    switch (t) {
    case 20:
    case 22:
    case 23:
    case 24:
    case 25: return n;
    case 21: return c == -1 ? n : categoryCount();
    case 1: return s;
    case 0:
        if (n == 0)
            return NAN;
        return c == -1 ? s / n : categoryCount() / n;
    case 30: return n < 2 ? NAN : m_values2[size_t(g)] / (n - 1);
    case 31: return n < 2 ? NAN : std::sqrt(m_values2[size_t(g)] / (n - 1));
    case 10:
    case 11: return s;
    default: return isPercentile(t) ? s : NAN;
    }
}

bool DSColumnAggregation::hasMultipleHeadings()
{
    DSColumn *source = column();
    return source && source->treat_as_categories() && (tag() == 21 || tag() == 0);
}

QString DSColumnAggregation::columnName() const
{
    DSColumn *source = column();
    return source ? source->name() : QStringLiteral("All");
}

QString DSColumnAggregation::name() const
{
    if (tag() == 20)
        return QStringLiteral("count");
    const QString symbol = functionSymbol();
    return symbol.isNull() ? QString() : symbol + u'(' + columnName() + u')';
}

DSNumberFormatter *DSColumnAggregation::numberFormatter()
{
    if (!hasNumberFormatter())
        return nullptr;
    if (auto *numeric = ds_object_cast<DSNumericColumn>(column()); numeric && useColumnFormatter())
        return numeric->number_formatter();
    return DSAggregation::numberFormatter();
}

DSTextFormatter *DSColumnAggregation::textFormatter() const
{
    DSColumn *source = column();
    return source ? ds_object_cast<DSTextFormatter>(source->text_formatter()) : nullptr;
}

int64_t DSColumnAggregation::ExcelFormatCode()
{
    if (hasMultipleHeadings() && tag() == 0)
        return 10;
    if (hasDateValue()) {
        if (static_cast<DSTimeColumn *>(column())->isTimeOfDay())
            return 18;
        return timeUnit() < 9 ? 22 : 14;
    }
    return DSAggregation::ExcelFormatCode();
}

bool DSColumnAggregation::hasStringValue()
{
    DSColumn *source = column();
    const int64_t t = tag();
    return source && source->treat_as_categories() && (t == 10 || t == 11 || t > 100);
}

QString DSColumnAggregation::stringValueAtIndex(int64_t g)
{
    if (!hasStringValue() || g < 0 || g >= m_groups || !temp_summary())
        return QString();
    const int32_t c = m_indexedValues[size_t(g)];
    if (c < 0 || c >= temp_summary()->numberOfCategories())
        return QString();
    return temp_summary()->categoryAtIndex(c)->longValue();
}

QString DSColumnAggregation::headerNameForCategory(const DSColumnCategory &category) const
{
    if (!category.label().isEmpty())
        return category.label();
    DSColumn *source = column();
    if (ds_object_cast<DSTextColumn>(source))
        return category.longValue();
    return columnName() + QStringLiteral(" = ") + category.longValue();
}

QString DSColumnAggregation::symbolicNameForCategory(const DSColumnCategory &category) const
{
    return functionSymbol() + u'(' + category.longValue() + u')';
}

bool DSColumnAggregation::hasDateValue()
{
    const int64_t t = tag();
    return isTimeColumn() && (t == 10 || t == 11 || isPercentile(t));
}

std::optional<DSDate> DSColumnAggregation::dateValueAtIndex(int64_t g)
{
    if (!hasDateValue())
        return std::nullopt;
    double length = NAN;
    const double start = ds_time_floor(m_timeUnit, &length, doubleValueAtIndex(g));
    if (static_cast<DSTimeColumn *>(column())->isTimeOfDay())
        return DSDate::dateWithTimeIntervalSinceMidnight(start, length);
    return DSDate::dateWithTimeIntervalSinceReferenceDate(start, length);
}

QList<DSColumn *> DSColumnAggregation::insertDataTablesForPivot(DSPivot *pivot, DSManagedObjectContext *context)
{
    const int64_t rows = pivot->numberOfRows();
    if (hasMultipleHeadings()) {
        QList<DSColumn *> columns;
        if (!temp_summary())
            return columns;
        for (const auto &category : temp_summary()->nonempty_categories()) {
            if (category->is_missing())
                continue;
            const int64_t c = category->index();
            DSColumn *exported = exportNumbers(pivot, context, headerNameForCategory(*category),
                                               [&](int64_t v) { return doubleValueAtIndex(v, c); });
            if (!exported)
                continue;
            exported->makeDependencies();
            auto *numeric = ds_object_cast<DSNumericDataColumn>(exported);
            if (tag() == 0 && numeric && numeric->number_formatter())
                numeric->number_formatter()->setNumber_style(3);
            columns << exported;
        }
        return columns;
    }
    if (hasStringValue()) {
        auto *text = context->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
        if (!text)
            return {};
        for (int64_t r = 0; r < rows; ++r)
            text->appendTextValue(stringValueAtIndex(pivot->convertRowToValueIndex(r)).toUtf8().constData());
        text->save();
        text->setName(name());
        return {text};
    }
    if (hasDateValue()) {
        auto *time = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        if (!time)
            return {};
        for (int64_t r = 0; r < rows; ++r) {
            double length = NAN;
            const double start = ds_time_floor(m_timeUnit, &length, doubleValueAtIndex(pivot->convertRowToValueIndex(r)));
            time->appendTimeValue(start, length);
        }
        time->save();
        time->setName(name());
        time->setRelative_time_unit(static_cast<DSTimeColumn *>(column())->relativeTimeUnit());
        return {time};
    }
    DSColumn *exported = exportNumbers(pivot, context, name(), [this](int64_t v) { return doubleValueAtIndex(v); });
    if (!exported)
        return {};
    takeNumberFormat(exported);
    return {exported};
}
