#pragma once

#include "../model/ColumnsTestSupport.h"

#include "model/DSIndicatorColumn.h"
#include "model/DSTable.h"
#include "platform/store/DSObjectFactory.h"

#include <QFile>
#include <QLocale>

#include <cmath>
#include <initializer_list>
#include <vector>

// An indicator column whose bits a test sets; its missing mask is its
// missing bits.
class BitsColumn : public DSIndicatorColumn
{
public:
    using DSColumn::getMissingMask;
    std::vector<uint8_t> bits, missing;

    qint64 getBytes(const uint8_t **values, const uint8_t **missingOut) override
    {
        *values = bits.empty() ? nullptr : bits.data();
        if (missingOut)
            *missingOut = missing.empty() ? nullptr : missing.data();
        return qint64(bits.size());
    }
    qint64 getMissingMask(const uint8_t **out, qint64, qint64) override
    {
        *out = missing.empty() ? nullptr : missing.data();
        return qint64(missing.size());
    }
};

// The application's classes, the test columns and en_US, once.
inline void ds_derived_test_setup()
{
    ds_columns_test_setup();
    DSObjectFactory::registerClass<BitsColumn>(QStringLiteral("DSTestIndicatorColumn"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// A computed column of the entity with the inputs in slot order, unnamed (it
// shows its suggested name), at the end of the fixture's table.
template <class T>
T *addComputed(ColumnsFixture &fixture, const char *entity, std::initializer_list<DSColumn *> inputs)
{
    auto *column = fixture.context().insertNewObject<T>(QString::fromLatin1(entity));
    for (DSColumn *input : inputs)
        column->addInputColumn(input);
    fixture.table()->insertNewColumns({column}, fixture.table()->columns().size());
    return column;
}

// The values a column hands out for a range, copied; empty when it hands
// out none.
inline std::vector<double> valuesOf(DSNumericColumn *column, qint64 offset, qint64 limit)
{
    const double *values = nullptr;
    const qint64 n = column->getValues(&values, offset, limit);
    return values ? std::vector<double>(values, values + n) : std::vector<double>();
}

inline std::vector<double> valuesOf(DSNumericColumn *column)
{
    return valuesOf(column, 0, column->table()->num_records());
}

// The rows the column's whole mask marks missing.
inline std::vector<qint64> missingRows(DSColumn *column)
{
    const uint8_t *mask = nullptr;
    const qint64 length = column->getMissingMask(&mask);
    std::vector<qint64> rows;
    for (qint64 r = 0; mask && r < length * 8; ++r)
        if ((mask[r / 8] >> (r % 8)) & 1)
            rows.push_back(r);
    return rows;
}

// The fields of each row of a CSV file without quotes, after its header;
// rows of another number of fields are left out; none when it cannot be read.
inline std::vector<QList<QByteArray>> readCsvRows(const QString &path, qsizetype fields)
{
    std::vector<QList<QByteArray>> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    file.readLine();
    while (!file.atEnd())
        if (QList<QByteArray> row = file.readLine().trimmed().split(','); row.size() == fields)
            rows.push_back(std::move(row));
    return rows;
}

// Equal doubles, NaN equal to NaN.
inline bool sameValue(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}
