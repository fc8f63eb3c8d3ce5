/*
** libvarrow: fits regression models with OpenCL kernels on one compute
** device and LAPACK on the host.
**
** Conventions of every function of the headers below:
**  - Operations that can fail return a VRWStatus (0 success, a positive
**    library code, or a negative OpenCL code passed on unchanged), or write
**    it through a status reference that may be NULL.
**  - Records come in make/free pairs; whatever the library allocates is
**    released by the matching library call, and the library never frees an
**    array that belongs to the caller.
**  - Host matrices are column-major doubles.
**  - The library keeps no writable global state; a context serves one
**    thread at a time. The only threads it starts are those that fill a
**    large matrix on loading, all joined before the loader returns.
*/
#ifndef VARROW_VARROW_H
#define VARROW_VARROW_H

#include "varrow/vrw_context.h"
#include "varrow/vrw_loaders.h"
#include "varrow/vrw_regression.h"
#include "varrow/vrw_inference.h"

#endif
