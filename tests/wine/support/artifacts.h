#pragma once
// Where a Wine test finds what the build made, and throw-away folders.
#include <string>

namespace ssi::test {

// A Unix path as Wine sees it: Z: and backslashes.
std::string UnixToWinePath(const std::string& unixPath);
// The Wine path of an artifact named by an environment variable (SSI_STUB,
// SSI_IMPBORL, ...); the test fails when it is not set.
std::string ArtifactPath(const char* envName);
// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// The Windows directory with a trailing backslash.
std::string WindowsDir();
// A new empty folder under the system's temp folder, with a trailing backslash.
std::string MakeTempFolder(const std::string& stem);

}  // namespace ssi::test
