#pragma once
// Every text the installer shows, in one place, byte for byte. A line break is
// CR LF. `systemText` is the operating system's own description of an error
// number (empty when it has none); the Win32 side looks it up and passes it in.
#include <cstdint>
#include <string>

#include "result_codes.h"

namespace ssi::msg {

constexpr const char* kCrLf = "\r\n";

// Window and box captions.
constexpr const char* kApplicationTitle = "Install";
constexpr const char* kDesignCaption = "Vellora Installer";
constexpr const char* kInstallCaption = "&Install";
constexpr const char* kInstallCaptionPlain = "Install";
constexpr const char* kAcceptAndInstallCaption = "Accept and Install";
constexpr const char* kDeclineCaption = "&Decline";
constexpr const char* kErrorTitle = "Error";
constexpr const char* kInformationTitle = "Information";
constexpr const char* kAbortButton = "&Abort";

// Status line.
constexpr const char* kPreparing = "Preparing for installation...";
constexpr const char* kWritingFiles = "Writing screen saver files...";
constexpr const char* kExpandingFiles = "Expanding files...";
constexpr const char* kWritingSettings = "Writing Settings File...";
constexpr const char* kOpeningDisplayProperties = "Opening Display Properties control panel...";
constexpr const char* kInstallComplete = "Screen Saver Installation and Setup Complete.";
constexpr const char* kFailedSaverBusy =
    "Installation Failed. Close Screen Saver control panel and try again.";
constexpr const char* kFailedRefused =
    "Installation Failed. Please try again with new copy of the installer.";
constexpr const char* kFailed = "Installation Failed.";

// A failure that escaped a step and reached the window.
constexpr const char* kOutOfMemory = "Installation Error: Not enough memory to go on.";
constexpr const char* kUnexpectedFailure =
    "Installation Error: An unexpected failure stopped the installer.";

// "Install " + name: the application title once the payload is read.
std::string ApplicationTitleFor(const std::string& saverName);

// The final status line for a failed run.
std::string FailedStatus(ResultCode code);

// The text of ShowInstallError, chosen by code.
std::string InstallErrorText(ResultCode code, const std::string& fileName,
                             const std::string& systemText);

// text, two line breaks, and the system's text.
std::string WithSystemText(const std::string& text, const std::string& systemText);

// "VL Error: " + value + two line breaks + system text.
std::string LastErrorText(uint32_t value, const std::string& systemText);

// The system names no Windows directory: there is nowhere safe to work.
constexpr const char* kNoWindowsDirectory =
    "Setup Error: The Windows directory cannot be found. The screen saver cannot be installed.";

// Copying the installer to its temporary file failed.
std::string CopySelfFailedText(const std::string& installerPath, const std::string& tempCopyPath);
// What follows the system's text when the work folder under the installer's
// name belongs to someone else and could not be moved aside: the folder, so
// that an administrator can act.
std::string ForeignWorkFolderText(const std::string& folder);

// Data file reader.
constexpr const char* kDataFileInUse = "Screen Saver data file already in use.";
std::string DataFileOpenErrorText(ResultCode code);                 // number in decimal
std::string ChunkReadErrorText(const std::string& systemText);      // one line break
std::string DataFileCloseErrorText(const std::string& systemText);  // one line break

// Expander.
constexpr const char* kExpandErrorPrefix = "Zip Error: Problem expanding file in memory.";
constexpr const char* kCompressionLibraryWarning =
    "System experiencing problem using compression library. Application will attempt to "
    "continue with compression disabled.";

// Our own refusals of hostile input.
std::string BadEntryNameText(int index, const std::string& name);
std::string BadEntryKindText(int index, const std::string& name, int32_t kind);
std::string BadSaverNameText(const std::string& name);
std::string BadChunkNameText(const std::string& name);
std::string BadChunkCountText(int32_t count);

}  // namespace ssi::msg
