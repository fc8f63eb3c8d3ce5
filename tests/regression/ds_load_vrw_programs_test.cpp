// The application's building of kernel families into its fitting context.
#include "regression/ds_load_vrw_programs.h"

#include "model/DSError.h"
#include "tests/varrow/vrw_test_support.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace {

using ContextPtr = std::unique_ptr<VRWContext_s, VRWContextFree>;

QStringList logged;

void keep_message(QtMsgType, const QMessageLogContext &, const QString &message)
{
    logged << message;
}

// A directory of every program, each with one kernel named after its file;
// programs may be replaced by other text.
std::string marker_dir(const std::string &name,
                       const std::map<std::string, std::string> &replaced = {})
{
    std::string dir = vrw_test_program_dir(name);
    for (const auto &[program, family] : vrw_test_programs()) {
        auto other = replaced.find(program);
        vrw_test_write_file(dir + "/" + program + ".cl",
                            other != replaced.end()
                                ? other->second
                                : vrw_test_marker_program(program));
    }
    return dir;
}

class LoadProgramsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        context.reset(vrw_test_context(0));
        ASSERT_TRUE(context);
        logged.clear();
        previous = qInstallMessageHandler(keep_message);
    }
    void TearDown() override { qInstallMessageHandler(previous); }
    ContextPtr context;
    QtMessageHandler previous = nullptr;
};

TEST_F(LoadProgramsTest, FindsTheBuildTreesPrograms)
{
    QString dir = ds_vrw_program_directory();
    EXPECT_EQ(dir, QStringLiteral(OSTREL_BUILD_SHARE_DIR "/cl"));
    for (const auto &[program, family] : vrw_test_programs())
        EXPECT_TRUE(QFile::exists(dir + "/" + QString::fromStdString(program) + ".cl")) << program;
}

TEST_F(LoadProgramsTest, BuildsOnlyTheMissingFamilies)
{
    DSError error;
    ASSERT_EQ(ds_load_vrw_programs(0x80, context.get(), &error), 0);
    uint32_t common = context->kernel_count;
    EXPECT_GT(common, 0u);
    EXPECT_NE(vrw_find_kernel(context.get(), "vrw_compute_fitted"), nullptr);

    ContextPtr count_only(vrw_test_context(0));
    ASSERT_EQ(ds_load_vrw_programs(0x10, count_only.get(), &error), 0);
    uint32_t count = count_only->kernel_count;
    ASSERT_EQ(ds_load_vrw_programs(0x90, context.get(), &error), 0);
    EXPECT_EQ(context->loaded_family_mask, 0x90u);
    EXPECT_EQ(context->kernel_count, common + count) << "the common family was not built again";
    ASSERT_EQ(ds_load_vrw_programs(0x90, context.get(), &error), 0);
    EXPECT_EQ(context->kernel_count, common + count);
    EXPECT_TRUE(logged.isEmpty()) << logged.join(u'\n').toStdString();

    // The same with a kernel in every program: 0x90 on 0x80 adds exactly the
    // count family's.
    std::string dir = marker_dir("markers");
    ContextPtr fresh(vrw_test_context(0));
    QString qdir = QString::fromStdString(dir);
    ASSERT_EQ(ds_load_vrw_programs_from(qdir, 0x80, fresh.get(), nullptr), 0);
    uint32_t before = fresh->kernel_count;
    ASSERT_EQ(ds_load_vrw_programs_from(qdir, 0x90, fresh.get(), nullptr), 0);
    EXPECT_EQ(vrw_test_kernel_names(fresh.get(), before),
              (std::vector<std::string>{"k_vrw_count"}));
}

TEST_F(LoadProgramsTest, BuildsFamiliesInTheFixedOrderAndNeverGmm)
{
    QString dir = QString::fromStdString(marker_dir("markers_order"));
    ASSERT_EQ(ds_load_vrw_programs_from(dir, 0x1FF, context.get(), nullptr), 0);
    EXPECT_EQ(context->loaded_family_mask, 0xFFu);
    std::vector<std::string> names = vrw_test_kernel_names(context.get());
    std::vector<std::string> expected = {
        "k_vrw_binary_choice", "k_vrw_count", "k_vrw_linear", "k_vrw_multinomial_logit",
        "k_vrw_multinomial_logit_matrix", "k_vrw_ordered_choice", "k_vrw_ordered_choice_matrix",
        "k_vrw_cox", "k_vrw_cox_matrix", "k_vrw_negbin2", "k_vrw_negbin2_matrix",
        "k_vrw_compute", "k_vrw_compute_fe", "k_vrw_compute_fitted", "k_vrw_compute_ll",
        "k_vrw_compute_matrix"};
    EXPECT_EQ(names, expected);
}

TEST_F(LoadProgramsTest, ACompileFailureStopsTheLoader)
{
    QString dir = QString::fromStdString(
        marker_dir("broken_binary_choice", {{"vrw_binary_choice", "kernel void k( { }\n"}}));
    DSError error;
    int status = ds_load_vrw_programs_from(dir, 0x11, context.get(), &error);
    EXPECT_EQ(status, CL_BUILD_PROGRAM_FAILURE);
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Error compiling Varrow code"));
    EXPECT_EQ(context->loaded_family_mask, 0u) << "0x10 was not tried";
    ASSERT_GE(logged.size(), 2);
    EXPECT_EQ(logged[0], QStringLiteral("Error compiling Varrow code: -11"));
    EXPECT_TRUE(logged[1].startsWith(QStringLiteral("Error details: "))) << logged[1].toStdString();
}

TEST_F(LoadProgramsTest, ALoadFailureIsReported)
{
    // The common family fills 250 of the table's 256 kernels; the count
    // family's ten do not fit.
    std::string many, ten;
    for (int i = 0; i < 250; i++)
        many += "kernel void a" + std::to_string(i) + "(global int *x) { x[0] = 1; }\n";
    for (int i = 0; i < 10; i++)
        ten += "kernel void b" + std::to_string(i) + "(global int *x) { x[0] = 1; }\n";
    std::map<std::string, std::string> replaced = {{"vrw_compute", many}, {"vrw_count", ten}};
    for (const char *program : {"vrw_compute_fe", "vrw_compute_fitted", "vrw_compute_ll",
                                "vrw_compute_matrix"})
        replaced[program] = "\n";
    QString dir = QString::fromStdString(marker_dir("table_full", replaced));
    ASSERT_EQ(ds_load_vrw_programs_from(dir, 0x80, context.get(), nullptr), 0);
    DSError error;
    int status = ds_load_vrw_programs_from(dir, 0x10, context.get(), &error);
    EXPECT_NE(status, 0);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Error loading Varrow code"));
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(context->loaded_family_mask, 0x80u);
    EXPECT_EQ(context->kernel_count, 250u);
    EXPECT_EQ(logged.value(0), QStringLiteral("Error loading Varrow code: %1").arg(status));
}

// Without an OpenCL device the application has no context; asking for
// families then fails with a status instead of crashing.
TEST_F(LoadProgramsTest, NoContextFailsCleanly)
{
    DSError error;
    EXPECT_NE(ds_load_vrw_programs(0x80, nullptr, &error), 0);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Error compiling Varrow code"));
    EXPECT_NE(ds_load_vrw_programs(0x80, nullptr, nullptr), 0);
}

} // namespace
