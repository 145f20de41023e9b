// Linked into the stub only: replacements for the few pieces of the static C++
// runtime that would otherwise bring most of its size. The runtime's own
// versions build std::logic_error and friends on reference-counted strings
// (a second std::string implementation), and its terminate handler prints
// the exception's demangled type name with printf. Together they were more
// than a third of install.exe. Tests link the runtime's versions.
#include <cstdlib>
#include <exception>
#include <new>
#include <string>  // the runtime's declarations of the functions below

namespace ssi {
namespace {

// A fault in our own code that a library check caught (an index out of range,
// a string made from a null pointer). The window and the install sequence
// catch it as any std::exception and show the "unexpected failure" box.
class InternalFault final : public std::exception {
 public:
  const char* what() const noexcept override { return "internal fault"; }
};

}  // namespace
}  // namespace ssi

namespace std {

// A string or vector asked to grow beyond what memory can hold: the same case
// as an allocation that fails, and reported as such.
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_logic_error(const char*) { throw ssi::InternalFault(); }
void __throw_out_of_range_fmt(const char*, ...) { throw ssi::InternalFault(); }

}  // namespace std

namespace __gnu_cxx {

// Only reached when an exception leaves a noexcept function or the program
// entry, which the installer's guards are there to prevent.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
