#pragma once

// Registers the entity classes of regression models (models, outcomes,
// explanatory variables) with the object factory. Calling it again changes
// nothing.
void ds_register_regression_classes();
