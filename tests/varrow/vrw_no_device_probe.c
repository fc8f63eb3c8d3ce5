/* Run by the tests in a process without an OpenCL driver: exits 0 when the
** library refuses the context with a status and refuses work without one. */
#include "varrow/varrow.h"

#include <stdio.h>

int main(void)
{
    int32_t status = 0;
    VRWContext_s *context = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
    printf("context %p, status %d\n", (void *)context, status);
    vrw_context_free(context);

    int32_t compile_status = 0;
    VRWCode_s *code = vrw_compile_code(NULL, ".", 0x80, &compile_status, 0, NULL, NULL);
    VRWStatus load_status = vrw_load_code(NULL, code);
    printf("compile status %d, load status %d\n", compile_status, load_status);
    return context == NULL && status != 0 && code == NULL && compile_status != 0
                   && load_status != 0
               ? 0
               : 1;
}
