#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

void vrw_test_use_kernel_cache()
{
    setenv("POCL_CACHE_DIR", VRW_TEST_POCL_CACHE_DIR, 0);
#if defined(__SANITIZE_ADDRESS__)
    // The leak check at exit stops every thread of the process; with PoCL's
    // full pool of workers in several test programs at once, after their
    // kernels were compiled, its tracer now and then crashes (and fails a
    // test that passed). Two workers are plenty for these tests.
    setenv("POCL_MAX_PTHREAD_COUNT", "2", 0);
#endif
}

std::string vrw_test_kernel_dir()
{
    return VRW_TEST_KERNEL_DIR;
}

namespace {

// Holds a lock beside the kernel cache while it lives. ctest runs test
// programs side by side, and PoCL's compiler does not survive two processes
// filling one cold cache at once (an assertion in its program build, or a
// crash of the address sanitizer's leak check at exit), so programs are
// built one process at a time.
class CacheLock {
public:
    CacheLock() : fd_(open(VRW_TEST_POCL_CACHE_DIR ".lock", O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        if (fd_ >= 0)
            flock(fd_, LOCK_EX);
    }
    ~CacheLock()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    CacheLock(const CacheLock &) = delete;
    CacheLock &operator=(const CacheLock &) = delete;

private:
    int fd_;
};

} // namespace

int32_t vrw_test_load(VRWContext_s *context, uint32_t families, const std::string &dir)
{
    int32_t status = -1;
    char log[65536] = "";
    int64_t length = 0;
    VRWCode_s *code = nullptr;
    {
        CacheLock lock;
        code = vrw_compile_code(context, dir.c_str(), families, &status, sizeof log, log,
                                &length);
    }
    if (!code) {
        ADD_FAILURE() << "building families " << families << " failed with " << status << ": "
                      << (length ? log : "");
        return status;
    }
    status = vrw_load_code(context, code);
    vrw_release_code(code);
    return status;
}

VRWContext_s *vrw_test_context(uint32_t families)
{
    vrw_test_use_kernel_cache();
    int32_t status = 0;
    VRWContext_s *context = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
    if (!context) {
        ADD_FAILURE() << "no OpenCL CPU device: " << status;
        return nullptr;
    }
    if (families && vrw_test_load(context, families, vrw_test_kernel_dir()) != 0) {
        vrw_context_free(context);
        return nullptr;
    }
    return context;
}

const std::vector<std::pair<std::string, uint32_t>> &vrw_test_programs()
{
    static const std::vector<std::pair<std::string, uint32_t>> programs = {
        {"vrw_binary_choice", 0x1},
        {"vrw_compute", 0x80},
        {"vrw_compute_fe", 0x80},
        {"vrw_compute_fitted", 0x80},
        {"vrw_compute_gmm", 0x100},
        {"vrw_compute_ll", 0x80},
        {"vrw_compute_matrix", 0x80},
        {"vrw_count", 0x10},
        {"vrw_cox", 0x40},
        {"vrw_cox_matrix", 0x40},
        {"vrw_linear", 0x8},
        {"vrw_multinomial_logit", 0x4},
        {"vrw_multinomial_logit_matrix", 0x4},
        {"vrw_negbin2", 0x20},
        {"vrw_negbin2_matrix", 0x20},
        {"vrw_ordered_choice", 0x2},
        {"vrw_ordered_choice_matrix", 0x2},
    };
    return programs;
}

std::string vrw_test_marker_program(const std::string &program)
{
    return "kernel void k_" + program + "(global int *x) { x[0] = 1; }\n";
}

std::vector<std::string> vrw_test_kernel_names(const VRWContext_s *context, uint32_t from)
{
    std::vector<std::string> names;
    for (uint32_t i = from; i < context->kernel_count; i++) {
        char name[128] = "";
        clGetKernelInfo(context->kernels[i], CL_KERNEL_FUNCTION_NAME, sizeof name, name, nullptr);
        names.push_back(name);
    }
    return names;
}

static std::vector<std::string> split_csv_line(const std::string &line)
{
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ','))
        fields.push_back(field);
    return fields;
}

std::vector<std::map<std::string, std::string>> vrw_test_read_csv(const std::string &path)
{
    std::ifstream in(path);
    std::vector<std::map<std::string, std::string>> rows;
    std::string line;
    if (!std::getline(in, line)) {
        ADD_FAILURE() << "cannot read " << path;
        return rows;
    }
    std::vector<std::string> header = split_csv_line(line);
    while (std::getline(in, line)) {
        std::vector<std::string> fields = split_csv_line(line);
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size() && i < fields.size(); i++)
            row[header[i]] = fields[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string vrw_test_scratch_dir(const std::string &name)
{
    // Tests run in parallel processes: each test gets folders of its own.
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    std::string owner = test ? std::string(test->test_suite_name()) + "." + test->name() : "none";
    std::filesystem::path dir =
        std::filesystem::path(OSTREL_TEST_BINARY_DIR) / "scratch" / owner / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

void vrw_test_write_file(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string vrw_test_program_dir(const std::string &name)
{
    std::string dir = vrw_test_scratch_dir(name);
    std::filesystem::copy_file(vrw_test_kernel_dir() + "/vrw_common.cl", dir + "/vrw_common.cl");
    return dir;
}
