#pragma once
// Whether the builder can pack side by side: mingw's win32 thread model has
// no std::thread, so there entries and chunks are packed one after the other.
#if defined(_GLIBCXX_HAS_GTHREADS) || !defined(__GLIBCXX__)
#include <thread>
#define SSBUILD_THREADS 1
#endif
