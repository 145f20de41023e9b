#pragma once
// Authenticode signatures. Signing tools (signtool, osslsigncode) append the
// PE certificate table to the end of the file, behind our payload, after up
// to 7 zero bytes that align it to 8, and point the stub's PE header at it.
// The stub never looks past its payload, so a signed installer installs as
// before; the examiner cuts the table (and the alignment) off before it reads
// the installer.
#include <cstdint>
#include <string>

#include "build_project.h"
#include "byte_file.h"
#include "status.h"

namespace ssbuild {

struct AppendedSignature {
  bool present = false;
  uint64_t offset = 0;  // where the certificate table begins
  uint64_t size = 0;
};

// The certificate table named by the PE header at the start of `image`, when
// it ends exactly at the end of the file.
AppendedSignature FindAppendedSignature(const Bytes& image);

// Cuts an appended certificate table off `image`, and the zero bytes before
// it up to `payloadEnd` when they are fewer than 8. Returns what was found.
AppendedSignature StripAppendedSignature(Bytes& image);

// Empty when `command` can be run as the signing step, else why not.
std::string SignCommandProblem(const std::string& command);

// Where the unsigned installer goes while the signing command runs: OUT
// itself when the command signs in place (no {in}), else beside OUT.
std::string UnsignedPath(const BuildProject& project);

// Runs `command` with {in} and {out} replaced by the quoted paths, removes
// the unsigned file, and checks that `out` carries a signature and that the
// installer inside passes `verify`.
Status SignAndCheck(const std::string& command, const std::string& in, const std::string& out,
                    bool allowIncomplete);

}  // namespace ssbuild
