// The command texts that fit a model's outcome in other statistics
// packages. They depend on the model codes, roles and options alone, never
// on a fit.
#include "regression/DSRegressionModel.h"

#include "model/DSColumn.h"
#include "model/DSColumnCategory.h"
#include "model/DSNumericColumn.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSTable.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSExplanatoryInteractionVariable.h"
#include "regression/DSOutcomeVariable.h"

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
    };
    QList<Term> terms;
};

QString nameOf(const DSColumn *column)
{
    return column ? column->name() : QString();
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
            term.second = nameOf(interaction->input2()->column());
            term.secondCategorical = interaction->input2()->hasCategories();
        } else if (auto *column = dynamic_cast<DSExplanatoryColumnVariable *>(variable)) {
            term.name = nameOf(column->column());
            term.categorical = column->hasCategories();
        } else {
            continue;
        }
        in.terms << term;
    }
    return in;
}

QString rCommand(const CommandInputs &in)
{
    QStringList terms;
    if (!in.constant)
        terms << QStringLiteral("0");
    for (const CommandInputs::Term &t : in.terms)
        terms << (t.interaction   ? QStringLiteral("%1*%2").arg(t.name, t.second)
                  : t.categorical ? QStringLiteral("as.factor(%1)").arg(t.name)
                                  : t.name);
    if (!in.exposure.isEmpty())
        terms << QStringLiteral("offset(log(%1))").arg(in.exposure);
    const QString T = terms.join(QStringLiteral(" + "));
    const QString &N = in.outcome;
    if (in.kind == Kind::Binary) {
        if (in.code == DSOutcomeModelLogit || in.code == DSOutcomeModelProbit)
            return QStringLiteral("glm(%1 ~ %2, family=binomial(link=\"%3\"))")
                .arg(N, T, in.code == DSOutcomeModelLogit ? QStringLiteral("logit") : QStringLiteral("probit"));
        return QStringLiteral("lm(%1 ~ %2)").arg(N, T);
    }
    if (in.kind == Kind::Categorical) {
        // nnet's multinom takes the regressors as they are, one set per
        // category against the base; mlogit would read them as varying by
        // alternative, which wide data do not.
        if (in.code == DSOutcomeModelMultinomialLogit)
            return QStringLiteral("multinom(relevel(as.factor(%1), ref = \"%2\") ~ %3)").arg(N, in.baseValue, T);
        // polr wants a factor response, and R calls the logit link "logistic".
        return QStringLiteral("polr(as.factor(%1) ~ %2, method = \"%3\")")
            .arg(N, T,
                 in.code == DSOutcomeModelOrderedProbit ? QStringLiteral("probit") : QStringLiteral("logistic"));
    }
    switch (in.code) {
    case DSOutcomeModelCox:
        // Surv(time) alone: every row is a failure at its time.
        return QStringLiteral("coxph(Surv(%1) ~ %2, ties = \"breslow\")").arg(N, T);
    case DSOutcomeModelNegativeBinomial:
        return QStringLiteral("glm.nb(%1 ~ %2)").arg(N, T);
    case DSOutcomeModelPoisson:
        return QStringLiteral("glm(%1 ~ %2, family=poisson)").arg(N, T);
    case DSOutcomeModelGeometric:
        return QStringLiteral("glm(%1 ~ %2, family=negative.binomial(theta = 1))").arg(N, T);
    default: {
        const QString D = in.code == DSOutcomeModelLogLinear ? QStringLiteral("log(%1)").arg(N) : N;
        if (!in.weight.isEmpty())
            return QStringLiteral("lm(%1 ~ %2, weights=%3)").arg(D, T, in.weight);
        return QStringLiteral("lm(%1 ~ %2)").arg(D, T);
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
        case DSOutcomeModelCox:
            text = QStringLiteral("stset %1\nstcox %2").arg(N, T);
            if (!in.oddsRatios)
                options << QStringLiteral("nohr");
            break;
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
        text += QStringLiteral("regression /dependent %1 /method = enter %2 %3").arg(N, K, V);
    } else if (in.kind == Kind::Categorical && in.code == DSOutcomeModelMultinomialLogit) {
        text += QStringLiteral("nomreg %1 (base=%2)").arg(N, in.baseValue);
        byWith();
    } else if (in.kind == Kind::Categorical) {
        text += QStringLiteral("plum %1").arg(N);
        byWith();
        text += in.code == DSOutcomeModelOrderedProbit ? QStringLiteral(" /link=probit") : QStringLiteral(" /link=logit");
    } else if (in.code == DSOutcomeModelCox) {
        text += QStringLiteral("compute censored = 0.\ncoxreg variables = %1 with %2 %3 /status censored(0)").arg(N, K, V);
        if (!K.isEmpty())
            text += QStringLiteral(" /categorical = %1").arg(K);
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
        text += QStringLiteral("regression /dependent %1 /method = enter %2 %3").arg(dependent, K, V);
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
        case DSOutcomeModelCox:
            procedure = QStringLiteral("phreg");
            if (!in.strata.isEmpty())
                statements << QStringLiteral("strata %1").arg(in.strata);
            break;
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
