#include "derived/ds_insert_constant_column.h"

#include "derived/DSNumericConstantColumn.h"
#include "derived/DSTextConstantColumn.h"
#include "derived/DSTimeConstantColumn.h"
#include "model/DSNumberFormatter.h"
#include "model/util/ds_parse.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QLocale>

#include <cmath>

namespace {

// The locale's reading of the whole text as one finite number, as a scanner
// reads it: white space around it, no group separators, no words such as
// "inf"; NaN otherwise.
double localeNumber(const QString &text)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double x = locale.toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(x) ? x : NAN;
}

DSColumn *numericConstant(double value, DSManagedObjectContext *context)
{
    auto *column = context->insertNewObject<DSNumericConstantColumn>(QStringLiteral("DSNumericConstantColumn"));
    column->setValue(value);
    return column;
}

DSColumn *timeConstant(double value, double interval, bool timeOfDay, DSManagedObjectContext *context)
{
    auto *column = context->insertNewObject<DSTimeConstantColumn>(QStringLiteral("DSTimeConstantColumn"));
    column->setValue(value);
    column->setInterval(interval);
    if (timeOfDay)
        column->setRelative_time_unit(1);
    return column;
}

} // namespace

DSColumn *ds_insert_constant_column(const QString &text, DSManagedObjectContext *context)
{
    if (text.isEmpty() || !context)
        return nullptr;
    if (const double x = localeNumber(text); !std::isnan(x))
        return numericConstant(x, context);
    const QByteArray utf8 = text.toUtf8();
    if (const double seconds = ds_parse_duration(utf8.constData()); !std::isnan(seconds)) {
        auto *column = static_cast<DSNumericConstantColumn *>(numericConstant(seconds, context));
        column->makeDependencies();
        if (DSNumberFormatter *formatter = column->number_formatter())
            formatter->setNumber_style(DSPlatformNumberFormatter::DurationStyle);
        return column;
    }
    double precision = 0;
    if (const double seconds = ds_parse_time_of_day(utf8.constData(), &precision); !std::isnan(seconds))
        return timeConstant(seconds, precision, true, context);
    if (const double instant = ds_parse_date(utf8.constData(), &precision); !std::isnan(instant))
        return timeConstant(instant, precision, false, context);
    auto *column = context->insertNewObject<DSTextConstantColumn>(QStringLiteral("DSTextConstantColumn"));
    column->setValue(text);
    return column;
}
