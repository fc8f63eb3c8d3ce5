#pragma once

#include <QString>
#include <ostream>

// Lets GoogleTest print Qt strings in failure messages as text.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
