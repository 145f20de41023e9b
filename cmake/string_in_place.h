// Included before every C++ file built for Windows (see CMakeLists.txt).
// The C++ runtime declares std::string's members as instantiated in its own
// library, so a static program links all of them (32 KB in the stub, more
// than its own code). The value -1 is the library's switch for "no extern
// templates for basic_string only": our objects then instantiate the members
// they use, and the linker drops the rest.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
