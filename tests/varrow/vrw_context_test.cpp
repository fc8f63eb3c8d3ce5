// The compute context and the building and loading of kernel programs.
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

using ContextPtr = std::unique_ptr<VRWContext_s, VRWContextFree>;

struct Compiled {
    VRWCode_s *code;
    int32_t status;
    std::string message;
    int64_t length;
};

Compiled compile(VRWContext_s *context, const char *dir, uint32_t mask, size_t capacity = 4096)
{
    std::vector<char> buffer(capacity + 1, '#');
    buffer[capacity] = '\0';
    Compiled c{nullptr, 12345, "", -7};
    c.code = vrw_compile_code(context, dir, mask, &c.status, capacity, buffer.data(), &c.length);
    c.message = c.length > 0 ? std::string(buffer.data()) : std::string();
    return c;
}

class ContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        context.reset(vrw_test_context(0));
        ASSERT_TRUE(context);
    }
    ContextPtr context;
};

TEST_F(ContextTest, IsMadeOnTheCpuDeviceWithDoubles)
{
    cl_device_type type = 0;
    clGetDeviceInfo(context->device, CL_DEVICE_TYPE, sizeof type, &type, nullptr);
    EXPECT_TRUE(type & CL_DEVICE_TYPE_CPU);
    EXPECT_EQ(context->mem_flags, 36);
    EXPECT_EQ(context->fp_size, 8);
    EXPECT_EQ(context->fp_block_size, 128);
    EXPECT_EQ(context->loaded_family_mask, 0u);
    EXPECT_EQ(context->kernel_count, 0u);
    EXPECT_NE(context->queue, nullptr);
}

TEST_F(ContextTest, EachFamilyMaskBuildsExactlyItsPrograms)
{
    std::string dir = vrw_test_program_dir("all_programs");
    for (const auto &[program, family] : vrw_test_programs())
        vrw_test_write_file(dir + "/" + program + ".cl", vrw_test_marker_program(program));
    vrw_test_write_file(dir + "/notes.txt", "not a program");
    for (uint32_t bit = 0x1; bit <= 0x100; bit <<= 1) {
        SCOPED_TRACE(bit);
        std::set<std::string> expected;
        for (const auto &[program, family] : vrw_test_programs())
            if (family == bit)
                expected.insert("k_" + program);
        vrw_release_kernels(context.get());
        Compiled c = compile(context.get(), dir.c_str(), bit);
        ASSERT_NE(c.code, nullptr);
        EXPECT_EQ(c.status, 0);
        EXPECT_EQ(c.code->program_count, expected.size());
        EXPECT_EQ(c.code->family_mask, bit);
        ASSERT_EQ(vrw_load_code(context.get(), c.code), 0);
        vrw_release_code(c.code);
        std::vector<std::string> names = vrw_test_kernel_names(context.get());
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
        EXPECT_EQ(names.size(), expected.size()) << "a file was taken for two programs";
        EXPECT_EQ(context->loaded_family_mask, bit);
    }
}

// Source and device binary of one program are two programs; a name that is
// no program, and a file without the prefix, are skipped.
TEST_F(ContextTest, TakesSourceAndBinaryAndSkipsOtherFiles)
{
    std::string dir = vrw_test_program_dir("linear_logit_notes");
    vrw_test_write_file(dir + "/vrw_linear.cl", vrw_test_marker_program("vrw_linear"));
    vrw_test_write_file(dir + "/vrw_logit.cl", vrw_test_marker_program("vrw_logit"));
    vrw_test_write_file(dir + "/notes.txt", "not a program");

    Compiled only_source = compile(context.get(), dir.c_str(), 0x8);
    ASSERT_NE(only_source.code, nullptr);
    EXPECT_EQ(only_source.code->program_count, 1u);
    size_t size = 0;
    cl_program program = only_source.code->programs[0];
    clGetProgramInfo(program, CL_PROGRAM_BINARY_SIZES, sizeof size, &size, nullptr);
    std::vector<unsigned char> binary(size);
    unsigned char *binaries[] = {binary.data()};
    clGetProgramInfo(program, CL_PROGRAM_BINARIES, sizeof binaries, binaries, nullptr);
    vrw_release_code(only_source.code);
    vrw_test_write_file(dir + "/vrw_linear.bc", std::string(binary.begin(), binary.end()));

    Compiled both = compile(context.get(), dir.c_str(), 0x8);
    ASSERT_NE(both.code, nullptr);
    EXPECT_EQ(both.code->program_count, 2u);
    EXPECT_EQ(both.code->family_mask, 0x8u);
    ASSERT_EQ(vrw_load_code(context.get(), both.code), 0);
    vrw_release_code(both.code);
    EXPECT_EQ(vrw_test_kernel_names(context.get()),
              (std::vector<std::string>{"k_vrw_linear", "k_vrw_linear"}));
    // A family loaded twice: lookups find the earlier kernel.
    EXPECT_EQ(vrw_find_kernel(context.get(), "k_vrw_linear"), context->kernels[0]);

    Compiled none = compile(context.get(), dir.c_str(), 0x1);
    EXPECT_EQ(none.code, nullptr);
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.message, "No .cl or .bc files found");
}

TEST_F(ContextTest, ReportsMissingDirectoriesAndFiles)
{
    std::string empty = vrw_test_scratch_dir("empty");
    std::string missing = empty + "/nowhere";
    struct Case {
        const char *dir;
        size_t capacity;
        int32_t status;
        std::string message;
    } cases[] = {
        {empty.c_str(), 4096, 2, "No .cl or .bc files found"},
        {nullptr, 4096, 1, "No code directory provided"},
        {missing.c_str(), 4096, 1, "Failed to open file at " + missing},
        // A message that does not fit is dropped whole.
        {nullptr, 10, 1, ""},
        {nullptr, 26, 1, ""},
        {nullptr, 27, 1, "No code directory provided"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message + " / capacity " + std::to_string(c.capacity));
        Compiled result = compile(context.get(), c.dir, 0xFF, c.capacity);
        EXPECT_EQ(result.code, nullptr);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.length, (int64_t)c.message.size());
        EXPECT_EQ(result.message, c.message);
    }
}

// Sources are built with the directory's prelude, whose helpers they may
// call; without it they are refused by the file's name, while a binary,
// built with it already, needs none.
TEST_F(ContextTest, SourcesNeedThePreludeAndBinariesDoNot)
{
    std::string dir = vrw_test_program_dir("prelude");
    vrw_test_write_file(dir + "/vrw_linear.cl", R"(
kernel void k_sum(global const double *x, global double *out)
{
    double4 s = 0.0, c = 0.0;
    double4 v = vload4(0, x);
    TWO_SUM(double4, s, c, v);
    out[0] = lanes_total4(s, c);
}
)");
    Compiled source = compile(context.get(), dir.c_str(), 0x8);
    ASSERT_NE(source.code, nullptr) << source.message;
    cl_program program = source.code->programs[0];
    size_t size = 0;
    clGetProgramInfo(program, CL_PROGRAM_BINARY_SIZES, sizeof size, &size, nullptr);
    std::vector<unsigned char> binary(size);
    unsigned char *binaries[] = {binary.data()};
    clGetProgramInfo(program, CL_PROGRAM_BINARIES, sizeof binaries, binaries, nullptr);
    vrw_release_code(source.code);

    std::remove((dir + "/vrw_common.cl").c_str());
    Compiled refused = compile(context.get(), dir.c_str(), 0x8);
    EXPECT_EQ(refused.code, nullptr);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.message, "Failed to open file at " + dir + "/vrw_common.cl");

    std::remove((dir + "/vrw_linear.cl").c_str());
    vrw_test_write_file(dir + "/vrw_linear.bc", std::string(binary.begin(), binary.end()));
    Compiled from_binary = compile(context.get(), dir.c_str(), 0x8);
    ASSERT_NE(from_binary.code, nullptr) << from_binary.message;
    ASSERT_EQ(vrw_load_code(context.get(), from_binary.code), 0);
    vrw_release_code(from_binary.code);
    EXPECT_EQ(vrw_test_kernel_names(context.get()), std::vector<std::string>{"k_sum"});
}

TEST_F(ContextTest, SyntaxErrorGivesTheBuildLogAndLeavesTheTableAlone)
{
    ASSERT_EQ(vrw_test_load(context.get(), 0x80, vrw_test_kernel_dir()), 0);
    uint32_t kernels = context->kernel_count, mask = context->loaded_family_mask;
    std::string dir = vrw_test_program_dir("syntax_error");
    vrw_test_write_file(dir + "/vrw_linear.cl",
                        "kernel void broken(global double *x)\n{\n    x[0] = ;\n}\n");

    testing::internal::CaptureStderr();
    Compiled c = compile(context.get(), dir.c_str(), 0x8, 65536);
    std::string printed = testing::internal::GetCapturedStderr();

    EXPECT_EQ(c.code, nullptr);
    EXPECT_EQ(c.status, CL_BUILD_PROGRAM_FAILURE);
    EXPECT_EQ(c.status, -11);
    EXPECT_GT(c.length, 0);
    EXPECT_NE(c.message.find("error"), std::string::npos) << c.message;
    // Lines are counted in the program's own file, not after the prelude.
    EXPECT_NE(c.message.find(".cl:3:"), std::string::npos) << c.message;
    EXPECT_NE(printed.find("Error building program for vrw_linear\n"), std::string::npos);
    EXPECT_EQ(context->kernel_count, kernels);
    EXPECT_EQ(context->loaded_family_mask, mask);
}

TEST_F(ContextTest, ReleasingKernelsEmptiesTheTable)
{
    ASSERT_EQ(vrw_test_load(context.get(), 0x80, vrw_test_kernel_dir()), 0);
    EXPECT_EQ(context->loaded_family_mask, 0x80u);
    EXPECT_NE(vrw_find_kernel(context.get(), "vrw_compute_mean"), nullptr);
    vrw_release_kernels(context.get());
    EXPECT_EQ(context->loaded_family_mask, 0u);
    EXPECT_EQ(context->kernel_count, 0u);
    EXPECT_EQ(vrw_find_kernel(context.get(), "vrw_compute_mean"), nullptr);
}

// Every shipped program builds, and its family's kernels load.
TEST_F(ContextTest, ShippedProgramsBuild)
{
    for (uint32_t bit = 0x1; bit <= 0x100; bit <<= 1) {
        SCOPED_TRACE(bit);
        EXPECT_EQ(vrw_test_load(context.get(), bit, vrw_test_kernel_dir()), 0);
    }
    EXPECT_EQ(context->loaded_family_mask, 0x1FFu);
    for (const char *name : {"vrw_compute_fweight_sum", "vrw_compute_fitted",
                             "vrw_compute_fitted_fe", "vrw_compute_fixed_effects",
                             "vrw_column_has_data", "vrw_column_value_count"})
        EXPECT_NE(vrw_find_kernel(context.get(), name), nullptr) << name;
}

TEST(ErrorMessages, AreCopiedWholeOrNotAtAll)
{
    struct Case {
        size_t capacity;
        const char *first;
        const char *second;
        int64_t length;
        const char *buffer;
    } cases[] = {
        {20, "abc", "def", 6, "abcdef"},
        {7, "abc", "def", 6, "abcdef"},
        {6, "abc", "def", 0, "untouched"},
        {0, "", "", 0, "untouched"},
        {1, "", "", 0, ""},
    };
    for (const Case &c : cases) {
        char buffer[32] = "untouched";
        int64_t length = -1;
        vrw_error_msg2(c.capacity, buffer, &length, c.first, c.second);
        EXPECT_EQ(length, c.length) << c.capacity;
        EXPECT_STREQ(buffer, c.buffer) << c.capacity;
    }
    char buffer[8] = "";
    vrw_error_msg1(sizeof buffer, buffer, nullptr, "short");
    EXPECT_STREQ(buffer, "short");
}

// Without any OpenCL driver the context is refused with a status, cleanly:
// the probe runs in a process whose ICD loader finds no platform.
TEST(NoOpenCLDevice, ContextInitReturnsNoneWithAStatus)
{
    std::string vendors = vrw_test_scratch_dir("no_icd_vendors");
    std::vector<std::string> env_text = {"OCL_ICD_VENDORS=" + vendors};
    for (char **e = environ; *e; e++)
        if (std::strncmp(*e, "OCL_ICD_VENDORS=", 16) != 0)
            env_text.push_back(*e);
    std::vector<char *> env;
    for (std::string &text : env_text)
        env.push_back(text.data());
    env.push_back(nullptr);
    char *argv[] = {const_cast<char *>(VRW_TEST_PROBE), nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, VRW_TEST_PROBE, nullptr, nullptr, argv, env.data()), 0);
    int wait_status = 0;
    ASSERT_EQ(waitpid(pid, &wait_status, 0), pid);
    ASSERT_TRUE(WIFEXITED(wait_status));
    EXPECT_EQ(WEXITSTATUS(wait_status), 0);
}

} // namespace
