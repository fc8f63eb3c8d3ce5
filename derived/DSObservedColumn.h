#pragma once

#include "derived/DSPurgeOnChange.h"

#include <QStringList>

// A column kind (Base) whose caches follow the stored keys that define it
// (definitionKeys): while the column is in its context, a change of any of
// them (setters, inverse upkeep, undo and redo) purges the column and
// everything computed from it (DSPurgeOnChange).
template <class Base>
class DSObservedColumn : public Base
{
public:
    ~DSObservedColumn() override { m_definition.stop(); }

    void awakeFromInsert() override
    {
        Base::awakeFromInsert();
        m_definition.start(this, definitionKeys());
    }
    void awakeFromFetch() override
    {
        Base::awakeFromFetch();
        m_definition.start(this, definitionKeys());
    }
    void didTurnIntoFault() override
    {
        m_definition.stop();
        Base::didTurnIntoFault();
    }

protected:
    virtual QStringList definitionKeys() const = 0;

private:
    DSPurgeOnChange m_definition;
};
