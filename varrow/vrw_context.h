/*
** libvarrow's codes, the compute context, its kernel programs and the
** kernel runs that bind and enqueue them. The conventions of every
** function of the library are stated in varrow/varrow.h.
*/
#ifndef VARROW_VRW_CONTEXT_H
#define VARROW_VRW_CONTEXT_H

#ifndef CL_TARGET_OPENCL_VERSION
#define CL_TARGET_OPENCL_VERSION 120
#endif
#include <CL/cl.h>
#include <stddef.h>
#include <stdint.h>

#if defined(VRW_BUILDING_LIBRARY)
#define VRW_EXPORT __attribute__((visibility("default")))
#else
#define VRW_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------ codes */

typedef int32_t VRWStatus;
enum {
    VRW_SUCCESS = 0,
    VRW_NOT_APPLICABLE = 1,          /* setter refused; no code directory */
    VRW_NO_KERNEL_FILES = 2,         /* no matching kernel file */
    VRW_TOO_FEW_OBSERVATIONS = 2,    /* a run: no more observations than free parameters */
    VRW_OUT_OF_HOST_MEMORY = -6,     /* CL_OUT_OF_HOST_MEMORY */
    VRW_NO_PANELS = -38,             /* CL_INVALID_MEM_OBJECT */
    VRW_KERNEL_NOT_LOADED = -46,     /* CL_INVALID_KERNEL_NAME */
    VRW_UNBALANCED_PANELS = -50,     /* CL_INVALID_ARG_VALUE */
    VRW_WRONG_ARGUMENT_COUNT = -52,  /* CL_INVALID_KERNEL_ARGS */
    VRW_HESSIAN_NOT_INVERTIBLE = 1000, /* + LAPACK info */
    VRW_ESTIMATE_NAN = 2000,
    VRW_HESSIAN_NOT_NEGATIVE = 3000,   /* + LAPACK info when the decomposition fails */
    VRW_MULTICOLLINEAR = 4000,
    VRW_TOO_FEW_CATEGORIES = 5000
};

/* Groups of kernel programs; a model needs the common family and its own. */
typedef uint32_t VRWFamilyMask;
enum {
    VRW_FAMILY_BINARY_CHOICE = 0x1,
    VRW_FAMILY_ORDERED_CHOICE = 0x2,
    VRW_FAMILY_MULTINOMIAL_LOGIT = 0x4,
    VRW_FAMILY_LINEAR = 0x8,
    VRW_FAMILY_COUNT = 0x10,
    VRW_FAMILY_NEGATIVE_BINOMIAL = 0x20,
    VRW_FAMILY_COX = 0x40,
    VRW_FAMILY_COMMON = 0x80,
    VRW_FAMILY_GMM = 0x100
};

typedef uint32_t VRWOptions;
enum {
    VRW_OPTION_SMALL_SAMPLE = 1,         /* variance times n / (n - k) */
    VRW_OPTION_CLUSTER_SMALL_SAMPLE = 2, /* with clusters: times G / (G - 1) */
    VRW_OPTION_ROBUST = 4,
    VRW_OPTION_CLUSTER = 8,              /* the non-empty panels are the clusters */
    VRW_OPTION_FIXED_EFFECTS = 16,
    VRW_OPTION_NO_CONSTANT = 32
};

typedef int32_t VRWRegressionModel;
enum {
    VRW_MODEL_LINEAR = 0,
    VRW_MODEL_LOG_LINEAR = 1,
    VRW_MODEL_WEIGHTED_LINEAR = 2,
    VRW_MODEL_WEIGHTED_LOG_LINEAR = 3,
    VRW_MODEL_INSTRUMENTAL_VARIABLES = 4,
    VRW_MODEL_LOGIT = 5,
    VRW_MODEL_PROBIT = 6,
    VRW_MODEL_BINARY_LINEAR = 7,
    VRW_MODEL_POISSON = 8,
    VRW_MODEL_NEGATIVE_BINOMIAL = 9,
    VRW_MODEL_GEOMETRIC = 10,
    VRW_MODEL_COX_PROPORTIONAL_HAZARDS = 11,
    VRW_MODEL_MULTINOMIAL_LOGIT = 12,
    VRW_MODEL_ORDERED_LOGIT = 13,
    VRW_MODEL_ORDERED_PROBIT = 14
};

/* The caller's iteration log: 121 words of 8 bytes. Words 0-39 hold the
** microseconds of iterations 1-40, 40-79 the change of the convergence
** measure, 80-119 the relative step, 120 the number of iterations. */
enum {
    VRW_ITERATION_LOG_MAX_ITERATIONS = 40,
    VRW_ITERATION_LOG_TIMES = 0,
    VRW_ITERATION_LOG_CHANGES = 40,
    VRW_ITERATION_LOG_STEPS = 80,
    VRW_ITERATION_LOG_COUNT = 120,
    VRW_ITERATION_LOG_WORDS = 121
};
typedef union VRWIterationLogWord {
    int64_t count;
    double value;
} VRWIterationLogWord;
typedef VRWIterationLogWord VRWIterationLog[VRW_ITERATION_LOG_WORDS];

/* ------------------------------------------------ context and programs */

enum { VRW_MAX_KERNELS = 256 };

typedef struct VRWContext_s {
    cl_context context;
    int32_t mem_flags;             /* CL_MEM_READ_ONLY | CL_MEM_COPY_HOST_PTR */
    cl_command_queue queue;        /* in order, no properties */
    cl_device_id device;
    int32_t fp_size;               /* bytes of a device real in work buffers */
    int32_t fp_block_size;         /* bytes of 16 device reals */
    uint32_t loaded_family_mask;
    uint32_t kernel_count;
    cl_kernel kernels[VRW_MAX_KERNELS]; /* in creation order */
} VRWContext_s;

typedef struct VRWCode_s {
    uint32_t family_mask;          /* the mask asked for, not the one found */
    uint32_t program_count;
    cl_program *programs;          /* in the order their files were read */
} VRWCode_s;

/*
** Makes the compute context on the first device of the given OpenCL device
** type (the application passes CL_DEVICE_TYPE_CPU). A device without
** double precision (cl_khr_fp64) is refused with CL_DEVICE_NOT_FOUND.
** Returns NULL with the OpenCL status in *status when there is no usable
** device (CL_PLATFORM_NOT_FOUND_KHR when no OpenCL driver is installed), or
** -6 when the record cannot be allocated; *status is not written on success.
*/
VRW_EXPORT VRWContext_s *vrw_context_init(cl_device_type device_type, int32_t *status);

/* Releases every kernel, the queue, the OpenCL context and the record.
** NULL is ignored. */
VRW_EXPORT void vrw_context_free(VRWContext_s *context);

/*
** Builds the kernel programs of the families in family_mask found in the
** directory: files named "<program>.cl" (source) or "<program>.bc" (a device
** binary) after a row of the program table. Returns a code object the caller
** releases with vrw_release_code, or NULL with the status in *status and a
** message (or the build log) copied into message (capacity bytes, its length
** in *message_length; a message that does not fit is dropped and the length
** is 0). Status 1: no directory or it cannot be opened; 2: no matching file,
** or one cannot be read; negative: the OpenCL failure of creating or
** building a program ("Error ... program for <name>" on stderr). Nothing of
** a failed call stays allocated, and the context's kernel table is never
** touched.
*/
VRW_EXPORT VRWCode_s *vrw_compile_code(VRWContext_s *context, const char *directory,
                                       uint32_t family_mask, int32_t *status,
                                       size_t message_capacity, char *message,
                                       int64_t *message_length);

/* Creates every kernel of the code's programs at the end of the kernel table
** and adds the code's family mask to loaded_family_mask. A failure returns
** its OpenCL status at once: kernels of earlier programs stay, the mask is
** unchanged. */
VRW_EXPORT VRWStatus vrw_load_code(VRWContext_s *context, const VRWCode_s *code);

/* Releases the programs and the code object; kernels made from it stay valid. */
VRW_EXPORT void vrw_release_code(VRWCode_s *code);

/* Empties the kernel table and clears loaded_family_mask. */
VRW_EXPORT void vrw_release_kernels(VRWContext_s *context);

/* Copy a message (or first followed by second) with its NUL into buffer when
** it fits (its length is below capacity) and report its length, else copy
** nothing and report 0. length may be NULL. */
VRW_EXPORT void vrw_error_msg1(size_t capacity, char *buffer, int64_t *length,
                               const char *message);
VRW_EXPORT void vrw_error_msg2(size_t capacity, char *buffer, int64_t *length,
                               const char *first, const char *second);

/* ----------------------------------------------------------- kernel runs */

enum { VRW_MAX_KERNEL_ARGS = 32 };

enum {
    VRW_ARG_MEM = 0,
    VRW_ARG_INT = 1,
    VRW_ARG_FLOAT = 2,
    VRW_ARG_DOUBLE = 3
};

typedef struct VRWKernelArg_s {
    int64_t size;                  /* bytes of the value */
    union {
        cl_mem mem;                /* NULL binds no buffer */
        int32_t i;
        float f;
        double d;
        uint64_t bits;
    } value;
    uint32_t kind;                 /* VRW_ARG_* */
} VRWKernelArg_s;

/* Called around a kernel with the context and its data; non-zero stops the
** list with that status. */
typedef VRWStatus (*VRWKernelCallback)(VRWContext_s *context, void *data);

typedef struct VRWKernelRun_s {
    cl_kernel kernel;
    size_t global_size[3];
    uint32_t work_dim;
    int64_t arg_count;
    VRWKernelArg_s args[VRW_MAX_KERNEL_ARGS];
    VRWKernelCallback pre_run;     /* before the arguments are bound */
    void *pre_run_data;
    VRWKernelCallback post_run;    /* after the kernel is enqueued */
    void *post_run_data;
} VRWKernelRun_s;

/* The first kernel of the table named exactly name, or NULL. The kernel
** belongs to the context. */
VRW_EXPORT cl_kernel vrw_find_kernel(const VRWContext_s *context, const char *name);

/* Lookups by naming pattern over a model name ("logit", "count", ...). */
VRW_EXPORT cl_kernel vrw_find_prefix_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_prefix_fe_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_predict_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_predict_fe_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_log_likelihood_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_log_likelihood_fe_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_jacobian_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_hessian_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_robust_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_cluster_pass1_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_cluster_pass2_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_jacobian_fe_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_hessian_fe_kernel(const VRWContext_s *context, const char *model);

/*
** Binds and enqueues count runs in order on the context's in-order queue;
** does not wait for them. A run whose kernel declares another number of
** arguments than prepared returns -52 before anything of it is enqueued. A
** run with a global size of 0 in a used dimension enqueues nothing (its
** callbacks still run). The first failure stops the list.
*/
VRW_EXPORT VRWStatus vrw_run_kernels(VRWContext_s *context, VRWKernelRun_s *runs, int64_t count);

VRW_EXPORT void vrw_reset_kernel_args(VRWKernelRun_s *run);
VRW_EXPORT void vrw_set_kernel_arg_mem(VRWKernelRun_s *run, cl_mem buffer);
VRW_EXPORT void vrw_set_kernel_arg_int(VRWKernelRun_s *run, int32_t value);
VRW_EXPORT void vrw_set_kernel_arg_float(VRWKernelRun_s *run, float value);
VRW_EXPORT void vrw_set_kernel_arg_double(VRWKernelRun_s *run, double value);
VRW_EXPORT void vrw_set_kernel_dim1(VRWKernelRun_s *run, size_t x);
VRW_EXPORT void vrw_set_kernel_dim2(VRWKernelRun_s *run, size_t x, size_t y);
VRW_EXPORT void vrw_set_kernel_dim3(VRWKernelRun_s *run, size_t x, size_t y, size_t z);

#ifdef __cplusplus
}
#endif

#endif
