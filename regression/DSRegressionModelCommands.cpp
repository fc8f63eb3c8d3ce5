// The command texts that fit a model's outcome in other statistics
// packages. They depend on the model codes, roles and options alone, never
// on a fit.
#include "regression/DSRegressionModel.h"

#include "model/DSColumn.h"
#include "derived/DSComputeTimeDifferenceColumn.h"
#include "model/DSColumnCategory.h"
#include "model/DSColumnCondition.h"
#include "model/DSColumnConditionBit.h"
#include "model/DSColumnConditionString.h"
#include "model/DSColumnConditionValue.h"
#include "model/ds_column_conditions.h"
#include "model/DSNumericColumn.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSTable.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSExplanatoryInteractionVariable.h"
#include "regression/DSOutcomeVariable.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

enum class Kind { Binary, Categorical, Cardinal };

// What every syntax reads of the model and its outcome.
struct CommandInputs {
    Kind kind = Kind::Cardinal;
    qint64 code = 0;
    QString outcome;
    QString table;
    QString baseValue;
    QString exposure; // empty unless the outcome applies one
    QString weight;   // empty unless the outcome applies analytic weights
    QString strata;   // empty unless the outcome stratifies
    QString frequency; // the table's frequency-weights column, when weighted
    QString cluster;  // the panel column, when the fit clusters
    // A Cox outcome's censoring: the conditions that mark a censored row,
    // joined by all (else any), and the default column whose values stand
    // in (censored) where the outcome is missing.
    struct Condition {
        QString column;
        qint64 op = ds_condition_equal;
        QString number;  // the right-hand side as a number; else text below
        QString text;
        bool isText = false;
    };
    QList<Condition> censoring;
    bool censoringByAll = true;
    QString defaultColumn;
    QString startTime, endTime; // the inputs of a time-difference outcome
    bool constant = true;
    bool oddsRatios = false;
    bool robust = false;
    // Included terms in order: a column variable (name, categorical) or an
    // interaction (both inputs).
    struct Term {
        QString name;
        bool categorical = false;
        bool interaction = false;
        QString second;
        bool secondCategorical = false;
        // The non-base categories of each input as literals of the
        // column's kind (numbers bare, texts quoted), for syntaxes that
        // need the dummies spelled out.
        QStringList levels, secondLevels;
    };
    QList<Term> terms;
};

QString nameOf(const DSColumn *column)
{
    return column ? column->name() : QString();
}

// The outcome's applied censoring conditions and censoring default.
void addCensoring(DSOutcomeVariable *outcome, CommandInputs *in)
{
    if (outcome->apply_right_censoring()) {
        in->censoringByAll = outcome->right_censoring_predicate_type() == 1;
        for (DSColumnCondition *condition : ds_objects_cast<DSColumnCondition>(outcome->sortedCensoringConditions())) {
            CommandInputs::Condition c;
            c.column = nameOf(condition->lhs_column());
            c.op = condition->operatorType();
            if (auto *value = dynamic_cast<DSColumnConditionValue *>(condition)) {
                c.number = QString::number(value->rhs_value(), 'g', 17);
            } else if (auto *bit = dynamic_cast<DSColumnConditionBit *>(condition)) {
                c.op = ds_condition_equal;
                c.number = bit->rhs_bit() ? QStringLiteral("1") : QStringLiteral("0");
            } else if (auto *text = dynamic_cast<DSColumnConditionString *>(condition)) {
                c.text = text->rhs_string();
                c.isText = true;
            } else {
                continue; // dates have no literal common to the four syntaxes
            }
            in->censoring << c;
        }
    }
    if (outcome->apply_default() && outcome->default_column() && outcome->default_is_censored())
        in->defaultColumn = nameOf(outcome->default_column());
}

// How one syntax writes a comparison and joins them: the symbols of
// operators 0 to 5, the templates of 8 (begins with), 9 (ends with) and 99
// (contains) with %1 the column and %2 the quoted text, the joints of all
// and any, and the test of a missing value of column %1.
struct ConditionSyntax {
    const char *symbols[6];
    const char *beginsWith, *endsWith, *contains;
    const char *all, *any, *missing;
};

const ConditionSyntax kRConditions = {{"<", "<=", ">", ">=", "==", "!="},
                                      "startsWith(%1, %2)", "endsWith(%1, %2)", "grepl(%2, %1, fixed = TRUE)",
                                      " & ", " | ", "is.na(%1)"};
const ConditionSyntax kStataConditions = {{"<", "<=", ">", ">=", "==", "!="},
                                          "strpos(%1, %2) == 1", "substr(%1, -ustrlen(%2), .) == %2",
                                          "strpos(%1, %2) > 0", " & ", " | ", "missing(%1)"};
const ConditionSyntax kSPSSConditions = {{"<", "<=", ">", ">=", "=", "~="},
                                         "index(%1, %2) = 1",
                                         "rindex(rtrim(%1), %2) = length(rtrim(%1)) - length(%2) + 1",
                                         "index(%1, %2) > 0", " and ", " or ", "missing(%1)"};
const ConditionSyntax kSASConditions = {{"<", "<=", ">", ">=", "=", "ne"},
                                        "index(%1, %2) = 1",
                                        "substr(strip(%1), length(strip(%1)) - length(%2) + 1) = %2",
                                        "index(%1, %2) > 0", " and ", " or ", "missing(%1)"};

QString conditionText(const CommandInputs::Condition &c, const ConditionSyntax &syntax)
{
    const QString literal = c.isText ? QStringLiteral("\"%1\"").arg(c.text) : c.number;
    if (c.op >= 0 && c.op <= 5)
        return QStringLiteral("%1 %2 %3").arg(c.column, QString::fromLatin1(syntax.symbols[c.op]), literal);
    const char *form = c.op == ds_condition_begins_with ? syntax.beginsWith
                       : c.op == ds_condition_ends_with ? syntax.endsWith
                                                        : syntax.contains;
    return QString::fromLatin1(form).arg(c.column, literal);
}

// The expression that is true on a censored row; empty without censoring.
QString censoredText(const CommandInputs &in, const ConditionSyntax &syntax)
{
    QStringList parts;
    for (const CommandInputs::Condition &c : in.censoring)
        parts << conditionText(c, syntax);
    QString censored = parts.join(QString::fromLatin1(in.censoringByAll ? syntax.all : syntax.any));
    if (!in.defaultColumn.isEmpty()) {
        const QString missing = QString::fromLatin1(syntax.missing).arg(in.outcome);
        censored = censored.isEmpty() ? missing
                                      : QStringLiteral("(%1)%2%3").arg(censored, QString::fromLatin1(syntax.any), missing);
    }
    return censored;
}

// The values of a categorical variable's coefficients (every category but
// the base), as literals; none for a variable without categories.
QStringList levelsOf(DSExplanatoryColumnVariable *variable)
{
    QStringList levels;
    if (!variable || !variable->hasCategories())
        return levels;
    const bool number = dynamic_cast<const DSNumericColumn *>(variable->column()) != nullptr;
    for (qint64 k = 0; k < variable->numberOfEstimatesExcluding(DSEstimateExcludeByDesign); ++k)
        if (const DSRegressionEstimate *e = variable->estimateAtIndex(k, DSEstimateExcludeByDesign))
            levels << (number ? e->value : QStringLiteral("\"%1\"").arg(e->value));
    return levels;
}

CommandInputs inputsFor(const DSRegressionModel *model, DSOutcomeVariable *outcome)
{
    CommandInputs in;
    // Only an outcome of categories reads them (its base value, whether it
    // is binary); a numeric outcome of a million values needs no scan.
    if (outcome->treat_as_categories())
        outcome->updateCategories();
    in.kind = outcome->is_binary_response() ? Kind::Binary
              : outcome->treat_as_categories() ? Kind::Categorical
                                               : Kind::Cardinal;
    in.code = outcome->selectedModelCode();
    in.outcome = nameOf(outcome->column());
    in.table = model->table() ? model->table()->name() : QString();
    // The value itself, as the other package reads the column: a user's
    // label is not a level there.
    if (const auto base = outcome->baseCategory()) {
        const auto *number = dynamic_cast<const DSNumericColumnCategory *>(base.get());
        in.baseValue = number ? QString::number(number->value(), 'g', 15) : base->longValue();
    }
    if (outcome->doExpose())
        in.exposure = nameOf(outcome->exposure_column());
    if (outcome->doWeight())
        in.weight = nameOf(outcome->weight_column());
    if (outcome->doStratify())
        in.strata = nameOf(outcome->stratification_column());
    if (outcome->doCensor())
        addCensoring(outcome, &in);
    if (auto *difference = dynamic_cast<const DSComputeTimeDifferenceColumn *>(outcome->column())) {
        in.startTime = nameOf(difference->start_time());
        in.endTime = nameOf(difference->end_time());
    }
    if (model->table() && model->table()->isFrequencyWeighted())
        in.frequency = nameOf(model->table()->frequency_weights_column());
    in.constant = model->include_constant();
    in.oddsRatios = model->report_odds_ratios();
    in.robust = model->robust_standard_errors();
    if (model->hasClusteredErrors())
        in.cluster = nameOf(model->panel_column());
    for (DSExplanatoryVariable *variable : model->sortedIncludedExplanatoryVariables()) {
        if (variable->isIncludedAsFixedEffects())
            continue;
        CommandInputs::Term term;
        if (auto *interaction = dynamic_cast<DSExplanatoryInteractionVariable *>(variable)) {
            if (!interaction->input1() || !interaction->input2())
                continue;
            term.interaction = true;
            term.name = nameOf(interaction->input1()->column());
            term.categorical = interaction->input1()->hasCategories();
            term.levels = levelsOf(interaction->input1());
            term.second = nameOf(interaction->input2()->column());
            term.secondCategorical = interaction->input2()->hasCategories();
            term.secondLevels = levelsOf(interaction->input2());
        } else if (auto *column = dynamic_cast<DSExplanatoryColumnVariable *>(variable)) {
            term.name = nameOf(column->column());
            term.categorical = column->hasCategories();
            term.levels = levelsOf(column);
        } else {
            continue;
        }
        in.terms << term;
    }
    return in;
}

// The Cox outcome's time in R: a time difference as the number of its
// days, a missing time from the default column.
QString rSurvivalTime(const CommandInputs &in)
{
    if (!in.startTime.isEmpty())
        return QStringLiteral("as.numeric(%1 - %2)").arg(in.endTime, in.startTime);
    if (!in.defaultColumn.isEmpty())
        return QStringLiteral("ifelse(is.na(%1), %2, %1)").arg(in.outcome, in.defaultColumn);
    return in.outcome;
}

QString rCommand(const CommandInputs &in)
{
    auto factor = [](const QString &name, bool categorical) {
        return categorical ? QStringLiteral("as.factor(%1)").arg(name) : name;
    };
    QStringList terms;
    if (!in.constant)
        terms << QStringLiteral("0");
    for (const CommandInputs::Term &t : in.terms)
        terms << (t.interaction ? QStringLiteral("%1*%2").arg(factor(t.name, t.categorical),
                                                             factor(t.second, t.secondCategorical))
                                : factor(t.name, t.categorical));
    if (!in.exposure.isEmpty())
        terms << QStringLiteral("offset(log(%1))").arg(in.exposure);
    if (in.code == DSOutcomeModelCox && in.kind == Kind::Cardinal && !in.strata.isEmpty())
        terms << QStringLiteral("strata(%1)").arg(in.strata);
    const QString T = terms.join(QStringLiteral(" + "));
    const QString &N = in.outcome;
    // Frequency weights count rows; analytic weights (least squares only)
    // weigh them; with both, each row weighs their product.
    QStringList weighting;
    if (!in.weight.isEmpty())
        weighting << in.weight;
    if (!in.frequency.isEmpty())
        weighting << in.frequency;
    const QString W = weighting.isEmpty() ? QString()
                                          : QStringLiteral(", weights = %1").arg(weighting.join(QStringLiteral(" * ")));
    // Least squares counts its residual degrees of freedom in rows: there
    // frequency weights repeat the rows of the table df, and only the
    // analytic weights weigh them.
    const QString leastSquaresW =
        (in.weight.isEmpty() ? QString() : QStringLiteral(", weights = %1").arg(in.weight))
        + (in.frequency.isEmpty() ? QString()
                                  : QStringLiteral(", data = df[rep(seq_len(nrow(df)), df$%1), ]").arg(in.frequency));
    if (in.kind == Kind::Binary) {
        if (in.code == DSOutcomeModelLogit || in.code == DSOutcomeModelProbit)
            return QStringLiteral("glm(%1 ~ %2, family=binomial(link=\"%3\")%4)")
                .arg(N, T, in.code == DSOutcomeModelLogit ? QStringLiteral("logit") : QStringLiteral("probit"), W);
        return QStringLiteral("lm(%1 ~ %2%3)").arg(N, T, leastSquaresW);
    }
    if (in.kind == Kind::Categorical) {
        // nnet's multinom takes the regressors as they are, one set per
        // category against the base; mlogit would read them as varying by
        // alternative, which wide data do not.
        if (in.code == DSOutcomeModelMultinomialLogit)
            return QStringLiteral("multinom(relevel(as.factor(%1), ref = \"%2\") ~ %3%4)").arg(N, in.baseValue, T, W);
        // polr wants a factor response, and R calls the logit link "logistic".
        return QStringLiteral("polr(as.factor(%1) ~ %2, method = \"%3\"%4)")
            .arg(N, T,
                 in.code == DSOutcomeModelOrderedProbit ? QStringLiteral("probit") : QStringLiteral("logistic"), W);
    }
    switch (in.code) {
    case DSOutcomeModelCox: {
        // Without censoring every row is a failure at its time.
        const QString censored = censoredText(in, kRConditions);
        const QString survival = censored.isEmpty()
                                     ? QStringLiteral("Surv(%1)").arg(rSurvivalTime(in))
                                     : QStringLiteral("Surv(%1, !(%2))").arg(rSurvivalTime(in), censored);
        return QStringLiteral("coxph(%1 ~ %2, ties = \"breslow\"%3)").arg(survival, T, W);
    }
    case DSOutcomeModelNegativeBinomial:
        return QStringLiteral("glm.nb(%1 ~ %2%3)").arg(N, T, W);
    case DSOutcomeModelPoisson:
        return QStringLiteral("glm(%1 ~ %2, family=poisson%3)").arg(N, T, W);
    case DSOutcomeModelGeometric:
        // The geometric model fixes the dispersion at 1; summary.glm would
        // estimate it.
        return QStringLiteral("summary(glm(%1 ~ %2, family=negative.binomial(theta = 1)%3), dispersion = 1)")
            .arg(N, T, W);
    default: {
        const QString D = in.code == DSOutcomeModelLogLinear ? QStringLiteral("log(%1)").arg(N) : N;
        return QStringLiteral("lm(%1 ~ %2%3)").arg(D, T, leastSquaresW);
    }
    }
}

QString stataCommand(const CommandInputs &in)
{
    QStringList terms;
    for (const CommandInputs::Term &t : in.terms) {
        if (t.interaction)
            terms << QStringLiteral("%1.%2##%3.%4")
                         .arg(t.categorical ? QStringLiteral("i") : QStringLiteral("c"), t.name,
                              t.secondCategorical ? QStringLiteral("i") : QStringLiteral("c"), t.second);
        else
            terms << (t.categorical ? QStringLiteral("i.%1").arg(t.name) : t.name);
    }
    const QString T = terms.join(u' ');
    const QString &N = in.outcome;
    QString text;
    QStringList options;
    const QString exposure = in.exposure.isEmpty() ? QString() : QStringLiteral("exposure(%1)").arg(in.exposure);
    auto countOptions = [&] {
        if (!exposure.isEmpty())
            options << exposure;
        if (in.oddsRatios)
            options << QStringLiteral("irr");
    };
    if (in.kind == Kind::Binary) {
        if (in.code == DSOutcomeModelProbit) {
            text = QStringLiteral("probit %1 %2").arg(N, T);
        } else if (in.code == DSOutcomeModelLogit) {
            text = QStringLiteral("logistic %1 %2").arg(N, T);
            if (!in.oddsRatios)
                options << QStringLiteral("coef");
        } else {
            text = QStringLiteral("regress %1 %2").arg(N, T);
        }
    } else if (in.kind == Kind::Categorical) {
        if (in.code == DSOutcomeModelMultinomialLogit) {
            text = QStringLiteral("mlogit %1 %2").arg(N, T);
            options << QStringLiteral("baseoutcome(%1)").arg(in.baseValue);
            if (in.oddsRatios)
                options << QStringLiteral("rrr");
        } else if (in.code == DSOutcomeModelOrderedProbit) {
            text = QStringLiteral("oprobit %1 %2").arg(N, T);
        } else {
            text = QStringLiteral("ologit %1 %2").arg(N, T);
            if (in.oddsRatios)
                options << QStringLiteral("or");
        }
    } else {
        switch (in.code) {
        case DSOutcomeModelCox: {
            QString time = N;
            if (!in.startTime.isEmpty() || !in.defaultColumn.isEmpty()) {
                time = QStringLiteral("%1_time").arg(N);
                text += !in.startTime.isEmpty()
                            ? QStringLiteral("generate %1 = %2 - %3\n").arg(time, in.endTime, in.startTime)
                            : QStringLiteral("generate %1 = cond(missing(%2), %3, %2)\n").arg(time, N, in.defaultColumn);
            }
            const QString censored = censoredText(in, kStataConditions);
            if (censored.isEmpty()) {
                text += QStringLiteral("stset %1\nstcox %2").arg(time, T);
            } else {
                text += QStringLiteral("generate byte %1_event = !(%2)\nstset %3, failure(%1_event)\nstcox %4")
                            .arg(N, censored, time, T);
            }
            if (!in.strata.isEmpty())
                options << QStringLiteral("strata(%1)").arg(in.strata);
            if (!in.oddsRatios)
                options << QStringLiteral("nohr");
            break;
        }
        case DSOutcomeModelNegativeBinomial:
            text = QStringLiteral("nbreg %1 %2").arg(N, T);
            countOptions();
            break;
        case DSOutcomeModelPoisson:
            text = QStringLiteral("poisson %1 %2").arg(N, T);
            countOptions();
            break;
        case DSOutcomeModelGeometric:
            text = QStringLiteral("geometric %1 %2").arg(N, T);
            countOptions();
            break;
        case DSOutcomeModelLogLinear:
            text = QStringLiteral("generate ln%1 = ln(%1)\nregress ln%1 %2").arg(N, T);
            if (!exposure.isEmpty())
                options << exposure;
            break;
        default:
            text = QStringLiteral("regress %1 %2").arg(N, T);
            if (!exposure.isEmpty())
                options << exposure;
            break;
        }
    }
    if (!in.weight.isEmpty())
        text += QStringLiteral(" [aweight=%1]").arg(in.weight);
    else if (!in.frequency.isEmpty())
        text += QStringLiteral(" [fweight=%1]").arg(in.frequency);
    if (in.robust)
        options << (in.cluster.isEmpty() ? QStringLiteral("vce(robust)") : QStringLiteral("vce(cluster %1)").arg(in.cluster));
    if (!in.constant)
        options << QStringLiteral("noconstant");
    if (!options.isEmpty())
        text += QStringLiteral(", %1").arg(options.join(u' '));
    return text;
}

// SPSS's REGRESSION reads every variable as a number: the dummies of the
// categories and the products of interactions are computed first, one
// "compute" line each, and entered in the model's order.
struct SpssRegressors {
    QString computes;
    QStringList names;
};

SpssRegressors spssRegressors(const CommandInputs &in)
{
    struct Column {
        QString name, expression;
    };
    auto expand = [](const QString &name, bool categorical, const QStringList &levels) {
        QList<Column> columns;
        if (!categorical)
            return QList<Column>{{name, name}};
        for (const QString &level : levels) {
            QString suffix = level;
            suffix.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
            columns << Column{QStringLiteral("%1_%2").arg(name, suffix), QStringLiteral("(%1 = %2)").arg(name, level)};
        }
        return columns;
    };
    SpssRegressors out;
    for (const CommandInputs::Term &t : in.terms) {
        QList<Column> columns = expand(t.name, t.categorical, t.levels);
        if (t.interaction) {
            QList<Column> products;
            for (const Column &a : columns)
                for (const Column &b : expand(t.second, t.secondCategorical, t.secondLevels))
                    products << Column{QStringLiteral("%1_by_%2").arg(a.name, b.name),
                                       QStringLiteral("%1 * %2").arg(a.expression, b.expression)};
            columns = products;
        }
        for (const Column &c : columns) {
            if (c.name != c.expression)
                out.computes += QStringLiteral("compute %1 = %2.\n").arg(c.name, c.expression);
            out.names << c.name;
        }
    }
    return out;
}

QString spssCommand(const CommandInputs &in)
{
    QStringList categorical, others;
    for (const CommandInputs::Term &t : in.terms) {
        if (t.interaction)
            others << QStringLiteral("%1*%2").arg(t.name, t.second);
        else
            (t.categorical ? categorical : others) << t.name;
    }
    const QString K = categorical.join(u' ');
    const QString V = others.join(u' ');
    const QString &N = in.outcome;
    QString text;
    if (!in.frequency.isEmpty())
        text += QStringLiteral("weight by %1.\n").arg(in.frequency);
    auto byWith = [&] {
        if (!K.isEmpty())
            text += QStringLiteral(" by %1").arg(K);
        if (!V.isEmpty())
            text += QStringLiteral(" with %1").arg(V);
    };
    if (in.kind == Kind::Binary && in.code == DSOutcomeModelLogit) {
        text += QStringLiteral("logistic regression %1 with %2 %3").arg(N, K, V);
        if (!K.isEmpty())
            text += QStringLiteral(" /categorical = %1").arg(K);
    } else if (in.kind == Kind::Binary && in.code == DSOutcomeModelProbit) {
        text += QStringLiteral("compute subject = 1.\nprobit %1 of subject with %2 %3 /model=probit").arg(N, K, V);
    } else if (in.kind == Kind::Binary) {
        const SpssRegressors regressors = spssRegressors(in);
        text += regressors.computes;
        text += QStringLiteral("regression /dependent %1 /method = enter %2").arg(N, regressors.names.join(u' '));
    } else if (in.kind == Kind::Categorical && in.code == DSOutcomeModelMultinomialLogit) {
        text += QStringLiteral("nomreg %1 (base=%2)").arg(N, in.baseValue);
        byWith();
    } else if (in.kind == Kind::Categorical) {
        text += QStringLiteral("plum %1").arg(N);
        byWith();
        text += in.code == DSOutcomeModelOrderedProbit ? QStringLiteral(" /link=probit") : QStringLiteral(" /link=logit");
    } else if (in.code == DSOutcomeModelCox) {
        const QString censored = censoredText(in, kSPSSConditions);
        QString time = N;
        if (!in.startTime.isEmpty()) {
            time = QStringLiteral("%1_time").arg(N);
            text += QStringLiteral("compute %1 = %2 - %3.\n").arg(time, in.endTime, in.startTime);
        } else if (!in.defaultColumn.isEmpty()) {
            time = QStringLiteral("%1_time").arg(N);
            text += QStringLiteral("compute %1 = %2.\nif (missing(%2)) %1 = %3.\n").arg(time, N, in.defaultColumn);
        }
        text += QStringLiteral("compute censored = %1.\ncoxreg variables = %2 with %3 %4 /status censored(0)")
                    .arg(censored.isEmpty() ? QStringLiteral("0") : QStringLiteral("(%1)").arg(censored), time, K, V);
        if (!K.isEmpty())
            text += QStringLiteral(" /categorical = %1").arg(K);
        if (!in.strata.isEmpty())
            text += QStringLiteral(" /strata = %1").arg(in.strata);
    } else if (in.code == DSOutcomeModelPoisson || in.code == DSOutcomeModelGeometric
               || in.code == DSOutcomeModelNegativeBinomial) {
        if (!in.exposure.isEmpty())
            text += QStringLiteral("compute ln%1 = ln(%1).\n").arg(in.exposure);
        text += QStringLiteral("genlin %1").arg(N);
        byWith();
        text += QStringLiteral(" /model %1 %2").arg(K, V);
        if (!in.exposure.isEmpty())
            text += QStringLiteral(" offset=ln%1").arg(in.exposure);
        text += QStringLiteral(" distribution=%1 link=log")
                    .arg(in.code == DSOutcomeModelNegativeBinomial ? QStringLiteral("negbin(MLE)")
                                                                   : QStringLiteral("poisson"));
        if (in.oddsRatios)
            text += QStringLiteral(" /print solution (exponentiated)");
    } else {
        QString dependent = N;
        if (in.code == DSOutcomeModelLogLinear) {
            text += QStringLiteral("compute ln%1 = ln(%1).\n").arg(N);
            dependent = QStringLiteral("ln%1").arg(N);
        }
        const SpssRegressors regressors = spssRegressors(in);
        text += regressors.computes;
        text += QStringLiteral("regression /dependent %1 /method = enter %2").arg(dependent, regressors.names.join(u' '));
        if (!in.weight.isEmpty())
            text += QStringLiteral(" /regwgt=%1").arg(in.weight);
    }
    if (!in.constant)
        text += QStringLiteral(" /origin");
    return text + u'.';
}

QString sasCommand(const CommandInputs &in)
{
    QStringList terms, classes;
    for (const CommandInputs::Term &t : in.terms) {
        terms << (t.interaction ? QStringLiteral("%1*%2").arg(t.name, t.second) : t.name);
        if (!t.interaction && t.categorical)
            classes << t.name;
    }
    QString text;
    QString data = QStringLiteral("data=%1").arg(in.table);
    QString dependent = in.outcome;
    QString procedure = QStringLiteral("reg");
    QStringList options, statements;
    auto logStep = [&](const QString &column) {
        text += QStringLiteral("data %1;\nset %1;log%2 = log(%2);\nrun;\n\n").arg(in.table, column);
    };
    auto exposure = [&] {
        if (in.exposure.isEmpty())
            return;
        logStep(in.exposure);
        options << QStringLiteral("offset=log%1").arg(in.exposure);
    };
    if (in.kind == Kind::Binary) {
        if (in.code == DSOutcomeModelProbit || in.code == DSOutcomeModelLogit) {
            procedure = QStringLiteral("logistic");
            if (in.code == DSOutcomeModelProbit)
                options << QStringLiteral("link=probit");
            else if (in.oddsRatios)
                options << QStringLiteral("expb");
            data += QStringLiteral(" descending");
        }
    } else if (in.kind == Kind::Categorical) {
        procedure = QStringLiteral("logistic");
        if (in.code == DSOutcomeModelMultinomialLogit) {
            options << QStringLiteral("link=glogit");
            if (in.oddsRatios)
                options << QStringLiteral("expb");
        } else if (in.code == DSOutcomeModelOrderedProbit) {
            options << QStringLiteral("link=normit");
        }
    } else {
        switch (in.code) {
        case DSOutcomeModelCox: {
            procedure = QStringLiteral("phreg");
            const QString censored = censoredText(in, kSASConditions);
            QStringList steps;
            if (!in.startTime.isEmpty())
                steps << QStringLiteral("%1_time = %2 - %3;").arg(in.outcome, in.endTime, in.startTime);
            else if (!in.defaultColumn.isEmpty())
                steps << QStringLiteral("%1_time = coalesce(%1, %2);").arg(in.outcome, in.defaultColumn);
            if (!steps.isEmpty())
                dependent = QStringLiteral("%1_time").arg(in.outcome);
            if (!censored.isEmpty()) {
                steps << QStringLiteral("censored = (%1);").arg(censored);
                dependent += QStringLiteral("*censored(1)");
            }
            if (!steps.isEmpty())
                text += QStringLiteral("data %1;\nset %1;%2\nrun;\n\n").arg(in.table, steps.join(u' '));
            if (!in.strata.isEmpty())
                statements << QStringLiteral("strata %1").arg(in.strata);
            break;
        }
        case DSOutcomeModelPoisson:
            procedure = QStringLiteral("genmod");
            options << QStringLiteral("dist=poisson");
            exposure();
            break;
        case DSOutcomeModelNegativeBinomial:
            procedure = QStringLiteral("genmod");
            options << QStringLiteral("dist=negbin");
            exposure();
            break;
        case DSOutcomeModelGeometric:
            procedure = QStringLiteral("genmod");
            options << QStringLiteral("dist=negbin") << QStringLiteral("scale=1") << QStringLiteral("noscale");
            exposure();
            break;
        case DSOutcomeModelLogLinear:
            logStep(in.outcome);
            dependent = QStringLiteral("log%1").arg(in.outcome);
            break;
        default:
            break;
        }
    }
    if (!in.constant)
        options << QStringLiteral("noint");
    text += QStringLiteral("proc %1 %2;\n").arg(procedure, data);
    for (const QString &name : classes)
        text += QStringLiteral("  class %1 / param=ref;\n").arg(name);
    for (const QString &statement : statements)
        text += QStringLiteral("  %1;\n").arg(statement);
    text += QStringLiteral("  model %1 = %2").arg(dependent, terms.join(u' '));
    if (!options.isEmpty()) {
        text += QStringLiteral(" /");
        for (const QString &option : options)
            text += QStringLiteral(" %1").arg(option);
    }
    text += QStringLiteral(";\n");
    if (!in.weight.isEmpty())
        text += QStringLiteral("  weight %1;\n").arg(in.weight);
    if (!in.cluster.isEmpty())
        text += QStringLiteral("  repeated subject=%1 / type=ind;\n").arg(in.cluster);
    return text + QStringLiteral("run;\n");
}

} // namespace

QString DSRegressionModel::REstimationCommandForOutcome(DSOutcomeVariable *outcome) const
{
    return rCommand(inputsFor(this, outcome));
}

QString DSRegressionModel::StataEstimationCommandForOutcome(DSOutcomeVariable *outcome) const
{
    return stataCommand(inputsFor(this, outcome));
}

QString DSRegressionModel::SPSSEstimationCommandForOutcome(DSOutcomeVariable *outcome) const
{
    return spssCommand(inputsFor(this, outcome));
}

QString DSRegressionModel::SASEstimationCommandForOutcome(DSOutcomeVariable *outcome) const
{
    return sasCommand(inputsFor(this, outcome));
}
