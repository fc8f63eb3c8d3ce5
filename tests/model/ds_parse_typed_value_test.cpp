// Typed values read as a column's values, with no widget: numbers in the
// user's locale.
#include "model/ds_parse_typed_value.h"

#include <QLocale>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(TypedValues, TypedNumbersReadTheLocalesDecimalSeparator)
{
    struct Case
    {
        QLocale locale;
        const char *typed;
        double expected;  // NaN: missing
    };
    const Case cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), "1,5", 1.5},
        {QLocale(QLocale::English, QLocale::UnitedStates), "1,234.5", 1234.5},
        {QLocale(QLocale::English, QLocale::UnitedStates), "12abc", 12},
        {QLocale(QLocale::English, QLocale::UnitedStates), "abc", NAN},
        {QLocale(QLocale::English, QLocale::UnitedStates), "", NAN},
    };
    for (const Case &c : cases) {
        QLocale::setDefault(c.locale);
        const double x = ds_parse_typed_number(nullptr, QString::fromUtf8(c.typed));
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(x)) << c.typed;
        else
            EXPECT_EQ(x, c.expected) << c.typed << " in " << c.locale.name().toStdString();
    }
    QLocale::setDefault(QLocale::system());
}

} // namespace
