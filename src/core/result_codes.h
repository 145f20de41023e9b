#pragma once
// Outcome of every installer step. 0 is success; positive values are
// operating-system error numbers (100 and 101 stand for short reads and
// writes); negative values are the installer's own codes below.
#include <cstdint>

namespace ssi {

using ResultCode = int32_t;

namespace rc {
constexpr ResultCode kOk = 0;
constexpr ResultCode kShortRead = 100;
constexpr ResultCode kShortWrite = 101;

constexpr ResultCode kUnspecified =
    -1;  // empty entry name, Flash installer not started, chunk copy failed
constexpr ResultCode kNoBuffer = -7;          // zero (or negative) length: no buffer taken
constexpr ResultCode kBadChunkIndex = -12;    // chunk index outside the data file's directory
constexpr ResultCode kSizeMismatch = -13;     // expanded file's size differs from the recorded size
constexpr ResultCode kDataFileNotOpen = -15;  // chunk asked for while no data file is open
constexpr ResultCode kExpandedMissing = -16;  // expanded file not found after expansion
constexpr ResultCode kScreenSaverRefused = -25;  // the system refused to switch the screen saver on
constexpr ResultCode kEntryShort =
    -30;  // fewer bytes read from the payload or written than the entry holds
constexpr ResultCode kHeaderShort =
    -31;                               // incomplete installer: header cut, or an entry past the end
constexpr ResultCode kFileBusy = -32;  // file to be replaced is busy
constexpr ResultCode kNoCompressor = -35;  // compression library not available
constexpr ResultCode kSaverBusy = -38;     // screen saver program file is busy
constexpr ResultCode kFlashInstallerMissing = -401;
}  // namespace rc

}  // namespace ssi
