#include "derived/DSPurgeOnChange.h"

#include "model/DSColumn.h"
#include "platform/store/DSManagedObjectContext.h"

// Observers live as long as the context's object graph; a fault (an undone
// insertion, a saved deletion) stops them and a revival starts them again.
void DSPurgeOnChange::start(DSColumn *column, const QStringList &keys)
{
    start(column, keys, [column] { column->recursivePurge(); });
}

void DSPurgeOnChange::start(DSManagedObject *object, const QStringList &keys, std::function<void()> purge)
{
    DSManagedObjectContext *context = object->managedObjectContext();
    if (!context || !m_tokens.isEmpty())
        return;
    m_object = object;
    const auto observer = [purge = std::move(purge)](DSManagedObject *, const QString &) { purge(); };
    for (const QString &key : keys)
        m_tokens.append(context->addObserver(object, key, observer));
}

void DSPurgeOnChange::stop()
{
    if (m_object)
        if (DSManagedObjectContext *context = m_object->managedObjectContext())
            for (int token : std::as_const(m_tokens))
                context->removeObserver(token);
    m_tokens.clear();
}
