#pragma once

#include "model/util/ds_colors.h"
#include "model/util/ds_corr.h"

#include <QString>

#include <cmath>
#include <memory>
#include <optional>

class DSColumn;
class QImage;

// One distinct value of a column as a summary shows it (a text, a number, a
// period, or the entry for missing rows), with its count under the current
// row mask and the proportions the summary sets. Categories are plain
// in-memory objects, made afresh whenever a column computes its categories
// or its summary, and shared by whoever holds them (summaries, selections).
//
// This base holds the fields every kind has, the colours made from a hue and
// the correlation of two categories; the kinds (text, numeric, time) add the
// value and choose its display texts and its hue.
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

    // The category's full text; "" here.
    virtual QString longValue() const { return QStringLiteral(""); }
    // The text for tables and pictures: longValue through the column's text
    // formatter (longValue itself without one); "" when longValue is null.
    virtual QString formattedValue() const;

    // A stable hue in [0, 1); NaN here.
    virtual double hue() const { return NAN; }
    // The category tints of hue() (plain, light, dark), made on first
    // request and kept until purgeImageAndColors().
    ds_rgba_s color() const { return tint(0, kDSPlainSaturation, kDSPlainLightness); }
    ds_rgba_s lightColor() const { return tint(1, kDSLightSaturation, kDSLightLightness); }
    ds_rgba_s darkColor() const { return tint(2, kDSDarkSaturation, kDSDarkLightness); }
    // Drops the picture and the kept colours, so that the next request
    // follows a changed label or label colour.
    void purgeImageAndColors();

    // The weighted phi correlation of membership of this category and of
    // the other under the row mask (other's calculateCategoryCorrelation
    // with this one); every field 0 without another category.
    ds_corr_s calculateCorrelation(const DSColumnCategory *other, const uint8_t *mask, qint64 length) const;
    // The same, computed here: rows are those both columns index, weighted
    // by this category's column's frequency weights. r is NaN when either
    // membership covers all rows or none.
    ds_corr_s calculateCategoryCorrelation(const DSColumnCategory *other, const uint8_t *mask, qint64 length) const;
    // The correlation with each category 0 ... n - 1 of another variable,
    // given as one category number a row (byIndexes, covering this
    // category's column's rows; numbers outside 0 ... n - 1 take no part),
    // into results[0 .. n) in one pass. False when n < 1 or results is null.
    bool calculateMultipleCorrelations(ds_corr_s *results, qint64 n, const int32_t *byIndexes, const uint8_t *mask,
                                       qint64 length) const;

protected:
    // The table's label_colors entry for key, when there is one.
    std::optional<double> tableHueFor(const QString &key) const;
    // text through the column's text formatter, or text itself without one.
    QString throughTextFormatter(const QString &text) const;

private:
    ds_rgba_s tint(int which, double saturation, double lightness) const;

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
    mutable std::optional<ds_rgba_s> m_tints[3];
};
