#pragma once

// Registers the policy of every store-version step under its name
// ("DSDataMigrator002" to "DSDataMigrator006"): the built steps, and a
// pending policy that refuses the step with an error for the others.
void ds_register_migration_policies();
