#pragma once
// The installer's process-wide state: the work locations, the payload header,
// the manifest, the window's flags and the data-file reader. The window owns
// one Installer; the install steps take it by reference, so tests can run any
// step against an Installer of their own with a capturing InstallerUi.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "data_file_format.h"
#include "installer_ui.h"
#include "manifest.h"
#include "payload_format.h"
#include "win_handles.h"

namespace ssi {

struct WorkPaths {
  std::string windowsDir;      // ends in "\"
  std::string installerPath;   // the running installer file
  std::string windowsTempDir;  // windowsDir + "TEMP\"
  std::string tempCopyDir;     // windowsTempDir + "VLF temp", no trailing "\"
  std::string tempCopyPath;    // tempCopyDir + "\temp<n>.dat"
  std::string saverName;       // from the payload header, up to its first NUL
  std::string saverDir;        // windowsDir + saverName + " dir\"
  std::string saverIniPath;    // saverDir + "saver.ini"
  std::string dataFilePath;    // saverDir + name of payload entry 8
};

// The Flash control that plays a movie preview; defined by the Flash support.
struct FlashControl;
struct FlashControlDeleter {
  void operator()(FlashControl* control) const;
};
using MoviePlayerRef = std::unique_ptr<FlashControl, FlashControlDeleter>;

// The data-file reader; defined by the payload layer, which makes it on first
// use (DataFileOf).
class DataFileReader;
struct DataFileReaderDeleter {
  void operator()(DataFileReader* reader) const;
};
using DataFileReaderRef = std::unique_ptr<DataFileReader, DataFileReaderDeleter>;

struct Installer {
  explicit Installer(InstallerUi& ui_) : ui(ui_) {}

  InstallerUi& ui;
  WorkPaths paths;
  // The installer file the temporary copy is made from, and the copy itself
  // from its making to its deletion; both shared for reading only, so that
  // nobody can change, replace or rename them meanwhile (work_paths).
  FileHandle installerImage;
  FileHandle tempCopyGuard;
  // The folder of the copy when this run made it (MakeFolderPrivate).
  FileHandle tempFolderGuard;
  PayloadHeader header;  // all zero until ReadPayloadHeader succeeds
  bool headerRead = false;

  // Window state (set at set-up).
  uint8_t displayMode = 0;
  bool licenceShown = false;
  bool readMeReady = false;
  bool busy = false;

  // The manifest: saver.ini's section "Files", keyed by fileCounter.
  std::optional<SaverIni> saverIni;
  int32_t fileCounter = 0;
  // What this run made where nothing stood before, each path ended by a
  // line break (no file name holds one): closing without an install takes
  // these away again, and nothing that was there. One string rather than a
  // vector of them keeps the stub within its size.
  std::string newFiles;
  bool newSaverDir = false;

  // The install's own copy of the data file's settings record.
  SettingsRecord settings;
  // The data-file reader keeps the data file open between its calls, and
  // after a failed expansion to the end of the run.
  DataFileReaderRef dataFile;

  MoviePlayerRef moviePlayer;

  bool Silent() const { return displayMode == 4; }
};

}  // namespace ssi
