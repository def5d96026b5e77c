// fontconfig keeps its default configuration for the life of the process
// and never frees it; that one block is not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
