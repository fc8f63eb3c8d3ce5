#pragma once

#include "model/DSColumnCategory.h"
#include "model/ds_time_stats.h"

#include <QList>

#include <memory>

// The summary of one column under a row mask: its categories with their
// counts and proportions, the totals, the chi-square against equal counts,
// and the categories at the first, last and quartile places. A builder
// fills it once (the column base's category summary, the indicator and time
// kinds); afterwards it is read only and shared by whoever holds it, the
// column's cache among them. It refers to its column without owning it.
class DSColumnSummary
{
public:
    using CategoryRef = std::shared_ptr<DSColumnCategory>;
    using Categories = QList<CategoryRef>;

    // Every category, in the column's category order, missing included.
    const Categories &categories() const { return m_categories; }
    void setCategories(Categories categories) { m_categories = std::move(categories); }
    // The categories whose count is not 0, in display order; each one's
    // nonempty_index is its place here.
    const Categories &nonempty_categories() const { return m_nonempty; }
    void setNonempty_categories(Categories categories) { m_nonempty = std::move(categories); }
    DSColumn *column() const { return m_column; }
    void setColumn(DSColumn *column) { m_column = column; }

    // The sum of the categories' lower confidence bounds; NaN without a level.
    double proportion_lower_ci_total() const { return m_lowerCITotal; }
    void setProportion_lower_ci_total(double total) { m_lowerCITotal = total; }
    // Pearson's chi-square of the non-missing counts against equal counts.
    double equal_counts_chi_square() const { return m_equalCountsChiSquare; }
    void setEqual_counts_chi_square(double chiSquare) { m_equalCountsChiSquare = chiSquare; }
    // Time columns: the period counts against counts proportional to the
    // periods' lengths.
    double proportional_counts_chi_square() const { return m_proportionalCountsChiSquare; }
    void setProportional_counts_chi_square(double chiSquare) { m_proportionalCountsChiSquare = chiSquare; }
    qint64 total_count() const { return m_totalCount; }
    void setTotal_count(qint64 count) { m_totalCount = count; }
    qint64 nonmissing_count() const { return m_nonmissingCount; }
    void setNonmissing_count(qint64 count) { m_nonmissingCount = count; }

    // Non-missing, non-empty categories at the ends and the quartiles; none
    // when no such category exists.
    const CategoryRef &first_category() const { return m_first; }
    void setFirst_category(CategoryRef category) { m_first = std::move(category); }
    const CategoryRef &last_category() const { return m_last; }
    void setLast_category(CategoryRef category) { m_last = std::move(category); }
    const CategoryRef &median_category() const { return m_median; }
    void setMedian_category(CategoryRef category) { m_median = std::move(category); }
    const CategoryRef &q1_category() const { return m_q1; }
    void setQ1_category(CategoryRef category) { m_q1 = std::move(category); }
    const CategoryRef &q3_category() const { return m_q3; }
    void setQ3_category(CategoryRef category) { m_q3 = std::move(category); }

    // Time columns: the row of the time-unit table in which periods were
    // counted.
    qint64 time_unit() const { return m_timeUnit; }
    void setTime_unit(qint64 unit) { m_timeUnit = unit; }
    // Time columns' period summary: the statistics of the rows it counts.
    const ds_time_stats_s &time_stats() const { return m_timeStats; }
    void setTime_stats(const ds_time_stats_s &stats) { m_timeStats = stats; }

    qsizetype numberOfCategories() const { return m_categories.size(); }
    // The category at i, or none outside the list.
    CategoryRef categoryAtIndex(qsizetype i) const { return m_categories.value(i); }
    qsizetype numberOfNonEmptyCategories() const { return m_nonempty.size(); }
    CategoryRef categoryAtNonEmptyIndex(qsizetype i) const { return m_nonempty.value(i); }

private:
    Categories m_categories;
    Categories m_nonempty;
    DSColumn *m_column = nullptr;
    double m_lowerCITotal = 0;
    double m_equalCountsChiSquare = 0;
    double m_proportionalCountsChiSquare = 0;
    qint64 m_totalCount = 0;
    qint64 m_nonmissingCount = 0;
    CategoryRef m_first, m_last, m_median, m_q1, m_q3;
    qint64 m_timeUnit = 0;
    ds_time_stats_s m_timeStats;
};
