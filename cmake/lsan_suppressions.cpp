// Linked into every test program of an address-sanitizer build. Building
// kernels on a cold cache leaks inside the OpenCL driver and the LLVM it
// compiles with, and fontconfig keeps its configuration to the end of a
// widget test; libgsf leaks the directory entries of a damaged compound
// file (an .xls); those leaks are not ours to mend.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libpocl.so\n"
           "leak:libLLVM\n"
           "leak:libfontconfig.so\n"
           "leak:libgsf-1.so\n";
}
