#pragma once

// Registers the entity classes of the current entity model with the object
// factory (the stored formats' among them). The application calls it at start-up before any document or
// pool makes objects; calling it again changes nothing.
void ds_register_model_classes();
