#include "derived/DSNumericRecodeColumn.h"

#include "model/DSIndicatorColumn.h"
#include "model/DSTextColumn.h"
#include "model/ds_row_mask.h"
#include "model/ds_text_index.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// A number key as a double, or NaN for a key that is not a number.
double numberKey(const QCborValue &key)
{
    return key.isDouble() || key.isInteger() ? key.toDouble() : NAN;
}

// Whether two mapping keys name one input value (NaN naming NaN).
bool sameKey(const QCborValue &a, const QCborValue &b)
{
    if (a.isString() || b.isString())
        return a.isString() && b.isString() && a.toString() == b.toString();
    const double x = numberKey(a), y = numberKey(b);
    return x == y || (std::isnan(x) && std::isnan(y) && (a.isDouble() || a.isInteger()) && (b.isDouble() || b.isInteger()));
}

// The code of a key in a mapping, or NaN.
double codeOf(const QCborMap &mapping, const QCborValue &key)
{
    for (auto it = mapping.constBegin(); it != mapping.constEnd(); ++it)
        if (sameKey(it.key(), key))
            return it.value().toDouble(NAN);
    return NAN;
}

// The codes of one input's values, looked up the way its kind asks.
class Coder
{
public:
    Coder(const QCborMap &mapping, DSColumn *input)
    {
        if (dynamic_cast<DSTextColumn *>(input))
            m_kind = Text;
        else if (dynamic_cast<DSNumericColumn *>(input))
            m_kind = Numeric;
        else if (dynamic_cast<DSIndicatorColumn *>(input))
            m_kind = Indicator;
        for (auto it = mapping.constBegin(); it != mapping.constEnd(); ++it)
            add(it.key(), it.value().toDouble(NAN));
        std::sort(m_numbers.begin(), m_numbers.end());
    }

    enum Kind { Numeric, Text, Indicator, Other };
    Kind kind() const { return m_kind; }

    double number(double x) const
    {
        if (std::isnan(x))
            return m_nanCode;
        const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), x,
                                         [](const std::pair<double, double> &entry, double key) { return entry.first < key; });
        return it != m_numbers.end() && it->first == x ? it->second : NAN;
    }
    double text(const char *t) const { return m_texts.value(ds_text_blank(t) ? QByteArray() : QByteArray(t), NAN); }
    double bit(bool on) const { return on ? m_trueCode : m_falseCode; }

private:
    void add(const QCborValue &key, double code)
    {
        if (key.isString()) {
            const QByteArray bytes = key.toString().toUtf8();
            m_texts.insert(bytes.isEmpty() ? QByteArray() : bytes, code);
            return;
        }
        const double x = numberKey(key);
        if (!key.isDouble() && !key.isInteger())
            return;
        if (std::isnan(x))
            m_nanCode = code;
        else
            m_numbers.emplace_back(x, code);
        if (x == 0)
            m_falseCode = code;
        else if (x == 1)
            m_trueCode = code;
    }

    Kind m_kind = Other;
    std::vector<std::pair<double, double>> m_numbers;
    double m_nanCode = NAN, m_falseCode = NAN, m_trueCode = NAN;
    QHash<QByteArray, double> m_texts;
};

} // namespace

DSNumericRecodeColumn::~DSNumericRecodeColumn()
{
    m_definition.stop();
}

void DSNumericRecodeColumn::setValue_mapping(const QCborMap &mapping)
{
    setPrimitiveValue(QVariant::fromValue(QCborValue(mapping)), QStringLiteral("value_mapping"));
}

void DSNumericRecodeColumn::setRange_mapping(const QCborMap &mapping)
{
    setPrimitiveValue(QVariant::fromValue(QCborValue(mapping)), QStringLiteral("range_mapping"));
}

void DSNumericRecodeColumn::setValueMapping(const QCborValue &code, const QCborValue &key)
{
    const QCborValue stored = key.isInteger() ? QCborValue(key.toDouble()) : key;
    QCborMap mapping;
    const QCborMap old = value_mapping();
    for (auto it = old.constBegin(); it != old.constEnd(); ++it)
        if (!sameKey(it.key(), stored))
            mapping.insert(it.key(), it.value());
    if (!code.isNull() && !code.isUndefined()) {
        const double x = code.isString() ? code.toString().toDouble() : code.toDouble();
        mapping.insert(stored, qint64(std::isfinite(x) ? std::trunc(x) : 0));
    }
    setValue_mapping(mapping);
}

QList<QCborValue> DSNumericRecodeColumn::inputValues()
{
    QList<QCborValue> values;
    DSColumn *column = input();
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(column)) {
        const double *index = nullptr;
        const qint64 n = numeric->getIndex(&index);
        for (qint64 i = 0; i < n; ++i)
            values << QCborValue(index[i]);
    } else if (auto *text = dynamic_cast<DSTextColumn *>(column)) {
        const char *const *index = nullptr;
        const qint64 n = text->getIndex(&index);
        for (qint64 i = 0; i < n; ++i)
            values << QCborValue(ds_text_blank(index[i]) ? QString(QLatin1String("")) : QString::fromUtf8(index[i]));
    } else {
        values << QCborValue(0.0) << QCborValue(1.0);
    }
    return values;
}

void DSNumericRecodeColumn::smartRecode()
{
    DSColumn *column = input();
    const QCborMap inputLabels = column ? column->category_labels() : QCborMap();
    QCborMap mapping = value_mapping();
    QCborMap labels = category_labels();
    qint64 code = 0;
    for (const QCborValue &value : inputValues()) {
        ++code;
        if (const double mapped = codeOf(mapping, value); !std::isnan(mapped)) {
            code = qint64(mapped);
            continue;
        }
        mapping.insert(value, code);
        QString label;
        if (value.isString())
            label = DSTextColumn::labelOf(inputLabels, value.toString());
        else if (dynamic_cast<DSNumericColumn *>(column))
            label = DSNumericColumn::labelOf(inputLabels, value.toDouble());
        else
            label = inputLabels.value(QString::number(value.toInteger())).toString();
        if (label.isEmpty() && value.isString())
            label = value.toString();
        if (!label.isEmpty())
            labels.insert(double(code), label);
    }
    setValue_mapping(mapping);
    setCategory_labels(labels);
}

QString DSNumericRecodeColumn::suggestedName() const
{
    const QCborMap mapping = value_mapping();
    std::vector<double> codes;
    for (auto it = mapping.constBegin(); it != mapping.constEnd(); ++it)
        codes.push_back(it.value().toDouble(NAN));
    std::sort(codes.begin(), codes.end());
    const qint64 distinct = std::unique(codes.begin(), codes.end()) - codes.begin();
    const DSColumn *column = input();
    return QStringLiteral("recode%1(%2)").arg(distinct).arg(column ? column->name() : QString());
}

std::vector<double> DSNumericRecodeColumn::entryCodes()
{
    DSColumn *column = input();
    const Coder coder(value_mapping(), column);
    std::vector<double> codes;
    if (coder.kind() == Coder::Numeric) {
        const double *index = nullptr;
        const qint64 m = static_cast<DSNumericColumn *>(column)->getIndex(&index);
        for (qint64 e = 0; e < m; ++e)
            codes.push_back(coder.number(index[e]));
    } else if (coder.kind() == Coder::Text) {
        const char *const *index = nullptr;
        const qint64 m = static_cast<DSTextColumn *>(column)->getIndex(&index);
        for (qint64 e = 0; e < m; ++e)
            codes.push_back(coder.text(index[e]));
    } else if (coder.kind() == Coder::Indicator) {
        const float *index = nullptr;
        const qint64 m = static_cast<DSIndicatorColumn *>(column)->getIndex(&index);
        for (qint64 e = 0; e < m; ++e)
            codes.push_back(std::isnan(index[e]) ? NAN : coder.bit(index[e] != 0));
    } else {
        codes.push_back(NAN);
    }
    return codes;
}

qint64 DSNumericRecodeColumn::getValues(const double **out)
{
    const qint64 rows = tableRowCount();
    DSColumn *column = input();
    if (!dynamic_cast<DSNumericColumn *>(column) && !dynamic_cast<DSTextColumn *>(column))
        return getValues(out, 0, rows);
    // Each distinct input value is coded once, then the rows pick their
    // entry's code.
    const std::vector<double> codes = entryCodes();
    const int32_t *positions = nullptr;
    const qint64 count = rows > 0 ? column->getIndexedValues(&positions, nullptr) : 0;
    double *values = positions && count >= rows ? valueBuffer(rows) : nullptr;
    if (values) {
        for (qint64 r = 0; r < rows; ++r)
            values[r] = positions[r] >= 0 && size_t(positions[r]) < codes.size() ? codes[positions[r]] : NAN;
        temp_values.setUsed(rows);
    }
    if (out)
        *out = values;
    return values ? rows : 0;
}

qint64 DSNumericRecodeColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 n = rowsInRange(offset, limit);
    DSColumn *column = input();
    const Coder coder(value_mapping(), column);
    const double *numbers = nullptr;
    const char *const *texts = nullptr;
    const uint8_t *bits = nullptr, *missing = nullptr;
    qint64 bitBytes = 0;
    bool delivered = n > 0;
    if (delivered && coder.kind() == Coder::Numeric)
        delivered = static_cast<DSNumericColumn *>(column)->getValues(&numbers, offset, n) >= n;
    else if (delivered && coder.kind() == Coder::Text)
        delivered = static_cast<DSTextColumn *>(column)->getTextValues(&texts, offset, n) >= n;
    else if (delivered && coder.kind() == Coder::Indicator)
        bitBytes = static_cast<DSIndicatorColumn *>(column)->getBytes(&bits, &missing);
    double *values = delivered ? valueBuffer(n) : nullptr;
    if (values) {
        for (qint64 i = 0; i < n; ++i) {
            const qint64 r = offset + i;
            switch (coder.kind()) {
            case Coder::Numeric: values[i] = coder.number(numbers[i]); break;
            case Coder::Text: values[i] = coder.text(texts[i]); break;
            case Coder::Indicator:
                values[i] = r / 8 < bitBytes && missing && ds_mask_test(missing, r)
                                ? NAN
                                : coder.bit(r / 8 < bitBytes && bits && ds_mask_test(bits, r));
                break;
            case Coder::Other: values[i] = NAN; break;
            }
        }
        temp_values.setUsed(n);
    }
    if (out)
        *out = values;
    return values ? n : 0;
}

qint64 DSNumericRecodeColumn::getIndex(const double **out)
{
    const QCborMap mapping = value_mapping();
    std::vector<double> codes;
    for (auto it = mapping.constBegin(); it != mapping.constEnd(); ++it)
        if (const double code = it.value().toDouble(NAN); !std::isnan(code))
            codes.push_back(code);
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    // NaN whenever a value of the input has no code, so that its rows get
    // their own bin and are never counted with the highest code.
    const std::vector<double> entries = entryCodes();
    if (std::any_of(entries.begin(), entries.end(), [](double code) { return std::isnan(code); }))
        codes.push_back(NAN);
    double *index = reserveIndex(qint64(codes.size()));
    if (index)
        std::copy(codes.begin(), codes.end(), index);
    temp_index.setUsed(index ? qint64(codes.size()) : 0);
    if (out)
        *out = index;
    return temp_index.used();
}

void DSNumericRecodeColumn::awakeFromInsert()
{
    DSNumericColumn::awakeFromInsert();
    m_definition.start(this, {QStringLiteral("value_mapping"), QStringLiteral("inputs")});
}

void DSNumericRecodeColumn::awakeFromFetch()
{
    DSNumericColumn::awakeFromFetch();
    m_definition.start(this, {QStringLiteral("value_mapping"), QStringLiteral("inputs")});
}

void DSNumericRecodeColumn::didTurnIntoFault()
{
    m_definition.stop();
    DSNumericColumn::didTurnIntoFault();
}
