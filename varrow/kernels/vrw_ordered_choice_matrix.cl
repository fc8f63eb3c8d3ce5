// Derivatives of the ordered-choice log likelihoods.
// No kernel yet: the family builds and loads empty until its fit comes.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable
