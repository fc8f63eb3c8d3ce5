// Device layouts: padded columns, panels in quads, vectors, and the readers
// and transfers between host and device.
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <random>

namespace {

using ContextPtr = std::unique_ptr<VRWContext_s, VRWContextFree>;
using MatrixPtr = std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload>;
using VectorPtr = std::unique_ptr<VRWVectorBuffer_s, VRWVectorUnload>;

class LoadersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        context.reset(vrw_test_context(0));
        ASSERT_TRUE(context);
    }
    template <typename T>
    std::vector<T> read_all(cl_mem buffer, size_t n)
    {
        std::vector<T> values(n);
        EXPECT_EQ(clEnqueueReadBuffer(context->queue, buffer, CL_TRUE, 0, n * sizeof(T),
                                      values.data(), 0, nullptr, nullptr),
                  0);
        return values;
    }
    ContextPtr context;
};

// Doubles with awkward bit patterns beside ordinary ones.
std::vector<double> awkward_values(size_t n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal(0.0, 1e3);
    std::vector<double> values(n);
    for (double &v : values)
        v = normal(random);
    const double specials[] = {-0.0, std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::denorm_min(), 1e308};
    for (size_t i = 0; i < n; i += 997)
        values[i] = specials[(i / 997) % 5];
    return values;
}

bool same_bits(const double *a, const double *b, size_t n)
{
    return std::memcmp(a, b, n * sizeof(double)) == 0;
}

TEST_F(LoadersTest, LargePanelMatrixReadsBackBitForBit)
{
    const int32_t rows = 100003, columns = 7, panels = 1000;
    std::mt19937 random(11);
    std::vector<int32_t> sizes(panels);
    int32_t left = rows;
    for (int32_t p = 0; p < panels - 1; p++) {
        sizes[p] = std::min<int32_t>(left, random() % 201);
        left -= sizes[p];
    }
    sizes[panels - 1] = left;
    sizes[17] += sizes[3];
    sizes[3] = 0;
    std::vector<double> data = awkward_values((size_t)rows * columns, 3);

    int32_t status = 0;
    MatrixPtr plain(vrw_load_matrix(context.get(), data.data(), rows, columns, &status));
    MatrixPtr paneled(vrw_load_unbalanced_panel_matrix(context.get(), data.data(), rows, columns,
                                                       sizes.data(), panels, 0, &status));
    ASSERT_TRUE(plain && paneled) << status;
    EXPECT_EQ(plain->blocks, (rows + 15) / 16);
    EXPECT_EQ(paneled->panel_count, panels);
    EXPECT_EQ(paneled->observations, rows);
    std::vector<double> column(rows);
    for (int32_t c = 0; c < columns; c++) {
        for (const VRWMatrixBuffer_s *m : {plain.get(), paneled.get()}) {
            std::fill(column.begin(), column.end(), 0.0);
            ASSERT_EQ(vrw_read_data_buffer(context.get(), m, m->data, c, column.data()), 0);
            EXPECT_TRUE(same_bits(column.data(), &data[(size_t)c * rows], rows))
                << "column " << c << (m->panel_count ? " with panels" : "");
        }
    }
}

// A matrix large enough to be filled on several threads, in shares that
// start and end inside columns and inside their padding: every entry of the
// device layout, padding included, is the value or product it should be.
TEST_F(LoadersTest, LargeMatrixFilledInSharesReadsBackWhole)
{
    const int32_t rows = 280001, columns = 15;
    const size_t padded = (rows + 15) / 16 * 16;
    std::vector<double> data = awkward_values((size_t)rows * columns, 5);
    std::vector<double> weights = awkward_values(rows, 6);
    int32_t status = 0;
    for (const double *w : {(const double *)nullptr, (const double *)weights.data()}) {
        MatrixPtr m(vrw_load_weighted_matrix(context.get(), w, data.data(), rows, columns,
                                             &status));
        ASSERT_TRUE(m) << status;
        std::vector<double> device = read_all<double>(m->data, padded * columns);
        std::vector<double> expected(padded * columns, 0.0);
        for (size_t c = 0; c < (size_t)columns; c++)
            for (size_t r = 0; r < (size_t)rows; r++)
                expected[c * padded + r] = data[c * rows + r] * (w ? w[r] : 1.0);
        EXPECT_TRUE(same_bits(device.data(), expected.data(), expected.size()))
            << (w ? "weighted" : "plain");
    }
}

TEST_F(LoadersTest, ColumnsArePaddedToBlocksOfSixteen)
{
    std::vector<double> data(60);
    std::iota(data.begin(), data.end(), 1.0);
    int32_t status = 0;
    MatrixPtr m(vrw_load_matrix(context.get(), data.data(), 20, 3, &status));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->blocks, 2);
    EXPECT_EQ(m->observations, 20);
    EXPECT_EQ(m->columns, 3);
    EXPECT_EQ(m->panel_count, 0);
    EXPECT_EQ(m->panel_sizes, nullptr);
    std::vector<double> device = read_all<double>(m->data, 96);
    for (int c = 0; c < 3; c++)
        for (int r = 0; r < 32; r++)
            EXPECT_EQ(device[c * 32 + r], r < 20 ? data[c * 20 + r] : 0.0) << c << "," << r;

    // Weighted rows, and the same layout again after an unload.
    std::vector<double> weights(20, 2.0);
    MatrixPtr weighted(vrw_load_weighted_matrix(context.get(), weights.data(), data.data(), 20, 3,
                                                &status));
    ASSERT_TRUE(weighted);
    EXPECT_EQ(read_all<double>(weighted->data, 96)[33], 2 * data[21]);
    m.reset();
    vrw_unload_matrix(nullptr);
    MatrixPtr again(vrw_load_matrix(context.get(), data.data(), 20, 3, &status));
    EXPECT_EQ(read_all<double>(again->data, 96), device);
}

TEST_F(LoadersTest, PanelsArePaddedToQuads)
{
    std::vector<double> data = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<int32_t> sizes = {5, 0, 3};
    int32_t status = 0;
    MatrixPtr m(vrw_load_unbalanced_panel_matrix(context.get(), data.data(), 8, 1, sizes.data(), 3,
                                                 0, &status));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->blocks, 1);
    EXPECT_EQ(m->panel_count, 3);
    EXPECT_EQ(read_all<double>(m->data, 16),
              (std::vector<double>{1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 0, 0, 0, 0, 0}));
    EXPECT_EQ(read_all<int32_t>(m->panel_quad_counts, 3), (std::vector<int32_t>{2, 0, 1}));
    EXPECT_EQ(read_all<int32_t>(m->panel_quad_starts, 3), (std::vector<int32_t>{0, 2, 2}));
    EXPECT_EQ(read_all<int32_t>(m->quad_panels, 4), (std::vector<int32_t>{0, 0, 2, 2}));
    EXPECT_EQ(read_all<int32_t>(m->panel_sizes, 3), sizes);
    EXPECT_EQ(m->panel_means, nullptr);
}

TEST_F(LoadersTest, RefusesPanelsThatDoNotFitTheRows)
{
    std::vector<double> data(10, 1.0);
    std::vector<int32_t> short_sizes = {4, 4}, negative = {12, -2}, empty = {0, 0};
    struct Case {
        const char *what;
        VRWMatrixBuffer_s *(*load)(VRWContext_s *, const double *, const int32_t *, int32_t *);
        int32_t status;
    } cases[] = {
        {"10 rows in 3 balanced panels",
         [](VRWContext_s *c, const double *d, const int32_t *, int32_t *s) {
             return vrw_load_balanced_panel_matrix(c, d, 10, 1, 3, 0, s);
         },
         -50},
        {"no panels",
         [](VRWContext_s *c, const double *d, const int32_t *, int32_t *s) {
             return vrw_load_balanced_panel_matrix(c, d, 10, 1, 0, 0, s);
         },
         -38},
        {"unbalanced without panels",
         [](VRWContext_s *c, const double *d, const int32_t *z, int32_t *s) {
             return vrw_load_unbalanced_panel_matrix(c, d, 10, 1, z, 0, 0, s);
         },
         -38},
    };
    for (const Case &k : cases) {
        int32_t status = 0;
        EXPECT_EQ(k.load(context.get(), data.data(), nullptr, &status), nullptr) << k.what;
        EXPECT_EQ(status, k.status) << k.what;
    }
    // Panels without rows, and sizes that would read past the caller's data.
    struct SizeCase {
        const std::vector<int32_t> *sizes;
        int32_t status;
    } size_cases[] = {{&empty, -38}, {&short_sizes, -50}, {&negative, -50}};
    for (const SizeCase &k : size_cases) {
        int32_t status = 0;
        EXPECT_EQ(vrw_load_unbalanced_panel_matrix(context.get(), data.data(), 10, 1,
                                                   k.sizes->data(), 2, 0, &status),
                  nullptr);
        EXPECT_EQ(status, k.status);
    }
    int32_t status = 0;
    MatrixPtr balanced(vrw_load_balanced_panel_matrix(context.get(), data.data(), 10, 1, 5, 0,
                                                      &status));
    EXPECT_TRUE(balanced);
    EXPECT_EQ(status, 0);
}

TEST_F(LoadersTest, DemeanedPanelsAreWeightedAndKeepTheirMeans)
{
    // Two columns, panels of 3 and 2 rows, values far from zero.
    std::vector<double> data = {1e9 + 1, 1e9 + 2, 1e9 + 6, 4, 8, 10, 20, 30, -1, -3};
    std::vector<int32_t> sizes = {3, 2};
    std::vector<double> weights = {2.0, 0.5};
    int32_t status = 0;
    MatrixPtr m(vrw_load_weighted_unbalanced_panel_matrix(context.get(), weights.data(),
                                                          data.data(), 5, 2, sizes.data(), 2, 1,
                                                          &status));
    ASSERT_TRUE(m);
    std::vector<double> device = read_all<double>(m->data, 32);
    std::vector<double> expected = {-4, -2, 6, 0, -1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    -20, 0, 20, 0, 0.5, -0.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(device, expected);
    EXPECT_EQ(read_all<double>(m->panel_means, 4), (std::vector<double>{1e9 + 3, 6, 20, -2}));
}

TEST_F(LoadersTest, VectorsInEveryForm)
{
    int32_t status = 0;
    double pattern[] = {1, 2};
    VectorPtr v(vrw_load_pattern_vector(context.get(), pattern, 2, 5, &status));
    ASSERT_TRUE(v);
    EXPECT_EQ(v->length, 5u);
    EXPECT_EQ(v->blocks, 1);
    std::vector<double> expected(16, 0.0);
    for (int i = 0; i < 5; i++)
        expected[i] = pattern[i % 2];
    EXPECT_EQ(read_all<double>(v->data, 16), expected);

    VectorPtr ones(vrw_load_ones_vector(context.get(), 17, &status));
    EXPECT_EQ(ones->blocks, 2);
    std::vector<double> one_values = read_all<double>(ones->data, 32);
    EXPECT_EQ(std::accumulate(one_values.begin(), one_values.end(), 0.0), 17.0);

    int32_t ints[] = {7, -1, 3};
    VectorPtr iv(vrw_load_integer_vector(context.get(), ints, 3, &status));
    EXPECT_EQ(read_all<int32_t>(iv->data, 4), (std::vector<int32_t>{7, -1, 3, 0}));

    int32_t sizes[] = {5, 0, 3};
    double values[] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<double> panel_expected = {1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 0, 0, 0, 0, 0};
    VectorPtr pv(vrw_load_unbalanced_panel_float_vector(context.get(), values, 8, sizes, 3,
                                                        &status));
    EXPECT_EQ(read_all<double>(pv->data, 16), panel_expected);
    int32_t panel_ints[] = {1, 2, 3, 4, 5, 6, 7, 8};
    VectorPtr pi(vrw_load_unbalanced_panel_integer_vector(context.get(), panel_ints, 8, sizes, 3,
                                                          &status));
    EXPECT_EQ(read_all<int32_t>(pi->data, 12),
              (std::vector<int32_t>{1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 0}));
    VectorPtr po(vrw_load_unbalanced_panel_ones_vector(context.get(), 8, sizes, 3, &status));
    std::vector<double> ones_expected = panel_expected;
    for (double &x : ones_expected)
        x = x != 0 ? 1 : 0;
    EXPECT_EQ(read_all<double>(po->data, 16), ones_expected);
    EXPECT_EQ(status, 0);
    vrw_unload_vector(nullptr);
}

// OpenCL refuses buffers of no bytes; an empty vector is a record without a
// buffer, and empty transfers do nothing.
TEST_F(LoadersTest, EmptyDataMakesNoBuffer)
{
    int32_t status = 0;
    VectorPtr v(vrw_load_float_vector(context.get(), nullptr, 0, &status));
    ASSERT_TRUE(v);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(v->data, nullptr);
    EXPECT_EQ(v->blocks, 0);
    MatrixPtr m(vrw_load_matrix(context.get(), nullptr, 0, 3, &status));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data, nullptr);
    EXPECT_EQ(vrw_read_fp_buffer(context.get(), nullptr, 0, nullptr), 0);
    EXPECT_EQ(vrw_write_fp_buffer(context.get(), nullptr, 0, nullptr), 0);
    std::vector<double> none;
    EXPECT_EQ(vrw_read_data_buffer(context.get(), m.get(), m->data, 1, none.data()), 0);
}

TEST_F(LoadersTest, TransfersWidenAndNarrowDeviceReals)
{
    int32_t status = 0;
    cl_mem buffer = clCreateBuffer(context->context, CL_MEM_READ_WRITE, 64, nullptr, &status);
    ASSERT_EQ(status, 0);
    const double third = 1.0 / 3.0;
    double values[] = {third, -2.5, 1e10};
    double back[3];
    ASSERT_EQ(vrw_write_fp_buffer(context.get(), buffer, 3, values), 0);
    ASSERT_EQ(vrw_read_fp_buffer(context.get(), buffer, 3, back), 0);
    EXPECT_EQ(std::vector<double>(back, back + 3), std::vector<double>(values, values + 3));

    VRWContext_s floats = *context;
    floats.fp_size = 4;
    ASSERT_EQ(vrw_write_fp_buffer(&floats, buffer, 3, values), 0);
    ASSERT_EQ(vrw_read_fp_buffer(&floats, buffer, 3, back), 0);
    EXPECT_EQ(back[0], (double)(float)third);
    EXPECT_EQ(back[1], -2.5);
    ASSERT_EQ(vrw_initialize_fp_buffer(&floats, buffer, 3, 0.25), 0);
    EXPECT_EQ(read_all<float>(buffer, 3), (std::vector<float>{0.25f, 0.25f, 0.25f}));
    clReleaseMemObject(buffer);
}

TEST_F(LoadersTest, ReadsQuadInterleavedBuffersWithoutPanelPadding)
{
    // Two columns of results over panels of 5, 0 and 3 rows; element (r, c)
    // sits at quad(r) x 8 + 4c + r mod 4 of the padded positions.
    std::vector<double> data(8, 0.0);
    int32_t sizes[] = {5, 0, 3};
    int32_t status = 0;
    MatrixPtr m(vrw_load_unbalanced_panel_matrix(context.get(), data.data(), 8, 1, sizes, 3, 0,
                                                 &status));
    ASSERT_TRUE(m);
    std::vector<double> interleaved(32, -1.0);
    int positions[] = {0, 1, 2, 3, 4, 8, 9, 10};
    for (int r = 0; r < 8; r++)
        for (int c = 0; c < 2; c++)
            interleaved[positions[r] / 4 * 8 + 4 * c + positions[r] % 4] = 100 * c + r;
    cl_mem buffer = clCreateBuffer(context->context, CL_MEM_READ_ONLY | CL_MEM_COPY_HOST_PTR,
                                   32 * sizeof(double), interleaved.data(), &status);
    std::vector<double> host(16, -7.0);
    ASSERT_EQ(vrw_read_vectorized_data_buffer(context.get(), m.get(), buffer, 2, host.data()), 0);
    for (int r = 0; r < 8; r++) {
        EXPECT_EQ(host[r], r);
        EXPECT_EQ(host[8 + r], 100 + r);
    }
    clReleaseMemObject(buffer);
}

// A matrix written in place into the mapping holds what the copying loader
// makes of the same columns.
TEST_F(LoadersTest, MappedMatrixFilledInPlaceEqualsTheLoadedOne)
{
    const int32_t rows = 21, columns = 3;
    std::vector<double> data = awkward_values(size_t(rows) * columns, 5);
    int32_t status = 0;
    double *host = nullptr;
    VRWMatrixBuffer_s *mapped = vrw_map_padded_matrix(context.get(), rows, columns, &host, &status);
    ASSERT_TRUE(mapped && host);
    ASSERT_EQ(mapped->blocks, 2);
    const size_t padded = 32;
    for (size_t c = 0; c < size_t(columns); c++)
        for (size_t r = 0; r < padded; r++)
            host[c * padded + r] = r < size_t(rows) ? data[c * rows + r] : 0.0;
    MatrixPtr in_place(vrw_unmap_padded_matrix(context.get(), mapped, host, &status));
    ASSERT_TRUE(in_place);
    EXPECT_EQ(status, 0);
    MatrixPtr copied(vrw_load_matrix(context.get(), data.data(), rows, columns, &status));
    ASSERT_TRUE(copied);
    EXPECT_EQ(in_place->observations, rows);
    EXPECT_EQ(in_place->columns, columns);
    const auto a = read_all<double>(in_place->data, padded * columns);
    const auto b = read_all<double>(copied->data, padded * columns);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);

    EXPECT_EQ(vrw_map_padded_matrix(context.get(), -1, columns, &host, &status), nullptr);
    EXPECT_EQ(host, nullptr);
    EXPECT_NE(status, 0);
}

TEST(MatrixPrinter, NamesTheKindOfMatrix)
{
    struct Case {
        std::vector<double> matrix;
        int64_t rows, columns;
        const char *title;
    } cases[] = {
        {{1, 2, 3, 4, 5, 6}, 2, 3, "Matrix m (2 x 3):\n"},
        {{1, 2, 3, 4}, 2, 2, "Matrix m (2 x 2, non-symmetric):\n"},
        {{2, 1, 1, 2}, 2, 2, "Matrix m (2 x 2, positive definite):\n"},
        {{1, 1, 1, 1}, 2, 2, "Matrix m (2 x 2, positive semi-definite):\n"},
        {{-2, 0, 0, -1}, 2, 2, "Matrix m (2 x 2, negative definite):\n"},
        {{-1, 0, 0, 0}, 2, 2, "Matrix m (2 x 2, negative semi-definite):\n"},
        {{1, 0, 0, -1}, 2, 2, "Matrix m (2 x 2, symmetric; 1 positive, 1 negative eigenvalues):\n"},
        {{NAN, 0, 0, 1}, 2, 2, "Matrix m (2 x 2, symmetric):\n"},
        {{5}, 1, 1, "Matrix m (1 x 1):\n"},
        {{0, 0, 0, 0}, 2, 2, ""},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStdout();
        vrw_log_matrix("m", c.matrix.data(), c.rows, c.columns);
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed.substr(0, std::strlen(c.title)), c.title);
        EXPECT_EQ(printed.find("Matrix"), *c.title ? 0u : std::string::npos);
    }
    testing::internal::CaptureStdout();
    int32_t ints[] = {1, 2, 3, 4};
    vrw_log_matrixi("i", ints, 2, 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Matrix i:\n[ 1 3 ]\n[ 2 4 ]\n");
}

} // namespace
