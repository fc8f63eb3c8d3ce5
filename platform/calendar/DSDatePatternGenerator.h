#pragma once

#include <QLocale>
#include <QString>
#include <memory>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class DateTimePatternGenerator;
U_NAMESPACE_END

// Turns date templates (skeletons such as "yMd", "jmm", "MMMd") into the
// locale's best date pattern, in the Gregorian calendar, on ICU's
// DateTimePatternGenerator. Making one is costly: keep it and reuse it.
class DSDatePatternGenerator
{
public:
    explicit DSDatePatternGenerator(const QLocale &locale = QLocale());
    ~DSDatePatternGenerator();
    DSDatePatternGenerator(const DSDatePatternGenerator &) = delete;
    DSDatePatternGenerator &operator=(const DSDatePatternGenerator &) = delete;

    // The best pattern for `skeleton`; empty when the generator has none.
    QString bestPattern(const QString &skeleton) const;

private:
    std::unique_ptr<icu::DateTimePatternGenerator> m_generator;
};
