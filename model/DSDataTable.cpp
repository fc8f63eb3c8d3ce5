#include "model/DSDataTable.h"

#include "model/DSColumn.h"
#include "model/DSDataColumn.h"

#include <QDebug>

bool DSDataTable::checkStoredRows(QList<DSColumn *> *damagedColumns)
{
    m_damagedRows = -1;
    const qint64 stored = storedRowCount();
    const qint64 limit = storedRowLimit();
    qint64 held = 0;
    bool anySound = false;
    for (DSColumn *column : sortedColumns()) {
        const auto *data = dynamic_cast<const DSDataColumn *>(column);
        qint64 rows = 0;
        if (!data)
            continue;
        if (!data->checkStoredArrays(limit, &rows)) {
            if (damagedColumns)
                damagedColumns->append(column);
            continue;
        }
        // A column that stores nothing yet (a new one) tells nothing.
        anySound = anySound || rows > 0;
        held = std::max(held, rows);
    }
    if (stored >= 0 && stored <= k_maxRows && (!anySound || stored <= held))
        return false;
    m_damagedRows = held;
    qWarning("The table “%s” is damaged: it says it holds %lld rows, its columns %lld", qPrintable(name()),
             qlonglong(stored), qlonglong(held));
    return true;
}

bool DSDataTable::takesRowChanges() const
{
    if (!isDamaged())
        return true;
    qWarning("The table “%s” is damaged: its rows cannot be added or removed", qPrintable(name()));
    return false;
}

void DSDataTable::addRows(qint64 n)
{
    if (n <= 0 || !takesRowChanges())
        return;
    DSTable::addRows(n);
    setNum_records(num_records() + n);
}

void DSDataTable::dropRows(const DSIndexSet &rows)
{
    if (!takesRowChanges())
        return;
    const qint64 n = num_records();
    const qint64 dropped = std::distance(rows.lower_bound(0), rows.lower_bound(n));
    DSTable::dropRows(rows);
    setNum_records(n - dropped);
}
