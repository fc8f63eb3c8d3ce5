#include "model/DSTextPartition.h"

#include "model/DSTextColumn.h"
#include "model/ds_partition_cutoffs.h"

#include <QCborArray>

#include <algorithm>

namespace {

QString textOf(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QList<qint64> toList(const std::vector<int64_t> &positions)
{
    return QList<qint64>(positions.begin(), positions.end());
}

// A range of two texts of the sorted list; positions outside it read "".
DSRange rangeOf(const std::vector<std::string_view> &texts, qint64 first, qint64 last)
{
    const qint64 c = qint64(texts.size());
    const auto text = [&](qint64 i) { return i >= 0 && i < c ? textOf(texts[size_t(i)]) : QString(""); };
    return DSRange(text(first), text(last));
}

const DSRange empty_range{QString(""), QString("")};

// The first group's range: text 0 to the text before the first position,
// or to the last text without positions; a first position of 0 leaves the
// group without texts, and the range then ends at emptyEnd.
DSRange firstRange(const std::vector<std::string_view> &texts, const QList<qint64> &positions,
                   const QString &emptyEnd)
{
    const qint64 c = qint64(texts.size());
    if (positions.isEmpty())
        return rangeOf(texts, 0, c - 1);
    return positions[0] < 1 ? DSRange(textOf(texts[0]), emptyEnd) : rangeOf(texts, 0, positions[0] - 1);
}

}  // namespace

QStringList DSTextPartition::custom_text_cutoffs() const
{
    QStringList texts;
    for (const QCborValue &value : propertyListForKey(QStringLiteral("custom_text_cutoffs")).toArray())
        if (value.isString())
            texts.append(value.toString());
    return texts;
}

void DSTextPartition::setCustom_text_cutoffs(const QStringList &texts)
{
    QCborArray array;
    for (const QString &text : texts)
        array.append(text);
    setPrimitiveValue(QVariant::fromValue(QCborValue(array)), QStringLiteral("custom_text_cutoffs"));
}

void DSTextPartition::awakeFromInsert()
{
    setCustom_text_cutoffs({});
    DSPartition::awakeFromInsert();
}

DSTextColumn *DSTextPartition::textColumn() const
{
    return ds_object_cast<DSTextColumn>(column());
}

std::vector<std::string_view> DSTextPartition::sortedTexts(bool *anyMissing) const
{
    std::vector<std::string_view> texts;
    DSTextColumn *owner = textColumn();
    const char *const *index = nullptr;
    qint64 c = owner ? owner->getIndex(&index) : 0;
    if (c <= 0 || !index) {
        if (anyMissing)
            *anyMissing = false;
        return texts;
    }
    const bool blank = ds_text_blank(index[c - 1]);
    if (anyMissing)
        *anyMissing = blank;
    if (blank)
        --c;
    texts.reserve(size_t(c));
    for (qint64 i = 0; i < c; ++i)
        texts.emplace_back(index[i]);
    return texts;
}

std::optional<QList<qint64>> DSTextPartition::indexCutoffValues(bool *anyMissing) const
{
    switch (partition_type()) {
    case 0: {
        DSTextColumn *owner = textColumn();
        if (!owner)
            return QList<qint64>();
        return owner->calculateIndexedQuantiles(quantile_count(), anyMissing).value_or(QList<qint64>());
    }
    case 2:
        return customIndexCutoffValues(anyMissing);
    case 3:
        return commonPrefixIndexCutoffValues(anyMissing);
    default:
        return std::nullopt;
    }
}

QList<qint64> DSTextPartition::customIndexCutoffValues(bool *anyMissing) const
{
    const QStringList custom = custom_text_cutoffs();
    if (custom.isEmpty())
        return {};
    const std::vector<std::string_view> texts = sortedTexts(anyMissing);
    std::vector<QByteArray> bytes;
    for (const QString &text : custom)
        bytes.push_back(text.toUtf8());
    const std::vector<std::string_view> cuts(bytes.begin(), bytes.end());
    return toList(ds_custom_text_cutoffs(texts, cuts));
}

QList<qint64> DSTextPartition::commonPrefixIndexCutoffValues(bool *anyMissing) const
{
    return toList(ds_common_prefix_cutoffs(sortedTexts(anyMissing), common_prefix_length()));
}

QList<DSRange> DSTextPartition::textRangesForIndexCutoffValues(const QList<qint64> &positions) const
{
    const std::vector<std::string_view> texts = sortedTexts(nullptr);
    const qint64 c = qint64(texts.size());
    QList<DSRange> ranges;
    if (c == 0)
        return ranges;
    ranges.append(firstRange(texts, positions, QString("")));
    for (qsizetype i = 0; i < positions.size(); ++i) {
        if (i + 1 == positions.size())
            ranges.append(rangeOf(texts, positions[i], c - 1));
        else if (positions[i + 1] == positions[i])
            ranges.append(empty_range);
        else
            ranges.append(rangeOf(texts, positions[i], positions[i + 1] - 1));
    }
    return ranges;
}

QList<DSRange> DSTextPartition::displayableTextRangesForIndexCutoffValues(const QList<qint64> &positions) const
{
    switch (partition_type()) {
    case 0:
        return textRangesForIndexCutoffValues(positions);
    case 3: {
        const std::vector<std::string_view> texts = sortedTexts(nullptr);
        QList<DSRange> ranges;
        if (texts.empty())
            return ranges;
        const qsizetype n = qsizetype(std::max<qint64>(common_prefix_length(), 0));
        const auto prefix = [&](qint64 i) {
            const QString text = rangeOf(texts, i, i).firstValue().toString();
            return DSRange(text.left(n), text.left(n));
        };
        ranges.append(prefix(0));
        for (qint64 p : positions)
            ranges.append(prefix(p));
        return ranges;
    }
    case 2: {
        const std::vector<std::string_view> texts = sortedTexts(nullptr);
        const qint64 c = qint64(texts.size());
        QList<DSRange> ranges;
        if (c == 0)
            return ranges;
        ranges.append(firstRange(texts, positions, textOf(texts[0])));
        const QStringList custom = custom_text_cutoffs();
        for (qsizetype i = 0; i < positions.size() && i < custom.size(); ++i) {
            const qint64 last = i + 1 == positions.size() ? c - 1 : positions[i + 1] - 1;
            const bool empty = i + 1 < positions.size() && positions[i + 1] == positions[i];
            ranges.append(empty || last < 0 || last >= c ? DSRange(custom[i], custom[i])
                                                         : DSRange(custom[i], textOf(texts[size_t(last)])));
        }
        return ranges;
    }
    default:
        return {};
    }
}

void DSTextPartition::populateCounts(qint64 *counts, const QList<qint64> &positions, const uint8_t *mask,
                                     qint64 length, qint64 *numberMissing) const
{
    DSTextColumn *owner = textColumn();
    const int32_t *rows = nullptr;
    qint64 bins = 0;
    const qint64 count = owner ? owner->getIndexedValues(&rows, &bins) : 0;
    const uint8_t *missing = nullptr;
    const qint64 missingLength = owner ? owner->getMissingMask(&missing) : 0;
    const std::vector<int32_t> cuts(positions.begin(), positions.end());
    std::vector<int64_t> groups(size_t(positions.size() + 1));
    int64_t missed = 0;
    ds_count_by_int_cutoffs(rows, count, cuts.data(), qint64(cuts.size()), mask, length, missing, missingLength,
                            groups.data(), &missed);
    std::copy(groups.begin(), groups.end(), counts);
    if (numberMissing)
        *numberMissing = missed;
}
