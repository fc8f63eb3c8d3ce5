// Kernels of the Cox proportional-hazards fit: ranks, prefixes and hazards.
// No kernel yet: the family builds and loads empty until its fit comes.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable
