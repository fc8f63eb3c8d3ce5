// Linked into every test program of an address-sanitizer build. Building
// kernels on a cold cache leaks inside the OpenCL driver and the LLVM it
// compiles with; those leaks are not ours to mend.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libpocl.so\n"
           "leak:libLLVM\n";
}
