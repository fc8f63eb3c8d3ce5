#pragma once

#include <QString>

#include <cmath>
#include <memory>

class DSColumn;
class QImage;

// One distinct value of a column as a summary shows it (a text, a number, a
// period, or the entry for missing rows), with its count under the current
// row mask and the proportions the summary sets. Categories are plain
// in-memory objects, made afresh whenever a column computes its categories
// or its summary, and shared by whoever holds them (summaries, selections).
//
// This base holds the fields every kind has; the kinds (text, numeric, time)
// add the value, its display texts, its hue and its colours.
class DSColumnCategory
{
public:
    DSColumnCategory() = default;
    virtual ~DSColumnCategory() = default;
    DSColumnCategory(const DSColumnCategory &) = delete;
    DSColumnCategory &operator=(const DSColumnCategory &) = delete;

    // Rows holding the value under the mask, as the maker counts them.
    qint64 count() const { return m_count; }
    void setCount(qint64 count) { m_count = count; }
    // Position of the value among the column's distinct values.
    qint64 index() const { return m_index; }
    void setIndex(qint64 index) { m_index = index; }
    // Position among the summary's categories whose count is not 0; -1 for
    // an empty one.
    qint64 nonempty_index() const { return m_nonemptyIndex; }
    void setNonempty_index(qint64 index) { m_nonemptyIndex = index; }
    bool is_missing() const { return m_isMissing; }
    void setIs_missing(bool missing) { m_isMissing = missing; }

    double proportion() const { return m_proportion; }
    void setProportion(double p) { m_proportion = p; }
    double proportion_of_nonmissing() const { return m_proportionOfNonmissing; }
    void setProportion_of_nonmissing(double p) { m_proportionOfNonmissing = p; }
    double proportion_lower_ci() const { return m_lowerCI; }
    void setProportion_lower_ci(double bound) { m_lowerCI = bound; }
    double proportion_upper_ci() const { return m_upperCI; }
    void setProportion_upper_ci(double bound) { m_upperCI = bound; }

    // Scratch values of the outlines and the model code.
    double temp_p_value() const { return m_pValue; }
    void setTemp_p_value(double p) { m_pValue = p; }
    double temp_coefficient() const { return m_coefficient; }
    void setTemp_coefficient(double c) { m_coefficient = c; }
    double temp_std_error() const { return m_stdError; }
    void setTemp_std_error(double e) { m_stdError = e; }
    double temp_log_likelihood() const { return m_logLikelihood; }
    void setTemp_log_likelihood(double l) { m_logLikelihood = l; }
    // A picture made by the drawing side; the category only holds it.
    const std::shared_ptr<const QImage> &temp_image() const { return m_image; }
    void setTemp_image(std::shared_ptr<const QImage> image) { m_image = std::move(image); }

    // The column the category belongs to; not owned.
    DSColumn *column() const { return m_column; }
    void setColumn(DSColumn *column) { m_column = column; }
    // The user's label of the value, or a null text.
    const QString &label() const { return m_label; }
    void setLabel(const QString &label) { m_label = label; }

private:
    qint64 m_count = 0;
    qint64 m_index = 0;
    qint64 m_nonemptyIndex = -1;
    bool m_isMissing = false;
    double m_proportion = 0;
    double m_proportionOfNonmissing = 0;
    double m_lowerCI = NAN;
    double m_upperCI = NAN;
    double m_pValue = NAN;
    double m_coefficient = NAN;
    double m_stdError = NAN;
    double m_logLikelihood = NAN;
    std::shared_ptr<const QImage> m_image;
    DSColumn *m_column = nullptr;
    QString m_label;
};
