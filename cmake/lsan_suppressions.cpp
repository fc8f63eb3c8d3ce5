// Linked into every test program of an address-sanitizer build. Building
// kernels on a cold cache leaks inside the OpenCL driver and the LLVM it
// compiles with, and fontconfig keeps its configuration to the end of a
// widget test; librdata leaks a buffer when a callback stops its parse
// (an R column of the wrong length), and glibc the locale path it parses
// when a test loads a locale from LOCPATH; those leaks are not ours to mend.
// libgsf's leaks (the directory entries of a damaged .xls) are suppressed
// only in the programs that read .xls files (lsan_libgsf.supp).
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libpocl.so\n"
           "leak:libLLVM\n"
           "leak:libfontconfig.so\n"
           "leak:librdata.so\n"
           "leak:__argz_add_sep\n";
}
