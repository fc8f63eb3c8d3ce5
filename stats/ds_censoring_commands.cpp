#include "stats/ds_censoring_commands.h"

#include "model/DSColumn.h"
#include "model/DSColumnConditionBit.h"
#include "model/DSColumnConditionInterval.h"
#include "model/DSColumnConditionString.h"
#include "model/DSColumnConditionValue.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <QLocale>

#include <cmath>

namespace {

QString number(double x)
{
    return QString::number(x, 'g', QLocale::FloatingPointShortest);
}

QString rString(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// x op r for the order operators 0-5; null for others.
QString ordered(const QString &x, qint64 op, const QString &r)
{
    static const char *const symbols[] = {"<", "<=", ">", ">=", "==", "!="};
    if (op < 0 || op > 5)
        return QString();
    const QString test = QStringLiteral("%1 %2 %3").arg(x, QLatin1String(symbols[op]), r);
    // A missing value matches only "not equal", as in our comparisons.
    return op == 5 ? QStringLiteral("(is.na(%1) | %2)").arg(x, test) : QStringLiteral("(!is.na(%1) & %2)").arg(x, test);
}

// The condition as an R logical; null when it changes no bit.
QString conditionText(const DSColumnCondition *condition)
{
    const DSColumn *lhs = condition->lhs_column();
    if (!lhs)
        return QString();
    const QString x = lhs->name();
    const qint64 op = condition->operatorType();
    if (auto *value = dynamic_cast<const DSColumnConditionValue *>(condition))
        return std::isnan(value->rhs_value()) ? QString() : ordered(x, op, number(value->rhs_value()));
    if (auto *interval = dynamic_cast<const DSColumnConditionInterval *>(condition))
        return std::isnan(interval->rhs_date())
                   ? QString()
                   : ordered(x, op, QStringLiteral("as.POSIXct(%1, tz = \"GMT\")")
                                        .arg(number(interval->rhs_date() + kDSUnixToAbsoluteTime)));
    if (auto *bit = dynamic_cast<const DSColumnConditionBit *>(condition))
        return QStringLiteral("(!is.na(%1) & %1 == %2)").arg(x, bit->rhs_bit() ? QStringLiteral("TRUE")
                                                                                : QStringLiteral("FALSE"));
    if (auto *string = dynamic_cast<const DSColumnConditionString *>(condition)) {
        if (string->rhs_string().isNull())
            return QString();
        // Our texts compare with ASCII letters case-insensitive.
        const QString upper = QStringLiteral("toupper(%1)").arg(x), r = rString(string->rhs_string().toUpper());
        QString test;
        switch (op) {
        case 4: test = QStringLiteral("%1 == %2").arg(upper, r); break;
        case 5: test = QStringLiteral("%1 != %2").arg(upper, r); break;
        case 8: test = QStringLiteral("startsWith(%1, %2)").arg(upper, r); break;
        case 9: test = QStringLiteral("endsWith(%1, %2)").arg(upper, r); break;
        case 99: test = QStringLiteral("grepl(%1, %2, fixed = TRUE)").arg(r, upper); break;
        default: return QString();
        }
        return QStringLiteral("(!is.na(%1) & %2)").arg(x, test);
    }
    return QString();
}

} // namespace

QString ds_censoring_r_event(DSColumn *column)
{
    const QList<DSColumnCondition *> conditions = column->sortedCensoringConditions();
    if (!column->apply_right_censoring() || conditions.isEmpty())
        return QStringLiteral("1");
    const bool all = column->right_censoring_predicate_type() == 1;
    QStringList tests;
    for (const DSColumnCondition *condition : conditions)
        if (const QString test = conditionText(condition); !test.isNull())
            tests.append(test);
    // A condition that changes no bit keeps every row when all must hold and
    // adds none when any may.
    if (tests.isEmpty())
        return all ? QStringLiteral("0") : QStringLiteral("1");
    return QStringLiteral("!(%1)").arg(tests.join(all ? QStringLiteral(" & ") : QStringLiteral(" | ")));
}
