#pragma once

#include <QString>

// The path of the application resource `name` (such as "patterns.plist"):
// ../share/ostrel/name beside the running executable when that file exists,
// else the same file in the build tree. The result may name a missing file;
// the caller's open then fails.
QString ds_resource_path(const QString &name);
