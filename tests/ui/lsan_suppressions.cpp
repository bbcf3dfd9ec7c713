// LeakSanitizer settings of the ui tests.
//
// Reports to ignore: the font configuration library keeps its configuration for the life
// of the process (Qt never releases it), and GLib keeps a per-thread block for Qt's event
// dispatcher until the process ends; neither is a leak of ours.
//
// Thread-local storage is not scanned for pointers (use_tls=0). GCC 12's LeakSanitizer,
// with Debian 12's C library, crashes in its exit-time scan ("Tracer caught signal 11",
// a dynamic TLS block with a bogus range) once Qt has probed its image plugins by content,
// which a dialog's mask picture makes it do. Not scanning TLS makes the check stricter,
// not weaker: a block reachable only from TLS is reported, hence the GLib entry above.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libglib-2.0.so\n"; }
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }
