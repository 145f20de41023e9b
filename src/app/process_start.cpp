#include "process_start.h"

#include <objbase.h>

#include "dll_search.h"
#include "work_paths.h"

namespace ssi {

HRESULT SecureComCalls() {
  // The elevated installer talks to other processes' objects (the desktop's
  // shell windows object, or whatever registered in its place): none of them
  // may bring marshalling code of its own into this process, make us activate
  // servers with our token, or act as us where it only needs to know who
  // calls.
  constexpr DWORD kWithoutActivation = EOAC_NO_CUSTOM_MARSHAL | EOAC_DISABLE_AAA;
  HRESULT result =
      CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                           RPC_C_IMP_LEVEL_IDENTIFY, nullptr, kWithoutActivation, nullptr);
  // Older systems refuse the flag they do not know.
  if (result == E_INVALIDARG)
    result =
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                             RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NO_CUSTOM_MARSHAL, nullptr);
  return result;
}

bool StartProcess() {
  // Before anything else: from here on the installer's file cannot be renamed
  // or replaced, and the temporary copy is made from this very file.
  HoldOwnImage();
  RestrictDllSearch();
  // A single-threaded apartment with OLE on top: an ActiveX control hosted in
  // place (the Flash preview) may use OLE's clipboard, drag and drop and menus.
  const bool started = SUCCEEDED(OleInitialize(nullptr));
  if (started) SecureComCalls();
  return started;
}

void EndProcess(bool oleStarted) {
  if (oleStarted) OleUninitialize();
}

}  // namespace ssi
