#include "pivot/DSPivotInput.h"

#include "model/DSDate.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTextFormatter.h"
#include "model/DSTimeDataColumn.h"
#include "pivot/DSPivot.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QDebug>

#include <cmath>

namespace {

// Copies every attribute of from's formatter into to's (either may be
// missing).
void copyFormatter(DSManagedObject *from, DSManagedObject *to)
{
    if (from && to)
        to->decodeAttributes(from->encodedManagedObject());
}

} // namespace

DSColumn *DSPivotInput::column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("column")));
}

void DSPivotInput::setColumn(DSColumn *column)
{
    setObject(column, QStringLiteral("column"));
}

DSPivot *DSPivotInput::owner() const
{
    return ds_object_cast<DSPivot>(objectForKey(QStringLiteral("owner")));
}

void DSPivotInput::setOwner(DSPivot *owner)
{
    setObject(owner, QStringLiteral("owner"));
}

DSColumn *DSPivotInput::insertDataColumnInManagedObjectContext(DSManagedObjectContext *context)
{
    DSColumn *source = column();
    DSPivot *pivot = owner();
    if (!source || !pivot || !context)
        return nullptr;
    const int64_t k = index(), rows = pivot->numberOfRows();
    const auto position = [&](int64_t r) { return pivot->labelPositionForRow(k, r); };
    DSColumn *exported = nullptr;
    bool appended = true;
    if (ds_object_cast<DSNumericColumn>(source) && source->treat_as_categories()) {
        auto *numeric = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        if (!numeric)
            return nullptr;
        numeric->decodeAttributes(source->encodedManagedObject());
        for (int64_t r = 0; r < rows && appended; ++r)
            appended = numeric->appendValue(pivot->doubleValueForPivot(k, position(r)));
        numeric->save();
        exported = numeric;
    } else if (ds_object_cast<DSTimeColumn>(source)) {
        auto *times = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        if (!times)
            return nullptr;
        times->decodeAttributes(source->encodedManagedObject());
        for (int64_t r = 0; r < rows && appended; ++r) {
            const std::optional<DSDate> date = pivot->dateValueForPivot(k, position(r));
            appended = date ? times->appendTimeValue(date->timeIntervalSinceReferenceDate(), date->duration())
                            : times->appendTimeValue(NAN, 0);
        }
        times->save();
        exported = times;
    } else {
        auto *text = context->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
        if (!text)
            return nullptr;
        text->decodeAttributes(source->encodedManagedObject());
        for (int64_t r = 0; r < rows && appended; ++r)
            appended = text->appendTextValue(pivot->stringValueForPivot(k, position(r)).toUtf8().constData());
        text->save();
        exported = text;
    }
    if (!appended)
        qWarning() << "Pivot export: no memory for the labels of" << source->name();
    exported->makeDependencies();
    if (auto *numeric = ds_object_cast<DSNumericDataColumn>(exported))
        copyFormatter(static_cast<DSNumericColumn *>(source)->number_formatter(), numeric->number_formatter());
    copyFormatter(source->text_formatter(), exported->text_formatter());
    if (exported->name().isEmpty())
        exported->setName(source->suggestedName());
    return exported;
}
