#pragma once
// Reading the payload header and writing payload entries to their folders.
// Every reader opens the temporary copy of the installer, never the running
// file.
#include <string>

#include "file_stream.h"
#include "installer.h"
#include "result_codes.h"

namespace ssi {

ResultCode ReadPayloadHeader(Installer& in);
ResultCode ExtractPayloadEntry(Installer& in, FileStream& stream, int index, bool showProgress,
                               bool addToManifest);
ResultCode ExtractPreview(Installer& in);
ResultCode ExtractReadMe(Installer& in);
ResultCode ExtractLicense(Installer& in);
ResultCode ExtractFlashInstaller(Installer& in);
ResultCode ExtractInstallFiles(Installer& in, const std::string& path);

}  // namespace ssi
