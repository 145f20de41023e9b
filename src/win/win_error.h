#pragma once
// The one rule by which a failed system call becomes a step's ResultCode: the
// system's error number, or -1 when the call failed without setting one.
#include <windows.h>

#include "result_codes.h"

namespace ssi {

inline ResultCode ResultFromError(DWORD error) {
  return error == 0 ? rc::kUnspecified : static_cast<ResultCode>(error);
}

inline ResultCode LastErrorResult() { return ResultFromError(GetLastError()); }

}  // namespace ssi
