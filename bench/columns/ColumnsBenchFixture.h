#pragma once
// A document's context (the application's model, undo off) holding one
// table of a given row count, for the stored-column benchmarks.
#include "app/ds_register_model_classes.h"
#include "model/DSDataTable.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSUndoManager.h"

#include <memory>

struct ColumnsBenchFixture
{
    std::unique_ptr<DSManagedObjectContext> context;
    DSDataTable *table = nullptr;

    explicit ColumnsBenchFixture(qint64 rows)
    {
        static const bool registered = [] {
            ds_register_application_defaults();
            ds_register_model_classes();
            return true;
        }();
        (void)registered;
        context = std::make_unique<DSManagedObjectContext>(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")));
        context->setUndoManager(nullptr);
        table = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        table->setNum_records(rows);
    }

    // A new column of the entity, inserted at the end of the table.
    template <class T>
    T *insertColumn(const char *entity)
    {
        auto *column = context->insertNewObject<T>(QString::fromLatin1(entity));
        table->insertNewColumns({column}, table->columns().size());
        return column;
    }

    // Turns the document's undo on, as the application has it.
    DSUndoManager *useUndo()
    {
        context->setUndoManager(std::make_unique<DSUndoManager>());
        return context->undoManager();
    }
};
