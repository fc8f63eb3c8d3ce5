#include "charts/DSStatPicturePainter.h"

#include "model/DSColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSTextColumn.h"
#include "model/DSTimeColumn.h"

bool DSStatPicturePainter::linkAcceptsColumn(Link link, DSColumn *column)
{
    if (!column)
        return false;
    const bool categories = column->treat_as_categories();
    const bool survival = column->treat_as_survival_times();
    switch (link) {
    case Link::PieChart:
        return categories;
    case Link::Histogram:
        return ds_object_cast<DSNumericColumn>(column) && !categories && !survival;
    case Link::Timeline:
        return ds_object_cast<DSTimeColumn>(column) && !survival;
    case Link::SurvivalCurve:
        return survival;
    case Link::ValueCount:
        return ds_object_cast<DSTextColumn>(column) && !categories;
    }
    return false;
}

DSStatPicturePainter *DSStatPicturePainter::painterForColumn(const std::vector<DSStatPicturePainter *> &painters,
                                                             DSColumn *column)
{
    for (DSStatPicturePainter *painter : painters) {
        if (painter->willDrawColumn(column))
            return painter;
    }
    return nullptr;
}

bool DSStatPicturePainter::willDrawColumn(DSColumn *)
{
    return false;
}

void DSStatPicturePainter::drawColumn(DSColumn *, const std::shared_ptr<DSColumnCategory> &, const uint8_t *, qint64,
                                      const uint8_t *, qint64, DSStyle *, const DSRect &, const DSRect &, bool,
                                      DSGraphicsContext *)
{
}

int DSStatPicturePainter::maximumNumberOfTitleLines() const
{
    return 1;
}

std::shared_ptr<DSColumnCategory> DSStatPicturePainter::mouseDownAtPoint(DSPoint, DSColumn *, const DSRect &)
{
    return nullptr;
}

QString DSStatPicturePainter::distributionStringForColumn(DSColumn *column)
{
    return QStringLiteral("Distribution of %1").arg(column->longName());
}

QList<QVariantList> DSStatPicturePainter::infoForColumn(DSColumn *, const std::shared_ptr<DSColumnCategory> &,
                                                        const uint8_t *, qint64, const uint8_t *, qint64)
{
    return {};
}
