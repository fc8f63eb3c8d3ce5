#include "derived/DSTextTupleColumn.h"

#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/ds_row_mask.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kMissing = "Missing";

// The element texts of one input, for a range of its rows or for the
// entries of its index; the texts they point at live as long as this
// record and the input's buffers (until its next request).
class Elements
{
public:
    std::string_view at(qint64 i) const { return m_views[size_t(i)]; }
    qint64 size() const { return qint64(m_views.size()); }

    // The elements of n rows from offset; false when the input delivers
    // fewer rows.
    bool readRange(DSColumn *input, qint64 offset, qint64 n)
    {
        if (auto *text = dynamic_cast<DSTextColumn *>(input)) {
            const char *const *rows = nullptr;
            if (text->getTextValues(&rows, offset, n) < n)
                return false;
            for (qint64 i = 0; i < n; ++i)
                addText(rows[i]);
        } else if (auto *numeric = dynamic_cast<DSNumericColumn *>(input)) {
            const double *values = nullptr;
            if (numeric->getValues(&values, offset, n) < n)
                return false;
            const QCborMap labels = input->category_labels();
            for (qint64 i = 0; i < n; ++i)
                addNumber(values[i], labels);
        } else if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(input)) {
            const uint8_t *bits = nullptr, *missing = nullptr;
            const qint64 bytes = indicator->getBytes(&bits, &missing);
            for (qint64 r = offset; r < offset + n; ++r) {
                const bool inside = r / 8 < bytes;
                m_views.push_back(inside && missing && ds_mask_test(missing, r) ? "?"
                                  : inside && bits && ds_mask_test(bits, r) ? "1"
                                                                            : "0");
            }
        } else {
            m_views.assign(size_t(n), std::string_view());
        }
        return true;
    }

    // The elements of the input's index entries, as many as it has bins.
    void readIndex(DSColumn *input)
    {
        if (auto *text = dynamic_cast<DSTextColumn *>(input)) {
            const char *const *index = nullptr;
            const qint64 m = text->getIndex(&index);
            for (qint64 e = 0; e < m; ++e)
                addText(index[e]);
        } else if (auto *numeric = dynamic_cast<DSNumericColumn *>(input)) {
            const double *index = nullptr;
            const qint64 m = numeric->getIndex(&index);
            const QCborMap labels = input->category_labels();
            for (qint64 e = 0; e < m; ++e)
                addNumber(index[e], labels);
        } else if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(input)) {
            const float *index = nullptr;
            const qint64 m = indicator->getIndex(&index);
            for (qint64 e = 0; e < m; ++e)
                m_views.push_back(std::isnan(index[e]) ? "?" : index[e] != 0 ? "1" : "0");
        } else {
            m_views.assign(size_t(std::max<qint64>(input->numberOfBins(), 0)), std::string_view());
        }
    }

private:
    void addText(const char *text) { m_views.push_back(text && *text ? std::string_view(text) : kMissing); }
    void addNumber(double x, const QCborMap &labels)
    {
        if (!labels.isEmpty())
            if (const QString label = DSNumericColumn::labelOf(labels, x); !label.isEmpty()) {
                m_views.push_back(m_owned.emplace_back(label.toStdString()));
                return;
            }
        if (std::isnan(x)) {
            m_views.push_back(kMissing);
            return;
        }
        char buffer[32];
        const int length = std::snprintf(buffer, sizeof buffer, "%g", x);
        m_views.push_back(m_owned.emplace_back(buffer, size_t(length)));
    }

    std::vector<std::string_view> m_views;
    std::deque<std::string> m_owned;
};

// Writes count tuples, tuple j made of element(q, j) for each input q, back
// to back into text (each NUL-terminated) and points entry j of pointers at
// tuple j. False when memory runs out.
template <class Element>
bool layOutTuples(qint64 count, qint64 inputs, const Element &element, DSColumnBuffer<char> &text,
                  const char **pointers)
{
    qint64 total = 0;
    for (qint64 j = 0; j < count; ++j) {
        total += 3 + 2 * std::max<qint64>(inputs - 1, 0);
        for (qint64 q = 0; q < inputs; ++q)
            total += qint64(element(q, j).size());
    }
    char *out = text.reserve(total);
    if (!out)
        return false;
    text.setUsed(total);
    for (qint64 j = 0; j < count; ++j) {
        pointers[j] = out;
        *out++ = '(';
        for (qint64 q = 0; q < inputs; ++q) {
            if (q > 0) {
                *out++ = ',';
                *out++ = ' ';
            }
            const std::string_view e = element(q, j);
            // An empty element may have no data pointer at all.
            if (!e.empty())
                std::memcpy(out, e.data(), e.size());
            out += e.size();
        }
        *out++ = ')';
        *out++ = '\0';
    }
    return true;
}

template <class T>
qint64 handOut(T const **out, const T *data, qint64 n)
{
    if (!data)
        n = 0;
    if (out)
        *out = n ? data : nullptr;
    return n;
}

} // namespace

QString DSTextTupleColumn::suggestedName() const
{
    QStringList names;
    for (const DSColumn *column : sortedInputColumns())
        names << column->name();
    return QLatin1Char('(') + names.join(QStringLiteral(", ")) + QLatin1Char(')');
}

qint64 DSTextTupleColumn::widthForInput(DSColumn *column)
{
    const QList<DSColumn *> inputs = sortedInputColumns();
    const qsizetype slot = inputs.indexOf(column);
    if (slot < 0)
        return 0;
    qint64 width = 1;
    for (qsizetype q = slot + 1; q < inputs.size(); ++q)
        width *= inputs[q]->numberOfBins();
    return width;
}

qint64 DSTextTupleColumn::categoryCount(const QList<DSColumn *> &inputs)
{
    qint64 count = 1;
    for (DSColumn *column : inputs) {
        count *= std::max<qint64>(column->numberOfBins(), 0);
        if (count > maxCategories()) {
            qWarning("A tuple of %lld columns has more than %lld combinations: no categories", qlonglong(inputs.size()),
                     qlonglong(maxCategories()));
            return -1;
        }
    }
    return count;
}

qint64 DSTextTupleColumn::getTextValues(const char *const **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 n = rowsInRange(offset, limit);
    const QList<DSColumn *> inputs = sortedInputColumns();
    std::vector<Elements> elements(size_t(inputs.size()));
    for (qsizetype q = 0; q < inputs.size(); ++q)
        if (n <= 0 || !elements[size_t(q)].readRange(inputs[q], offset, n))
            return handOut<const char *>(out, nullptr, 0);
    const char **pointers = n > 0 ? temp_pointers.reserve(n) : nullptr;
    const auto element = [&](qint64 q, qint64 j) { return elements[size_t(q)].at(j); };
    if (!pointers || !layOutTuples(n, inputs.size(), element, temp_text, pointers))
        return handOut<const char *>(out, nullptr, 0);
    temp_pointers.setUsed(n);
    return handOut<const char *>(out, pointers, n);
}

qint64 DSTextTupleColumn::getTextValues(const char *const **out)
{
    const qint64 rows = tableRowCount();
    const char *const *index = nullptr;
    const int32_t *positions = nullptr;
    const qint64 categories = rows > 0 ? getIndex(&index) : 0;
    if (categories <= 0 || getIndexedValues(&positions, nullptr) < rows)
        return getTextValues(out, 0, rows);
    const char **pointers = temp_pointers.reserve(rows);
    if (!pointers)
        return handOut<const char *>(out, nullptr, 0);
    for (qint64 r = 0; r < rows; ++r)
        pointers[r] = index[positions[r]];
    temp_pointers.setUsed(rows);
    return handOut<const char *>(out, pointers, rows);
}

qint64 DSTextTupleColumn::getIndex(const char *const **out)
{
    const QList<DSColumn *> inputs = sortedInputColumns();
    const qint64 count = categoryCount(inputs);
    if (count <= 0)
        return handOut<const char *>(out, nullptr, 0);
    std::vector<Elements> elements(size_t(inputs.size()));
    std::vector<qint64> widths(size_t(inputs.size()), 1);
    for (qsizetype q = inputs.size() - 1; q >= 0; --q) {
        elements[size_t(q)].readIndex(inputs[q]);
        if (q + 1 < inputs.size())
            widths[size_t(q)] = widths[size_t(q) + 1] * elements[size_t(q) + 1].size();
    }
    // Category j takes entry (j / w) mod b of each input: the first input
    // changes slowest.
    const auto element = [&](qint64 q, qint64 j) {
        const Elements &e = elements[size_t(q)];
        return e.at((j / widths[size_t(q)]) % e.size());
    };
    const char **pointers = temp_index.reserve(count);
    if (!pointers || !layOutTuples(count, inputs.size(), element, index_buffer, pointers))
        return handOut<const char *>(out, nullptr, 0);
    temp_index.setUsed(count);
    return handOut<const char *>(out, pointers, count);
}

qint64 DSTextTupleColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    const qint64 rows = tableRowCount();
    const QList<DSColumn *> inputs = sortedInputColumns();
    const qint64 count = categoryCount(inputs);
    int32_t *positions = rows > 0 && count > 0 ? temp_indexed_values.reserve(rows) : nullptr;
    qint64 categories = 1;
    if (positions) {
        std::fill_n(positions, rows, 0);
        // Horner's scheme: each input multiplies what the earlier ones gave
        // by its own bin count, so every input weighs the product of the
        // later inputs' counts.
        for (DSColumn *column : inputs) {
            const int32_t *p = nullptr;
            qint64 b = 0;
            if (column->getIndexedValues(&p, &b) != rows || !p) {
                positions = nullptr;
                break;
            }
            for (qint64 r = 0; r < rows; ++r)
                positions[r] = int32_t(positions[r] * b + p[r]);
            categories *= b;
        }
    }
    temp_indexed_values.setUsed(positions ? rows : 0);
    temp_indexed_values_bins = positions ? categories : 0;
    if (bins)
        *bins = temp_indexed_values_bins;
    return handOut<int32_t>(out, positions, temp_indexed_values.used());
}

qint64 DSTextTupleColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    const qint64 length = setupMissingMask(offset, limit);
    mergeInputMissingMasks(offset, limit, length);
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}

void DSTextTupleColumn::didTurnIntoFault()
{
    temp_text.release();
    index_buffer.release();
    DSTextColumn::didTurnIntoFault();
}
