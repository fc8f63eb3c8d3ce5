#pragma once

// Registers the entity classes of the stored formats, DSNumberFormatter and
// DSTextFormatter, with the object factory. The application calls it at
// start-up, with the other entity registrations, before any store opens.
void ds_register_formatter_classes();
