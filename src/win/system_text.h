#pragma once
#include <string>

#include "result_codes.h"

namespace ssi {
// The system's own description of an error number in the user's language,
// without the trailing line break; empty when the system has none (as for
// the installer's negative codes).
std::string SystemErrorText(ResultCode code);
}  // namespace ssi
