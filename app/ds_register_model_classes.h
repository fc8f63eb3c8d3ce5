#pragma once

// Registers the entity classes of the current entity model with the object
// factory (the stored formats' among them), and the store's value
// transformers. The application calls it at start-up before any document or
// pool makes objects; calling it again changes nothing. It lives with the
// application, the one layer that sees the classes of every layer (tables
// and columns, regression models, filter sets, pivots); it needs no more
// than the core library. The importers are registered by their class names
// here too.
void ds_register_model_classes();
