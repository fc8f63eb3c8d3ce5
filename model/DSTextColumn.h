#pragma once

#include "model/DSColumn.h"
#include "model/ds_text_index.h"
#include "platform/predicate/DSComparisonPredicate.h"

#include <QString>

// The kind base of every column of one text a row: the stored text column
// and the derived text columns (joined, stacked, constant, tuple,
// source-name). A text is a NUL-terminated UTF-8 byte string; a row without
// a string is blank, and blank rows are missing. A row holding the empty
// string is not missing, but the index and the positions treat it as blank.
//
// Value source: getTextValues() (all rows) and its ranged form are defined
// through each other; every class supplies one. The count handed out may
// fall short of the table's rows (the rows past it are blank): readers bound
// their loops by it. The pointers handed out, the row texts included, belong
// to the column and stay valid until its next request, purge, edit or fault.
//
// Text order is by unsigned bytes, never by the locale's collation.
class DSTextColumn : public DSColumn
{
public:
    using DSColumn::getMissingMask;

    // All rows: a pointer to the first row's text pointer and the count;
    // null and 0 for a column without values.
    virtual qint64 getTextValues(const char *const **out);
    // The rows from offset on, at most limit of them; null and 0 when offset
    // is at or past the count.
    virtual qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit);

    // Blank rows of the range plus the rows the missing-values predicate
    // marks, in the shared mask; its length in bytes.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // The base set-up, then, while the missing-values predicate is applied,
    // the blank rows of the range and what each subpredicate marks: "value"
    // compared with a text ignoring case (==, !=, BEGINSWITH, ENDSWITH,
    // CONTAINS; one parallel pass each), "label" (==, BEGINSWITH, ENDSWITH,
    // CONTAINS ignoring case) picking the labelled texts, whose rows are
    // marked in one pass. Subpredicates with an empty operand, another field
    // or another operator mark nothing.
    qint64 setupMissingMask(qint64 offset, qint64 limit) override;

    QString joinedColumnEntityName() const override { return QStringLiteral("DSTextJoinedColumn"); }
    QString stackedColumnEntityName() const override { return QStringLiteral("DSTextStackedColumn"); }
    // The base's, then each missing text partition (the pivot one cut in 6
    // quantiles), pivot, filter, covariate.
    void makeDependencies() override;
    // Empties the index and treats the new column as categories, unless it
    // is made in a pool (an import's), where finishing the import decides,
    // or in a context of an older store version (a migration step).
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;
    void purgeIndex() override;
    // The constant empty text.
    std::optional<DSExpression> defaultValueExpression() const override;
    bool show_missing_values_checkbox() const { return true; }

    // The index of distinct texts (ds_text_index.h) and what is read off
    // it. Every text column keeps its index and positions until purged;
    // counts, groups and the display order are recomputed at each request
    // into buffers kept until a fault.

    // The index, built when not kept; *out (when given) receives it. 0 for
    // no rows or when memory runs out.
    virtual qint64 getIndex(const char *const **out);
    // Builds the index afresh into temp_index.
    qint64 getUncachedIndex(const char *const **out);
    qint64 numberOfBins() override { return getIndex(nullptr); }
    // The index length, without building the index when it is not kept.
    qint64 numberOfUniqueValues() override;
    // The largest byte length among the index entries; 0 for none.
    virtual quint64 maximumTextValueLength();
    // Each row's position and the index length; kept until purged.
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;
    // Covariate groups: the base's when treated as categories; else the
    // groups of the covariate partition's cut-offs over all rows, rows
    // outside the mask (and missing rows) getting the group one past the
    // last. The row count; null, 0 groups and 0 without rows.
    qint64 getCovariateIndexedValues(const int32_t **out, qint64 *bins, const Categories &selected,
                                     const uint8_t *mask, qint64 length) override;
    // Computes the positions afresh; null, 0 and 0 without rows or when
    // memory runs out.
    qint64 getUncachedIndexedValues(const int32_t **out, qint64 *bins);
    // The entries whose texts ordered_values lists first (each once, as
    // listed), then the others ascending; the index length.
    qint64 getIndexedValueOrder(const int32_t **out) override;
    // The weighted count of each index entry under mask, with its missing
    // flag, in temp_counts; the number of entries (0, nothing handed out,
    // for an empty index or when memory runs out).
    virtual qint64 getCounts(const ds_txt_counts_s **out, const uint8_t *mask, qint64 length);
    bool categoriesCanBeReordered() const override { return true; }
    // One DSTextColumnCategory per counts entry, in index order, with its
    // value (none for the blank entry or bytes that are not UTF-8) and its
    // label from category_labels.
    Categories categoriesForMask(const uint8_t *mask, qint64 length) override;
    // One hue per index entry: NaN for the blank entry (and for bytes that
    // are not UTF-8); else the table's colour of the text's label (or of the
    // text), else the hue of that text.
    QList<double> hueIndex() override;
    // The row's text; a null text when the row has no string. With label,
    // and treat_as_categories, its label instead when it has one.
    QString stringValueAtOffset(qint64 row, bool label);

    // The text of an index entry as a string: a null text for the blank
    // entry or bytes that are not UTF-8.
    static QString stringForText(const char *text);
    // The label of a text in category_labels, or a null text.
    static QString labelOf(const QCborMap &labels, const QString &text);

protected:
    // The rows of the last request of a stored column, rebuilt at each.
    DSColumnBuffer<const char *> temp_pointers;
    // The sorted index of distinct texts, pointing into the column's texts.
    DSColumnBuffer<const char *> temp_index;
    // The weighted counts of the last getCounts; kept until a fault.
    DSColumnBuffer<ds_txt_counts_s> temp_counts;

private:
    // Builds the index of the rows into temp_index (and, when positions is
    // given, each row's position); false, keeping no index, when memory runs
    // out.
    bool buildIndex(const char *const *rows, qint64 count, int32_t *positions);
    // Marks the rows of [offset, offset + count) whose texts one "value"
    // subpredicate picks.
    void markValueComparison(const char *const *rows, qint64 offset, qint64 count, DSPredicateOperatorType type,
                             const QString &operand);
    // Marks the rows whose texts are one of the given texts, byte for byte.
    void markTexts(const char *const *rows, qint64 offset, qint64 count, const QList<QByteArray> &texts);

    bool m_indexKept = false;
    bool m_positionsKept = false;
};
