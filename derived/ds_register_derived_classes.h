#pragma once

// Registers the entity classes of the derived columns with the object
// factory; called from above (ds_register_model_classes), so the model
// never includes this folder.
void ds_register_derived_classes();
