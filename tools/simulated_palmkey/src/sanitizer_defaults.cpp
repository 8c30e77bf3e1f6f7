// Sanitizer settings for programs that run on a umockdev testbed; compiled
// into every program that links the simulated device's library. Variables set in
// the environment take precedence.
//
// ASan: umockdev's preload comes before the ASan runtime in the library
// list, which ASan refuses unless told that the order is intended.
//
// TSan: umockdev's worker thread closes and opens descriptors inside GLib,
// whose synchronisation TSan does not see, so a descriptor number reused by
// the test reads as a race. Reports that involve those libraries are
// suppressed; races between the program's own threads still show unless
// GLib code is on one of the stacks (Qt's GLib event loop, for one). Both
// functions are weak: a program that needs other settings defines its own.

extern "C" {

__attribute__((weak, visibility("default"), used)) const char* __asan_default_options() {
    return "verify_asan_link_order=0";
}

__attribute__((weak, visibility("default"), used)) const char* __tsan_default_suppressions() {
    return "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libumockdev.so\n"
           "race:libumockdev-preload.so\n";
}

}  // extern "C"
