#include "import/ds_boolean_column.h"

#include "model/DSColumn.h"

#include <QCborMap>
#include <QCborValue>

#include <cmath>

void ds_make_boolean_column(DSColumn *column)
{
    column->setTreat_as_categories(true);
    QCborMap labels;
    labels.insert(QCborValue(0.0), QStringLiteral("FALSE"));
    labels.insert(QCborValue(1.0), QStringLiteral("TRUE"));
    column->setCategory_labels(labels);
}

double ds_logical_value(const char *text)
{
    while (*text == ' ')
        ++text;
    const char letter = *text;
    if (!letter)
        return NAN;
    for (const char *rest = text + 1; *rest; ++rest)
        if (*rest != ' ')
            return NAN;
    switch (letter) {
    case 'T': case 't': case 'Y': case 'y':
        return 1;
    case 'F': case 'f': case 'N': case 'n':
        return 0;
    default:
        return NAN;
    }
}
