#pragma once
// What the installer sets up for the whole process before its window, and
// undoes at the end.
#include <windows.h>

namespace ssi {

// The COM security of the whole process: identify-level impersonation, no
// custom marshalling, and (where the system knows the flag) no activation of
// other servers as this process. Only before the first COM object.
HRESULT SecureComCalls();

// Holds the installer's own file, narrows the DLL search, starts OLE and
// then secures COM; true when OLE started (EndProcess takes that back).
bool StartProcess();
void EndProcess(bool oleStarted);

}  // namespace ssi
