#pragma once

#include "varrow/varrow.h"

#include <QString>

#include <cstdint>

struct DSError;

// Builds every kernel family of mask that the context has not loaded, from the
// application's kernel-program directory (ds_vrw_program_directory), in the
// fixed order 0x1, 0x10, 0x8, 0x4, 0x2, 0x40, 0x20, 0x80; bit 0x100 is never
// built here. Returns 0 when every family asked for is loaded, else the status
// of the first family that failed (later families are not tried), with error
// (when given) set to code 1 and "Error compiling Varrow code" or "Error
// loading Varrow code". A null context fails like a build does.
int ds_load_vrw_programs(uint64_t mask, VRWContext_s *context, DSError *error);

// The same from the given directory.
int ds_load_vrw_programs_from(const QString &directory, uint64_t mask, VRWContext_s *context,
                              DSError *error);

// Builds and loads one family from the directory; failures are logged with
// the library's status and build log.
int ds_compile_vrw_program(unsigned bit, const QString &directory, VRWContext_s *context,
                           DSError *error);

// The "cl" resource directory: share/ostrel/cl beside the executable's
// folder when it is there (an installed application), else the build tree's;
// the directory set below instead while one is set.
QString ds_vrw_program_directory();
// Sets the directory ds_vrw_program_directory answers, for programs kept
// elsewhere; a null text goes back to the resource directory. Main thread.
void ds_set_vrw_program_directory(const QString &directory);
