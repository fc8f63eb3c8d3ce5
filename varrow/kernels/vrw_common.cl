// Helpers every kernel program may use. The loader builds each source
// program with this text in front of it, so a helper here is written once
// and computes the same in every program; a program that needs none of them
// simply leaves them unused.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// How a kernel reads a value: as it is, its logarithm, or (per-row scores
// that carry the analytic weight a) score / a.
#define VALUE_PLAIN 0
#define VALUE_LOG 1
#define VALUE_PER_ANALYTIC 2

// s + x of type T, keeping the rounding error of the addition in c (Knuth's
// TwoSum).
#define TWO_SUM(T, s, c, x)                    \
    do {                                       \
        T t_ = (s) + (x);                      \
        T b_ = t_ - (s);                       \
        (c) += ((s) - (t_ - b_)) + ((x) - b_); \
        (s) = t_;                              \
    } while (0)

// The sum of n lanes and their carried errors. An infinite or NaN lane makes
// the errors NaN, so the plain sum answers then.
inline double lanes_total(const double *lanes, const double *errors, int n)
{
    double plain = 0.0, total = 0.0, error = 0.0;
    for (int i = 0; i < n; i++) {
        plain += lanes[i];
        TWO_SUM(double, total, error, lanes[i]);
        error += errors[i];
    }
    return isfinite(plain) ? total + error : plain;
}

inline double lanes_total16(double16 s, double16 c)
{
    double lanes[16], errors[16];
    vstore16(s, 0, lanes);
    vstore16(c, 0, errors);
    return lanes_total(lanes, errors, 16);
}

inline double lanes_total8(double8 s, double8 c)
{
    double lanes[8], errors[8];
    vstore8(s, 0, lanes);
    vstore8(c, 0, errors);
    return lanes_total(lanes, errors, 8);
}

inline double lanes_total4(double4 s, double4 c)
{
    double lanes[4], errors[4];
    vstore4(s, 0, lanes);
    vstore4(c, 0, errors);
    return lanes_total(lanes, errors, 4);
}

// x where the frequency weight f is positive, else 0: rows of weight 0
// (padding, rows left out) may hold NaN, which must not reach a product.
inline double16 kept16(double16 f, double16 x)
{
    return select((double16)0.0, x, isgreater(f, (double16)0.0));
}

inline double8 kept8(double8 f, double8 x)
{
    return select((double8)0.0, x, isgreater(f, (double8)0.0));
}

inline double4 kept4(double4 f, double4 x)
{
    return select((double4)0.0, x, isgreater(f, (double4)0.0));
}

// Column `column` of a matrix of blocks x 16 rows a column.
inline global const double *column_of(global const double *data, int column, int blocks)
{
    return data + (size_t)column * (size_t)blocks * 16;
}

// The sum of f x a over the rows of cluster g, panels being quads of 4 rows
// at panel_quad_starts[clusters[g]].
inline double cluster_sum(global const double *frequency, global const double *a,
                          global const int *clusters, global const int *panel_quad_counts,
                          global const int *panel_quad_starts, int g)
{
    int panel = clusters[g];
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 term = kept4(f, f * vload4(q, a));
        TWO_SUM(double4, s, c, term);
    }
    return lanes_total4(s, c);
}

// The block of the calling item, or -1 when it is not a block's first row:
// row kernels run one item a padded row, and the item of every 16th row
// computes its block of 16 in vector lanes.
inline int block_of_item(void)
{
    size_t i = get_global_id(0);
    return i % 16 == 0 ? (int)(i / 16) : -1;
}

// The group number of the calling item when it is its group's first item,
// else -1; and the number of groups. On the CPU device the items of a group
// run one after the other, so the first item of each group computes whole
// tiles, reading each row once a tile, and the groups share the tiles round
// robin.
inline int tile_worker(void)
{
    if (get_local_id(0) != 0 || get_local_id(1) != 0)
        return -1;
    return (int)(get_group_id(1) * get_num_groups(0) + get_group_id(0));
}

inline int tile_workers(void)
{
    return (int)(get_num_groups(0) * get_num_groups(1));
}

// The row and column tiles of upper-triangle tile t of a matrix of tiles x
// tiles tiles, counted row after row.
inline int2 upper_tile(int t, int tiles)
{
    int row = 0;
    while (t >= tiles - row) {
        t -= tiles - row;
        row++;
    }
    return (int2)(row, row + t);
}

// log(1 + exp(x)) without overflow.
inline double16 softplus16(double16 x)
{
    return fmax(x, 0.0) + log1p(exp(-fabs(x)));
}

// The logistic function of t, 1 / (1 + exp(-t)).
inline double16 logistic16(double16 t)
{
    double16 e = exp(-fabs(t));
    return select(e, (double16)1.0, isgreaterequal(t, (double16)0.0)) / (1.0 + e);
}

// Phi(-|t|), the smaller of the two normal tails at t.
inline double16 small_tail16(double16 t)
{
    return 0.5 * erfc(fabs(t) * M_SQRT1_2);
}

// Beyond this the smaller tail underflows; there the tail ratio comes from
// the continued fraction Phi(-x) / phi(x) = 1 / (x + 1 / (x + 2 / (x + ...))),
// which at such x is exact to the last bit after a few terms.
#define TAIL_LIMIT 37.0

inline double16 tail_fraction16(double16 x)
{
    double16 f = x;
    for (int n = 24; n >= 1; n--)
        f = x + n / f;
    return f;
}

// log Phi(t).
inline double16 log_lower16(double16 t)
{
    double16 tail = small_tail16(t);
    double16 v = select(log1p(-tail), log(tail), isless(t, (double16)0.0));
    if (any(isless(t, (double16)-TAIL_LIMIT)))
        v = select(v, -0.5 * t * t - 0.5 * log(2.0 * M_PI) - log(tail_fraction16(-t)),
                   isless(t, (double16)-TAIL_LIMIT));
    return v;
}

// The end (exclusive) of the run of equal times that starts at rank i.
inline int run_end(global const double *times, int i, int end)
{
    int j = i + 1;
    while (j < end && times[j] == times[i])
        j++;
    return j;
}

// The start of the run of equal times that ends (exclusive) at rank j.
inline int run_start(global const double *times, int j, int start)
{
    int i = j - 1;
    while (i > start && times[i - 1] == times[j - 1])
        i--;
    return i;
}

// The largest linear predictor of ranks start .. end - 1.
inline double largest(global const double *eta, int start, int end)
{
    double c = -INFINITY;
    for (int i = start; i < end; i++)
        c = fmax(c, eta[i]);
    return c;
}
