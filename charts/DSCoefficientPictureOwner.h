#pragma once

#include <QList>

class DSExplanatoryVariable;
class DSRegressionEstimate;
class QObject;

// One selected row of the model pane's explanatory outline: a variable or
// one of its estimates (exactly one of the two is set).
struct DSExplanatoryOutlineItem
{
    DSExplanatoryVariable *variable = nullptr;
    const DSRegressionEstimate *estimate = nullptr;
};

// What the coefficient picture asks of the model pane that shows it, beside
// what every picture owner answers: the explanatory outline's selection and
// its refresh after a click in the picture changed an active estimate.
class DSCoefficientPictureOwner
{
public:
    virtual ~DSCoefficientPictureOwner() = default;

    // The items of the outline's selected rows, in row order.
    virtual QList<DSExplanatoryOutlineItem> selectedExplanatoryItems() const = 0;
    // Refreshes the outline, its column visibility and the hypothesis
    // controls.
    virtual void refreshExplanatoryView(QObject *sender) = 0;
};
