#include "derived/DSPurgeOnChange.h"

#include "model/DSColumn.h"
#include "platform/store/DSManagedObjectContext.h"

// Observers live as long as the context's object graph; a fault (an undone
// insertion, a saved deletion) stops them and a revival starts them again.
void DSPurgeOnChange::start(DSColumn *column, const QStringList &keys)
{
    DSManagedObjectContext *context = column->managedObjectContext();
    if (!context || !m_tokens.isEmpty())
        return;
    m_column = column;
    const auto purge = [column](DSManagedObject *, const QString &) { column->recursivePurge(); };
    for (const QString &key : keys)
        m_tokens.append(context->addObserver(column, key, purge));
}

void DSPurgeOnChange::stop()
{
    if (m_column)
        if (DSManagedObjectContext *context = m_column->managedObjectContext())
            for (int token : std::as_const(m_tokens))
                context->removeObserver(token);
    m_tokens.clear();
}
