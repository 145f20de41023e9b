// Built with -fno-exceptions, the control and flashax.exe still link the
// runtime's containers, which report errors by throwing.
#include <cstdlib>

// Nothing may leave the control (or flashax.exe) by an exception: no host's
// frames could take it. The runtime's throwing helpers, which the standard
// containers call on impossible sizes and on exhausted memory, end the
// process here instead, and so the runtime's exception machinery, its name
// demangler and its formatted printing stay out of the DLL (more than a
// third of it: 372 KiB became about 230 KiB).
namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx
namespace std {
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_function_call() { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
}  // namespace std
