#include "messages.h"

namespace ssi::msg {

std::string ApplicationTitleFor(const std::string& saverName) {
  return std::string(kApplicationTitle) + " " + saverName;
}

std::string FailedStatus(ResultCode code) {
  if (code == rc::kSaverBusy) return kFailedSaverBusy;
  if (code == rc::kScreenSaverRefused) return kFailedRefused;
  return kFailed;
}

std::string InstallErrorText(ResultCode code, const std::string& fileName,
                             const std::string& systemText) {
  const std::string twoBreaks = std::string(kCrLf) + kCrLf;
  switch (code) {
    case rc::kSaverBusy:
      return "Setup Error: Screen Saver file is busy." + twoBreaks +
             "Please close the screen saver control panel and try again.";
    case rc::kFileBusy:
      return "Installation Error: " + twoBreaks + "File " + fileName +
             " is busy and cannot be replaced. Please close any other application that may be "
             "using this file and try again.";
    case rc::kUnspecified:
      return "Installation Error: Unspecified error.";
    default:
      return "Installation Error: Problem using " + fileName + ". " + twoBreaks + systemText;
  }
}

std::string WithSystemText(const std::string& text, const std::string& systemText) {
  return text + kCrLf + kCrLf + systemText;
}

std::string LastErrorText(uint32_t value, const std::string& systemText) {
  return WithSystemText("VL Error: " + std::to_string(value), systemText);
}

std::string CopySelfFailedText(const std::string& installerPath, const std::string& tempCopyPath) {
  return "Build Error: Problem copying " + installerPath + " to " + tempCopyPath + ". ";
}

std::string ForeignWorkFolderText(const std::string& folder) {
  return "The folder " + folder +
         " is not the installer's own and could not be moved aside; another program may hold it "
         "open. An administrator can remove it.";
}

std::string DataFileOpenErrorText(ResultCode code) {
  return std::string("Screen Saver Error: Problem opening screen saver data file:") + kCrLf +
         std::to_string(code);
}

std::string ChunkReadErrorText(const std::string& systemText) {
  return std::string("Screen Saver Error: Problem reading a chunk of the screen saver data file:") +
         kCrLf + systemText;
}

std::string DataFileCloseErrorText(const std::string& systemText) {
  return std::string("Vellora I/0 Error: Problem closing file:") + kCrLf + systemText;
}

std::string BadEntryNameText(int index, const std::string& name) {
  return "Installation Error: The installer is damaged." + std::string(kCrLf) + kCrLf +
         "Payload entry " + std::to_string(index) + " has the name \"" + name +
         "\", which is not a plain file name.";
}

std::string BadEntryKindText(int index, const std::string& name, int32_t kind) {
  return "Installation Error: The installer is damaged." + std::string(kCrLf) + kCrLf +
         "Payload entry " + std::to_string(index) + " (\"" + name + "\") has the unknown kind " +
         std::to_string(kind) + ".";
}

std::string BadSaverNameText(const std::string& name) {
  return "Installation Error: The installer is damaged." + std::string(kCrLf) + kCrLf +
         "The screen saver name \"" + name + "\" is not a valid folder name.";
}

std::string BadChunkNameText(const std::string& name) {
  return "Screen Saver Error: The screen saver data file is damaged." + std::string(kCrLf) + kCrLf +
         "The chunk name \"" + name + "\" would leave the screen saver's folder.";
}

std::string BadChunkCountText(int32_t count) {
  return "Screen Saver Error: The screen saver data file is damaged." + std::string(kCrLf) + kCrLf +
         "It declares " + std::to_string(count) + " chunks; at most 108 are allowed.";
}

}  // namespace ssi::msg
