// Shared helpers of the libvarrow tests: a context with kernel families
// loaded from the build tree, fixtures, and scratch directories.
#pragma once

#include "varrow/varrow.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Points PoCL's cache of compiled kernels at a folder of the build tree, so
// that kernels compiled once are reused by every later test run. Call before
// the first OpenCL call of the process; a value already set is kept.
void vrw_test_use_kernel_cache();

// The kernel programs the build copies into its resources.
std::string vrw_test_kernel_dir();

// A new context on the CPU device with the given families built and loaded
// from the build tree's kernel programs; fails the test (and returns NULL)
// when that is not possible.
VRWContext_s *vrw_test_context(uint32_t families);

// Builds and loads the families into the context; returns the status.
int32_t vrw_test_load(VRWContext_s *context, uint32_t families, const std::string &dir);

// The rows of a CSV file with a header line, each a map from column name to
// text. Fails the test when the file cannot be read.
std::vector<std::map<std::string, std::string>> vrw_test_read_csv(const std::string &path);

// The library's program table as the tests expect it: program name and
// family, in table order.
const std::vector<std::pair<std::string, uint32_t>> &vrw_test_programs();

// A program with one kernel, "k_<program>", so the loaded kernels show which
// files were built.
std::string vrw_test_marker_program(const std::string &program);

// Function names of the context's kernels from position `from` on, in table
// order.
std::vector<std::string> vrw_test_kernel_names(const VRWContext_s *context, uint32_t from = 0);

// A fresh empty directory under the test binary folder, of the running
// test's own.
std::string vrw_test_scratch_dir(const std::string &name);
void vrw_test_write_file(const std::string &path, const std::string &text);

// A fresh scratch directory holding the shipped prelude of the kernel
// programs, for programs of the test's own.
std::string vrw_test_program_dir(const std::string &name);

// Deleters so tests hold library records in std::unique_ptr.
struct VRWContextFree {
    void operator()(VRWContext_s *c) const { vrw_context_free(c); }
};
struct VRWMatrixUnload {
    void operator()(VRWMatrixBuffer_s *m) const { vrw_unload_matrix(m); }
};
struct VRWVectorUnload {
    void operator()(VRWVectorBuffer_s *v) const { vrw_unload_vector(v); }
};
