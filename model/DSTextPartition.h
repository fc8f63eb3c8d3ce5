#pragma once

#include "model/DSPartition.h"
#include "model/DSRange.h"

#include <QList>
#include <QStringList>

#include <optional>
#include <string_view>
#include <vector>

class DSTextColumn;

// The partition of a text column: quantile groups (type 0), the user's cut
// texts (type 2) or groups sharing their first bytes (type 3). Its cut-offs
// are positions p1, p2, ... into the column's sorted distinct non-missing
// texts: group 0 holds the texts at 0 ... p1 - 1, group i those at pi ...
// p(i+1) - 1, the last group pk to the last text. Texts order by their bytes.
class DSTextPartition : public DSPartition
{
public:
    qint64 common_prefix_length() const { return integerForKey(QStringLiteral("common_prefix_length")); }
    void setCommon_prefix_length(qint64 n) { setPrimitiveValue(qlonglong(n), QStringLiteral("common_prefix_length")); }
    QStringList custom_text_cutoffs() const;
    void setCustom_text_cutoffs(const QStringList &texts);

    // Starts with no custom texts.
    void awakeFromInsert() override;

    DSTextColumn *textColumn() const;

    // The cut positions by type: 0 the column's quantile positions, 2 the
    // custom texts', 3 the common prefixes'; nullopt for another type.
    // *anyMissing (when given) tells whether a row of the column is blank.
    std::optional<QList<qint64>> indexCutoffValues(bool *anyMissing) const;
    // For each custom text, in order: the first position whose text is not
    // before it, or the last position when every text is. Empty without
    // custom texts (the flag then unwritten) or texts.
    QList<qint64> customIndexCutoffValues(bool *anyMissing) const;
    // Each position whose first common_prefix_length bytes differ from the
    // previous text's; none for a length of 0.
    QList<qint64> commonPrefixIndexCutoffValues(bool *anyMissing) const;
    // One range per group: its first and last text; a blank text or an
    // empty group shows as "". Empty without texts.
    QList<DSRange> textRangesForIndexCutoffValues(const QList<qint64> &positions) const;
    // The ranges the partition popover shows: type 0 as above; type 3 the
    // first text of each group cut to the prefix length (UTF-16 units) at
    // both ends; type 2 from each custom text to the last text of its group.
    // Empty for another type or without texts.
    QList<DSRange> displayableTextRangesForIndexCutoffValues(const QList<qint64> &positions) const;
    // counts[0 .. positions.size()] := the rows under the mask per group;
    // blank rows under the mask apart (*numberMissing). The caller owns counts.
    void populateCounts(qint64 *counts, const QList<qint64> &positions, const uint8_t *mask, qint64 length,
                        qint64 *numberMissing) const;

private:
    // The sorted distinct non-blank texts; *anyMissing (when given) tells
    // whether the index ended with the blank entry.
    std::vector<std::string_view> sortedTexts(bool *anyMissing) const;
};
