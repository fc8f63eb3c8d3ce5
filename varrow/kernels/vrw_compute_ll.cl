// Sums of per-row log-likelihood terms.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// One work item. sum[0] = the sum over the rows of positive frequency weight
// of weight x row value, each addition's rounding error carried, so a
// million terms add up to the last bit. Rows of weight 0 take no part, even
// when their term is not a number (log 0 of a padding row).
kernel void vrw_compute_sum(global const double *values, global const double *frequency,
                            int column, int blocks, global double *sum)
{
    global const double *v = values + (size_t)column * (size_t)blocks * 16;
    double16 s = 0.0, c = 0.0;
    for (int b = 0; b < blocks; b++) {
        double16 f = vload16(b, frequency);
        double16 term = select((double16)0.0, f * vload16(b, v), isgreater(f, (double16)0.0));
        TWO_SUM(double16, s, c, term);
    }
    double lanes[16], errors[16];
    vstore16(s, 0, lanes);
    vstore16(c, 0, errors);
    double plain = 0.0, total = 0.0, error = 0.0;
    for (int i = 0; i < 16; i++) {
        plain += lanes[i];
        TWO_SUM(double, total, error, lanes[i]);
        error += errors[i];
    }
    sum[0] = isfinite(plain) ? total + error : plain;
}
