/* Every line the library prints goes through its notes and errors. The
** printers of host matrices (vrw_matrix_print.c) sit apart: they ask the
** linear algebra for eigenvalues, which itself logs here. */
#include "varrow/vrw_internal.h"

#include <stdarg.h>
#include <stdio.h>

void vrw_log_note(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vprintf(format, arguments);
    va_end(arguments);
}

void vrw_log_error(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
}
