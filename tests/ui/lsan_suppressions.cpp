// Leak reports to ignore in the ui tests under LeakSanitizer: the font configuration
// library keeps its configuration for the life of the process (Qt never releases it),
// which is not a leak of ours.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
