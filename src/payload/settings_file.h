#pragma once
// The install's use of the screen saver data file: its settings record, its
// chunks written out as files, and saver.dat.
#include "installer.h"
#include "result_codes.h"

namespace ssi {

ResultCode ReadSettingsRecord(Installer& in);
ResultCode ExpandDataFile(Installer& in);
// The failure of any write is returned (and reported) rather than lost.
ResultCode WriteSettingsFile(Installer& in);

}  // namespace ssi
