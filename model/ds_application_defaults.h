#pragma once

#include <QVariantMap>

// The user defaults the application registers at start-up, before anything
// reads them: keys, types and values as the application object's class
// initialiser registers them (the database entries for the database
// subsystem, the column masks for new tables and models, the digit
// options of the shared result formatters).
QVariantMap ds_application_defaults();

// Registers ds_application_defaults() with the standard user defaults.
// Registration supplies values only where the user stored none.
void ds_register_application_defaults();
