#pragma once
// What a file's first bytes say it is, for the builder's warnings: a bitmap
// the installer can show, a 32-bit Windows program, a Flash movie.
#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_file.h"

namespace ssbuild {

// How many leading bytes the checks below need at most.
constexpr size_t kSniffSize = 4096;

// Empty when `head` (the first bytes of a file of `fileSize` bytes) starts a
// bitmap that Windows loads from a file: "BM", a known info header, one
// plane, 1/4/8/16/24/32 bits, no JPEG or PNG inside, a size that fits the
// file. Otherwise the reason.
std::string BitmapProblem(const Bytes& head, uint64_t fileSize);

// Empty when `head` starts a 32-bit (i386) Windows program, not a library.
std::string Win32ProgramProblem(const Bytes& head);

// Empty when `head` starts a Flash movie ("FWS", "CWS" or "ZWS").
std::string FlashMovieProblem(const Bytes& head);

}  // namespace ssbuild
