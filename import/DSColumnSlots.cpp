#include "import/DSColumnSlots.h"

#include "model/DSColumn.h"
#include "model/DSDataColumn.h"

void DSColumnSlots::reset(const QStringList &names)
{
    m_names = names;
    m_slots = QList<Slot>(names.size());
}

bool DSColumnSlots::addEmptyCell(Slot &slot)
{
    if (!slot.data) {
        ++slot.emptyCount;
        return true;
    }
    return slot.data->appendEmptyValue();
}

bool DSColumnSlots::place(qsizetype i, DSColumn *column, DSDataColumn *data, int kind, DSTable *table)
{
    Slot &slot = m_slots[i];
    bool ok = true;
    for (qint64 k = 0; k < slot.emptyCount && ok; ++k)
        ok = data->appendEmptyValue();
    column->setName(m_names[i]);
    column->setTable(table);
    slot = Slot{0, column, data, kind};
    return ok;
}

void DSColumnSlots::teardown()
{
    for (const Slot &slot : m_slots)
        if (slot.data)
            slot.data->teardown();
    reset({});
}

bool DSColumnSlots::finish()
{
    QList<DSDataColumn *> columns;
    for (const Slot &slot : m_slots)
        if (slot.data)
            columns.append(slot.data);
    const bool saved = DSDataColumn::saveAfterImport(columns);
    qint64 index = 0;
    for (const Slot &slot : m_slots)
        if (slot.column)
            slot.column->setIndex(index++);
    return saved;
}
