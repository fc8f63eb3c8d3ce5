/* The compute context and the building and loading of kernel programs. */
#include "varrow/vrw_internal.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define VRW_EXTENSIONS_CAPACITY 4096
#define VRW_PATH_CAPACITY 4096
#define VRW_STAGING_CAPACITY 0xFFFFF
#define VRW_MAX_FILES 255

/* The kernel programs, in table order: a file is named after one of them. */
static const struct {
    char name[256];
    uint32_t family;
} files[] = {
    {"vrw_binary_choice", VRW_FAMILY_BINARY_CHOICE},
    {"vrw_compute", VRW_FAMILY_COMMON},
    {"vrw_compute_fe", VRW_FAMILY_COMMON},
    {"vrw_compute_fitted", VRW_FAMILY_COMMON},
    {"vrw_compute_gmm", VRW_FAMILY_GMM},
    {"vrw_compute_ll", VRW_FAMILY_COMMON},
    {"vrw_compute_matrix", VRW_FAMILY_COMMON},
    {"vrw_count", VRW_FAMILY_COUNT},
    {"vrw_cox", VRW_FAMILY_COX},
    {"vrw_cox_matrix", VRW_FAMILY_COX},
    {"vrw_linear", VRW_FAMILY_LINEAR},
    {"vrw_multinomial_logit", VRW_FAMILY_MULTINOMIAL_LOGIT},
    {"vrw_multinomial_logit_matrix", VRW_FAMILY_MULTINOMIAL_LOGIT},
    {"vrw_negbin2", VRW_FAMILY_NEGATIVE_BINOMIAL},
    {"vrw_negbin2_matrix", VRW_FAMILY_NEGATIVE_BINOMIAL},
    {"vrw_ordered_choice", VRW_FAMILY_ORDERED_CHOICE},
    {"vrw_ordered_choice_matrix", VRW_FAMILY_ORDERED_CHOICE},
};
#define VRW_PROGRAM_COUNT ((int)(sizeof files / sizeof files[0]))

/* The helpers every source program is built with, in front of its own text.
** The name is no program's, so the directory scan never takes it for one. */
#define VRW_PRELUDE_FILE "vrw_common.cl"

static bool device_has_fp64(cl_device_id device)
{
    char extensions[VRW_EXTENSIONS_CAPACITY];
    if (clGetDeviceInfo(device, CL_DEVICE_EXTENSIONS, sizeof extensions - 1, extensions, NULL)
        != CL_SUCCESS)
        return false;
    extensions[sizeof extensions - 1] = '\0';
    return strstr(extensions, "cl_khr_fp64") != NULL;
}

/* The first device of the type on any platform, in platform order. */
static cl_int first_device(cl_device_type type, cl_device_id *device)
{
    cl_uint platform_count = 0;
    cl_int err = clGetPlatformIDs(0, NULL, &platform_count);
    if (err != CL_SUCCESS)
        return err;
    if (platform_count == 0)
        return CL_DEVICE_NOT_FOUND;
    cl_platform_id *platforms = malloc(platform_count * sizeof *platforms);
    if (!platforms)
        return VRW_OUT_OF_HOST_MEMORY;
    err = clGetPlatformIDs(platform_count, platforms, NULL);
    if (err == CL_SUCCESS) {
        err = CL_DEVICE_NOT_FOUND;
        for (cl_uint p = 0; p < platform_count && err != CL_SUCCESS; p++)
            err = clGetDeviceIDs(platforms[p], type, 1, device, NULL);
    }
    free(platforms);
    return err;
}

VRWContext_s *vrw_context_init(cl_device_type device_type, int32_t *status)
{
    cl_device_id device;
    cl_int err = first_device(device_type, &device);
    if (err != CL_SUCCESS) {
        vrw_set_status(status, err);
        return NULL;
    }
    /* Data matrices are doubles; a device that cannot compute in them is no
    ** device for this library. */
    if (!device_has_fp64(device)) {
        vrw_set_status(status, CL_DEVICE_NOT_FOUND);
        return NULL;
    }
    cl_context cl_ctx = clCreateContext(NULL, 1, &device, NULL, NULL, &err);
    if (err != CL_SUCCESS) {
        vrw_set_status(status, err);
        return NULL;
    }
    cl_command_queue queue = clCreateCommandQueue(cl_ctx, device, 0, &err);
    if (err != CL_SUCCESS) {
        clReleaseContext(cl_ctx);
        vrw_set_status(status, err);
        return NULL;
    }
    VRWContext_s *context = calloc(1, sizeof *context);
    if (!context) {
        clReleaseCommandQueue(queue);
        clReleaseContext(cl_ctx);
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    context->context = cl_ctx;
    context->queue = queue;
    context->device = device;
    context->mem_flags = CL_MEM_READ_ONLY | CL_MEM_COPY_HOST_PTR;
    context->fp_size = sizeof(double);
    context->fp_block_size = VRW_BLOCK_ROWS * context->fp_size;
    return context;
}

void vrw_release_kernels(VRWContext_s *context)
{
    if (!context)
        return;
    for (uint32_t i = 0; i < context->kernel_count; i++)
        clReleaseKernel(context->kernels[i]);
    context->kernel_count = 0;
    context->loaded_family_mask = 0;
}

void vrw_context_free(VRWContext_s *context)
{
    if (!context)
        return;
    vrw_release_kernels(context);
    clReleaseCommandQueue(context->queue);
    clReleaseContext(context->context);
    free(context);
}

void vrw_error_msg1(size_t capacity, char *buffer, int64_t *length, const char *message)
{
    vrw_error_msg2(capacity, buffer, length, message, "");
}

void vrw_error_msg2(size_t capacity, char *buffer, int64_t *length, const char *first,
                    const char *second)
{
    size_t a = strlen(first), b = strlen(second);
    int64_t written = 0;
    if (buffer && a + b < capacity) {
        memcpy(buffer, first, a);
        memcpy(buffer + a, second, b);
        buffer[a + b] = '\0';
        written = (int64_t)(a + b);
    }
    if (length)
        *length = written;
}

void vrw_release_code(VRWCode_s *code)
{
    if (!code)
        return;
    for (uint32_t i = 0; i < code->program_count; i++)
        clReleaseProgram(code->programs[i]);
    free(code);
}

VRWStatus vrw_load_code(VRWContext_s *context, const VRWCode_s *code)
{
    if (!context)
        return CL_INVALID_CONTEXT;
    if (!code)
        return CL_INVALID_VALUE;
    for (uint32_t i = 0; i < code->program_count; i++) {
        cl_uint created = 0;
        cl_uint room = VRW_MAX_KERNELS - context->kernel_count;
        cl_int err = clCreateKernelsInProgram(code->programs[i], room,
                                              context->kernels + context->kernel_count, &created);
        if (err != CL_SUCCESS)
            return err;
        context->kernel_count += created;
    }
    context->loaded_family_mask |= code->family_mask;
    return VRW_SUCCESS;
}

/* The row of the program table the file name is, or -1. A name must equal a
** program name followed by ".cl" or ".bc" exactly, so "vrw_compute_fe.cl" is
** never taken for "vrw_compute". */
static int program_row(const char *name, bool *is_source)
{
    size_t length = strlen(name);
    if (length < 5 || strncmp(name, "vrw_", 4) != 0)
        return -1;
    const char *extension = name + length - 3;
    bool source = strcmp(extension, ".cl") == 0;
    if (!source && strcmp(extension, ".bc") != 0)
        return -1;
    for (int row = 0; row < VRW_PROGRAM_COUNT; row++) {
        size_t program_length = strlen(files[row].name);
        if (program_length == length - 3 && memcmp(files[row].name, name, program_length) == 0) {
            *is_source = source;
            return row;
        }
    }
    return -1;
}

typedef struct {
    size_t start;
    size_t length;
    bool is_source;
    int row;
} StagedFile;

typedef struct {
    int32_t *status;
    size_t capacity;
    char *message;
    int64_t *length;
} Report;

static void report(const Report *r, int32_t status, const char *message, const char *path)
{
    vrw_set_status(r->status, status);
    vrw_error_msg2(r->capacity, r->message, r->length, message, path ? path : "");
}

/* Byte order, so that the programs of a directory load in the same order on
** every machine and in every locale. */
static int by_name(const struct dirent **a, const struct dirent **b)
{
    return strcmp((*a)->d_name, (*b)->d_name);
}

/* Reads the whole file into the staging area after *used, followed by a
** '\0': OpenCL reads a source of length 0 up to its terminator. Returns false
** when it cannot be opened or read, or does not fit. */
static bool stage_file(const char *path, char *staging, size_t *used, StagedFile *file)
{
    size_t room = VRW_STAGING_CAPACITY - *used;
    if (room == 0)
        return false;
    room--;
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    size_t length = fread(staging + *used, 1, room, f);
    bool complete = !ferror(f) && (length < room ? feof(f) : fgetc(f) == EOF);
    fclose(f);
    if (!complete)
        return false;
    staging[*used + length] = '\0';
    file->start = *used;
    file->length = length;
    *used += length + 1;
    return true;
}

/* Stages the directory's prelude after *used. Returns false after reporting
** a file that cannot be read. */
static bool stage_prelude(const char *directory, char *staging, size_t *used,
                          StagedFile *prelude, const Report *r)
{
    char path[VRW_PATH_CAPACITY];
    int path_length = snprintf(path, sizeof path, "%s/%s", directory, VRW_PRELUDE_FILE);
    bool fits = path_length >= 0 && (size_t)path_length < sizeof path;
    if (fits && stage_file(path, staging, used, prelude))
        return true;
    report(r, VRW_NO_KERNEL_FILES, "Failed to open file at ", path);
    return false;
}

/* Accepts and stages the directory's files of the families in mask, and the
** prelude when a source is among them (binaries were built with it). Returns
** the number of programs staged, or -1 after reporting a failure. */
static int stage_directory(const char *directory, uint32_t mask, char *staging,
                           StagedFile *staged, StagedFile *prelude, const Report *r)
{
    struct dirent **entries = NULL;
    int entry_count = scandir(directory, &entries, NULL, by_name);
    if (entry_count < 0) {
        report(r, VRW_NOT_APPLICABLE, "Failed to open file at ", directory);
        return -1;
    }
    int count = 0;
    size_t used = 0;
    bool failed = false, any_source = false;
    char path[VRW_PATH_CAPACITY];
    for (int i = 0; i < entry_count && !failed && count < VRW_MAX_FILES; i++) {
        bool is_source = false;
        int row = program_row(entries[i]->d_name, &is_source);
        if (row < 0 || !(files[row].family & mask))
            continue;
        int path_length = snprintf(path, sizeof path, "%s/%s", directory, entries[i]->d_name);
        if (path_length < 0 || (size_t)path_length >= sizeof path)
            continue;
        StagedFile *file = &staged[count];
        if (!stage_file(path, staging, &used, file)) {
            report(r, VRW_NO_KERNEL_FILES, "Failed to open file at ", path);
            failed = true;
            continue;
        }
        file->is_source = is_source;
        file->row = row;
        any_source |= is_source;
        count++;
    }
    if (!failed && any_source)
        failed = !stage_prelude(directory, staging, &used, prelude, r);
    for (int i = 0; i < entry_count; i++)
        free(entries[i]);
    free(entries);
    if (failed)
        return -1;
    if (count == 0) {
        report(r, VRW_NO_KERNEL_FILES, "No .cl or .bc files found", NULL);
        return -1;
    }
    return count;
}

/* A source program is the prelude, then its own text from line 1, so that
** the build log counts the program's lines as its file does. */
static cl_program create_program(VRWContext_s *context, const char *staging,
                                 const StagedFile *prelude, const StagedFile *file, cl_int *err)
{
    const char *text = staging + file->start;
    size_t length = file->length;
    if (file->is_source) {
        static const char line_one[] = "\n#line 1\n";
        const char *texts[] = {staging + prelude->start, line_one, text};
        size_t lengths[] = {prelude->length, sizeof line_one - 1, length};
        return clCreateProgramWithSource(context->context, 3, texts, lengths, err);
    }
    const unsigned char *binary = (const unsigned char *)text;
    return clCreateProgramWithBinary(context->context, 1, &context->device, &length, &binary,
                                     NULL, err);
}

/* Copies the program's build log into the caller's buffer, cut to its
** capacity; the length reported is the log's full size. */
static void copy_build_log(VRWContext_s *context, cl_program program, const Report *r)
{
    if (r->length)
        *r->length = 0;
    if (r->capacity == 0 || !r->message)
        return;
    size_t size = 0;
    if (clGetProgramBuildInfo(program, context->device, CL_PROGRAM_BUILD_LOG, 0, NULL, &size)
        != CL_SUCCESS || size == 0)
        return;
    char *log = malloc(size);
    if (!log)
        return;
    if (clGetProgramBuildInfo(program, context->device, CL_PROGRAM_BUILD_LOG, size, log, NULL)
        == CL_SUCCESS) {
        size_t copied = size < r->capacity ? size : r->capacity;
        memcpy(r->message, log, copied);
        r->message[copied - 1] = '\0';
        if (r->length)
            *r->length = (int64_t)size;
    }
    free(log);
}

/* Creates and builds the staged programs into code; reports and returns
** false at the first failure, code holding the programs built before it. */
static bool build_programs(VRWContext_s *context, const char *staging, const StagedFile *prelude,
                           const StagedFile *staged, int count, VRWCode_s *code, const Report *r)
{
    for (int i = 0; i < count; i++) {
        const char *name = files[staged[i].row].name;
        cl_int err = CL_SUCCESS;
        cl_program program = create_program(context, staging, prelude, &staged[i], &err);
        if (err != CL_SUCCESS) {
            vrw_log_error("Error creating program for %s\n", name);
            vrw_set_status(r->status, err);
            if (r->length)
                *r->length = 0;
            return false;
        }
        err = clBuildProgram(program, 0, NULL, NULL, NULL, NULL);
        if (err != CL_SUCCESS) {
            vrw_log_error("Error building program for %s\n", name);
            copy_build_log(context, program, r);
            vrw_set_status(r->status, err);
            clReleaseProgram(program);
            return false;
        }
        code->programs[code->program_count++] = program;
    }
    return true;
}

VRWCode_s *vrw_compile_code(VRWContext_s *context, const char *directory, uint32_t family_mask,
                            int32_t *status, size_t message_capacity, char *message,
                            int64_t *message_length)
{
    Report r = {status, message_capacity, message, message_length};
    if (!directory) {
        report(&r, VRW_NOT_APPLICABLE, "No code directory provided", NULL);
        return NULL;
    }
    if (!context) {
        vrw_set_status(status, CL_INVALID_CONTEXT);
        return NULL;
    }
    char *staging = malloc(VRW_STAGING_CAPACITY);
    StagedFile *staged = malloc(VRW_MAX_FILES * sizeof *staged);
    StagedFile prelude = {0};
    VRWCode_s *code = NULL;
    if (!staging || !staged) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        goto done;
    }
    int count = stage_directory(directory, family_mask, staging, staged, &prelude, &r);
    if (count < 0)
        goto done;
    code = calloc(1, sizeof *code + (size_t)count * sizeof(cl_program));
    if (!code) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        goto done;
    }
    code->programs = (cl_program *)(code + 1);
    if (!build_programs(context, staging, &prelude, staged, count, code, &r)) {
        vrw_release_code(code);
        code = NULL;
        goto done;
    }
    code->family_mask = family_mask;
    vrw_set_status(status, VRW_SUCCESS);
done:
    free(staged);
    free(staging);
    return code;
}
