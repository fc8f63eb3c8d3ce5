#include "stats/DSBottomLineReporter.h"

#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSNumericColumn.h"
#include "model/DSNumericPartition.h"
#include "model/DSTable.h"
#include "model/DSTimeColumn.h"
#include "model/ds_time_units.h"
#include "stats/DSStatisticalTest.h"
#include "stats/DSStatisticalTestCorrelation.h"
#include "stats/DSStatisticalTestKSampleKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestShapiroWilk.h"
#include "stats/DSStatisticalTestWilcoxonSignedRank.h"
#include "stats/DSBottomLineReporterOwner.h"
#include "platform/sterna/sterna.h"

#include <QLocale>

#include <cmath>

bool DSBottomLineReporter::hasResultForColumns(const DSColumnSelection *, const DSColumnSelection *)
{
    return false;
}

DSBottomLineReporter::Result DSBottomLineReporter::resultForColumns(const DSColumnSelection *,
                                                                    const DSColumnSelection *, const uint8_t *, qint64)
{
    return nullptr;
}

void DSBottomLineReporter::appendStringForCovariate(DSColumn *covariate,
                                                    const DSColumnSelection::Categories &categories, bool useGroupName,
                                                    DSAttributedString *string) const
{
    if (categories.size() == 1) {
        string->append(QLatin1Char('"') + categories.first()->formattedValue() + QLatin1Char('"'),
                       standardAttributes());
        return;
    }
    if (categories.size() >= 2)
        string->append(QStringLiteral("selected %1 of ").arg(covariate->groupName()), standardAttributes());
    else if (useGroupName)
        string->append(QStringLiteral("%1 of ").arg(covariate->groupName()), standardAttributes());
    string->append(covariate->shortName(), italicAttributes());
}

void DSBottomLineReporter::appendStringForColumns(const DSColumnSelection *columns, DSAttributedString *string)
{
    if (columns->count() == 2) {
        string->append(columns->columnAtIndex(0)->name(), italicAttributes());
        string->append(QStringLiteral(" and "), standardAttributes());
        string->append(columns->columnAtIndex(1)->name(), italicAttributes());
    } else if (columns->count() >= 3) {
        string->append(QStringLiteral("the %1 selected columns").arg(columns->count()), standardAttributes());
    }
}

namespace {

// The subject of the base sentence: a selected category, a time column's
// period, the column's name or "value(s)" for several columns.
DSAttributedString subjectOf(const DSStatisticalTest *result, double significance, const DSColumnSelection *columns)
{
    DSAttributedString subject;
    const auto standard = DSBottomLineReporter::standardAttributes();
    const auto italic = DSBottomLineReporter::italicAttributes();
    DSColumn *column = columns->columnAtIndex(0);
    if (columns->count() > 1) {
        const bool kSample = dynamic_cast<const DSStatisticalTestKSampleKolmogorovSmirnov *>(result);
        subject.append(kSample ? QStringLiteral("values") : QStringLiteral("value"), standard);
    } else if (columns->numberOfCategoriesAtIndex(0) == 1) {
        subject.append(QLatin1Char('"') + columns->categoriesAtIndex(0).first()->formattedValue() + QLatin1Char('"'),
                       standard);
    } else {
        if (dynamic_cast<DSTimeColumn *>(column) && !dynamic_cast<const DSStatisticalTestCorrelation *>(result)) {
            const auto summary = column->summaryWithSignificance(significance);
            const char *period = ds_time_period_name(summary ? summary->time_unit() : -1);
            subject.append(QStringLiteral("%1 of ").arg(QString::fromUtf8(period ? period : "")), standard);
        }
        subject.append(column->shortName(), italic);
    }
    return subject;
}

}  // namespace

std::optional<DSAttributedString> DSBottomLineReporter::attributedStringForResult(const DSStatisticalTest *result,
                                                                                  double significance,
                                                                                  const DSColumnSelection *columns,
                                                                                  const DSColumnSelection *covariates)
{
    const qsizetype numCovariates = countOf(covariates);
    if (!result || std::isnan(result->p_value()) || numCovariates > 2 || countOf(columns) == 0
        || columns->numberOfCategoriesAtIndex(0) > 1)
        return std::nullopt;
    const bool significant = result->isSignificantAtLevel(significance);

    DSAttributedString phrase;
    if (numCovariates == 0) {
        appendStringForColumns(columns, &phrase);
    } else {
        const bool useGroupName = numCovariates == 1 && !dynamic_cast<const DSStatisticalTestCorrelation *>(result);
        appendStringForCovariate(covariates->columnAtIndex(0), covariates->categoriesAtIndex(0), useGroupName, &phrase);
        if (numCovariates == 2) {
            phrase.append(QStringLiteral(" and "), standardAttributes());
            appendStringForCovariate(covariates->columnAtIndex(1), covariates->categoriesAtIndex(1), false, &phrase);
        }
    }

    DSAttributedString sentence;
    sentence.append(result->explanationPrefix(significant), standardAttributes());
    sentence.append(subjectOf(result, significance, columns));
    sentence.append(result->explanationInfix(significant), standardAttributes());
    sentence.append(phrase);
    sentence.append(result->explanationSuffix(significant), standardAttributes());
    return sentence;
}

QString DSBottomLineReporter::shortStringForResult(const DSStatisticalTest *result, double significance,
                                                   const DSColumnSelection *)
{
    if (!result || std::isnan(result->p_value()))
        return QString();
    return result->shortExplanationAtLevel(significance);
}

QString DSBottomLineReporter::commandForRecodingCovariate(DSColumn *covariate, const QString &variable, qint64 syntax)
{
    auto *numeric = dynamic_cast<DSNumericColumn *>(covariate);
    auto *partition = numeric ? dynamic_cast<DSNumericPartition *>(numeric->covariate_partition()) : nullptr;
    if (!numeric || numeric->treat_as_categories() || !partition)
        return QString();
    const ds_stats_s extremes = numeric->calculateStatsWithMask(nullptr, 0, ds_stats_extremes);
    const QList<double> cutoffs =
        partition->cutoffValuesFromValue(extremes.min, extremes.max, nullptr).value_or(QList<double>());
    // Without a cut-off every row is one group: there is nothing to recode,
    // and the forms below would name a last cut-off that does not exist.
    if (cutoffs.isEmpty())
        return QString();
    const QString &v = variable, x = covariate->name();
    const qsizetype n = cutoffs.size();
    QString text;
    switch (syntax) {
    case syntaxR:
        text += QStringLiteral("df$%1 <- NA\n").arg(v);
        for (qsizetype i = 0; i < n; ++i)
            text += i == 0 ? QStringLiteral("df$%1[df$%2 < %3] <- 0\n").arg(v, x, number(cutoffs[0]))
                           : QStringLiteral("df$%1[df$%2 < %3 & df$%2 >= %4] <- %5\n")
                                 .arg(v, x, number(cutoffs[i]), number(cutoffs[i - 1]), QString::number(i));
        text += QStringLiteral("df$%1[df$%2 >= %3] <- %4\n").arg(v, x, number(cutoffs.last()), QString::number(n));
        break;
    case syntaxSAS:
        text += QStringLiteral("%1 = .;\n").arg(v);
        for (qsizetype i = 0; i < n; ++i)
            text += i == 0 ? QStringLiteral("IF (. < %1 < %2) THEN %3 = 0;\n").arg(x, number(cutoffs[0]), v)
                           : QStringLiteral("IF (%1 <= %2 < %3) THEN %4 = %5;\n")
                                 .arg(number(cutoffs[i - 1]), x, number(cutoffs[i]), v, QString::number(i));
        text += QStringLiteral("IF (%1 <= %2) THEN %3 = %4;\n").arg(number(cutoffs.last()), x, v, QString::number(n));
        break;
    case syntaxSPSS:
        text += QStringLiteral("recode %1 ").arg(x);
        for (qsizetype i = n; i >= 1; --i)
            text += QStringLiteral("(%1 thru hi=%2) ").arg(number(cutoffs[i - 1]), QString::number(i));
        text += QStringLiteral("(lo thru hi=0) into %1.\n").arg(v);
        break;
    case syntaxStata: {
        QStringList at;
        for (double c : cutoffs)
            at.append(number(c));
        text += QStringLiteral("egen %1=cut(%2), at(%3)\n").arg(v, x, at.join(QLatin1Char(',')));
        break;
    }
    default:
        break;
    }
    return text;
}

QString DSBottomLineReporter::REstimationCommandForResult(const DSStatisticalTest *, const DSColumnSelection *,
                                                          const DSColumnSelection *)
{
    return QString();
}

QString DSBottomLineReporter::SPSSEstimationCommandForResult(const DSStatisticalTest *, const DSColumnSelection *,
                                                             const DSColumnSelection *)
{
    return QString();
}

QString DSBottomLineReporter::StataEstimationCommandForResult(const DSStatisticalTest *, const DSColumnSelection *,
                                                              const DSColumnSelection *)
{
    return QString();
}

QString DSBottomLineReporter::SASEstimationCommandForResult(const DSStatisticalTest *, const DSColumnSelection *,
                                                            const DSColumnSelection *)
{
    return QString();
}

QString DSBottomLineReporter::estimationCommandForResult(qint64 syntax, const DSStatisticalTest *result,
                                                         const DSColumnSelection *columns,
                                                         const DSColumnSelection *covariates)
{
    switch (syntax) {
    case syntaxStata:
        return StataEstimationCommandForResult(result, columns, covariates);
    case syntaxSPSS:
        return SPSSEstimationCommandForResult(result, columns, covariates);
    case syntaxSAS:
        return SASEstimationCommandForResult(result, columns, covariates);
    case syntaxR:
        return REstimationCommandForResult(result, columns, covariates);
    default:
        return QString();
    }
}

DSTable *DSBottomLineReporter::tableOf(const DSColumnSelection *columns)
{
    DSColumn *first = columns ? columns->columnAtIndex(0) : nullptr;
    return first ? first->table() : nullptr;
}

bool DSBottomLineReporter::tableFlag(const DSColumnSelection *columns, const char *key)
{
    DSTable *table = tableOf(columns);
    return table && table->boolForKey(QString::fromLatin1(key));
}

qint64 DSBottomLineReporter::tableSetting(const DSColumnSelection *columns, const char *key)
{
    DSTable *table = tableOf(columns);
    return table ? table->integerForKey(QString::fromLatin1(key)) : 0;
}

bool DSBottomLineReporter::allPlainNumeric(const DSColumnSelection *columns)
{
    return countOf(columns) > 0 && columns->allNumeric() && !columns->anyCategories() && !columns->anySurvivalTimes();
}

QList<DSNumericColumn *> DSBottomLineReporter::numericColumns(const DSColumnSelection *columns)
{
    QList<DSNumericColumn *> list;
    for (DSColumn *column : columns->columns())
        if (auto *numeric = dynamic_cast<DSNumericColumn *>(column))
            list.append(numeric);
    return list;
}

QString DSBottomLineReporter::number(double x)
{
    return QString::number(x, 'g', QLocale::FloatingPointShortest);
}

QString DSBottomLineReporter::fill(const char *form, const QStringList &arguments)
{
    QString text;
    for (const char *c = form; *c; ++c) {
        if (c[0] == '%' && c[1] >= '1' && c[1] <= '9') {
            const qsizetype i = c[1] - '1';
            text += i < arguments.size() ? arguments[i] : QString();
            ++c;
        } else {
            text += QLatin1Char(*c);
        }
    }
    return text;
}

QString DSBottomLineReporter::weightsName(const DSColumnSelection *columns)
{
    DSTable *table = tableOf(columns);
    return table && table->isFrequencyWeighted() ? table->frequency_weights_column()->name() : QString();
}

QString DSBottomLineReporter::rCommand(const DSColumnSelection *columns, const QString &body)
{
    const QString weights = weightsName(columns);
    if (body.isNull() || weights.isNull())
        return body;
    return QStringLiteral("df <- df[rep(seq_len(nrow(df)), df$%1), ]\nwith(df, {\n%2\n})").arg(weights, body);
}

QString DSBottomLineReporter::spssCommand(const DSColumnSelection *columns, const QString &body)
{
    if (body.isNull())
        return QString();
    const QString weights = weightsName(columns);
    return (weights.isNull() ? QStringLiteral("") : QStringLiteral("weight by %1.\n").arg(weights)) + body;
}

QString DSBottomLineReporter::stataCommand(const DSColumnSelection *columns, const QString &body)
{
    if (body.isNull())
        return QString();
    const QString weights = weightsName(columns);
    return weights.isNull() ? body : body + QStringLiteral(" [fweight=%1]").arg(weights);
}

QString DSBottomLineReporter::sasCommand(const DSColumnSelection *columns, const QString &body, bool procedureFreq)
{
    if (body.isNull())
        return QString();
    const QString weights = weightsName(columns);
    QString text = body;
    if (!weights.isNull())
        text += (procedureFreq ? QStringLiteral("  weight %1;\n") : QStringLiteral("  freq %1;\n")).arg(weights);
    return text + QStringLiteral("run;");
}

QString DSBottomLineReporter::groupingVariable(DSColumn *covariate, qint64 syntax, QString *text)
{
    const QString variable = QStringLiteral("%1_r").arg(covariate->name());
    const QString recoding = commandForRecodingCovariate(covariate, variable, syntax);
    if (recoding.isEmpty())
        return covariate->name();
    *text += recoding;
    return variable;
}

void DSBottomLineReporter::showQuantiles(const double *values, const int32_t *weights, qint64 count) const
{
    if (m_owner)
        m_owner->setQQPlotQuantiles(values, weights, count);
}

DSBottomLineReporter::Result DSBottomLineReporter::normalityResult(const double *values, const int32_t *weights,
                                                                   qint64 count,
                                                                   const std::function<ds_stats_s()> &moments,
                                                                   double *mean, double *sd)
{
    const qint64 n = observationCount(weights, count);
    if (n > 5000) {
        const ds_stats_s stats = moments();
        *mean = stats.avg;
        *sd = std::sqrt(stats.var_unbiased);
        return std::make_shared<DSStatisticalTestKolmogorovSmirnov>(
            ds_kolmogorov_smirnov_normal(values, weights, count, *mean, *sd), n);
    }
    return std::make_shared<DSStatisticalTestShapiroWilk>(ds_shapiro_wilk(values, weights, count), n);
}

qint64 DSBottomLineReporter::observationCount(const int32_t *weights, qint64 count)
{
    if (!weights)
        return count;
    qint64 n = 0;
    for (qint64 i = 0; i < count; ++i)
        n += std::max<int32_t>(weights[i], 0);
    return n;
}

DSBottomLineReporter::Result DSBottomLineReporter::signedRankResult(const DSColumnSelection *columns,
                                                                    const uint8_t *mask, qint64 length)
{
    const ds_signed_rank_s ranked = DSNumericColumn::calculateSignedRanks(numericColumns(columns), mask, length);
    return std::make_shared<DSStatisticalTestWilcoxonSignedRank>(ranked.sum, ranked.count, ranked.ties,
                                                                 ranked.zeros > 0);
}

QString DSBottomLineReporter::signedRankRCommand(const DSStatisticalTest *result, const QString &first,
                                                 const QString &second)
{
    const bool approximate = result->shortStatisticName() == QLatin1String("z");
    return QStringLiteral("wilcox.test(%1, %2, paired = TRUE%3)")
        .arg(first, second, approximate ? QStringLiteral(", exact = FALSE") : QString());
}
