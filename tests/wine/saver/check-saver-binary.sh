#!/bin/bash
# The screen saver must start on Windows XP SP3: none of its imports may be a
# call that only later systems have. The list names the calls that compilers'
# runtimes and our own code are known to reach for; anything newer must be
# looked up at run time instead. Like the installer, it is terminal-server
# aware (else a Remote Desktop host gives it a private, user-writable Windows
# directory) and looks up SetDefaultDllDirectories to narrow its DLL search.
# Its uninstall runs with administrator rights and names no command
# interpreter: one would expand the user's %VARIABLES% into its commands.
#   check-saver-binary.sh PROGRAM
set -euo pipefail
program=${1:?usage: check-saver-binary.sh PROGRAM}
objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump)
imports=$("$objdump" -p "$program" | awk -F'[ \t]+' '/DLL Name:/ {dll=$4; next} dll && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ {print dll ":" $NF}')
[ -n "$imports" ] || { echo "no imports read from $program"; exit 1; }
newer='GetTickCount64|InitializeCriticalSectionEx|InitOnce[A-Za-z]*|[A-Za-z]*SRWLock[A-Za-z]*|[A-Za-z]*ConditionVariable[A-Za-z]*|Fls(Alloc|Free|GetValue|SetValue)|CreateSymbolicLink[AW]|GetFinalPathNameByHandle[AW]|GetFileInformationByHandleEx|SetFileInformationByHandle|SetDefaultDllDirectories|AddDllDirectory|CompareStringEx|LCMapStringEx|GetLocaleInfoEx|LocaleNameToLCID|LCIDToLocaleName|GetUserDefaultLocaleName|CreateEventEx[AW]|CreateMutexEx[AW]|CreateSemaphoreEx[AW]|WaitForSingleObjectEx2|GetErrorMode|QueryFullProcessImageName[AW]|RegDeleteTree[AW]|RegGetValue[AW]|RegDeleteKeyEx[AW]|SHGetKnownFolderPath|TaskDialog[A-Za-z]*|IsThemeActive|DwmIsCompositionEnabled|GetThreadId|GetProcessId|WerRegister[A-Za-z]*|CancelIoEx|GetQueuedCompletionStatusEx|Wow64[A-Za-z]*|GetSystemTimePreciseAsFileTime|ChangeWindowMessageFilter[A-Za-z]*|SetProcessDPIAware|GetDpiForWindow'
found=$(grep -E ":($newer)\$" <<<"$imports" || true)
if [ -n "$found" ]; then
  echo "$program imports calls that Windows XP SP3 lacks:"
  echo "$found"
  exit 1
fi
flags=$("$objdump" -p "$program" | sed -nE 's/^DllCharacteristics[[:space:]]+([0-9a-fA-F]+).*/\1/p')
if [ -z "$flags" ] || (( (16#$flags & 0x8000) == 0 )); then
  echo "$program is not terminal-server aware (DllCharacteristics ${flags:-missing})"
  exit 1
fi
if ! grep -qa SetDefaultDllDirectories "$program"; then
  echo "$program never looks up SetDefaultDllDirectories"
  exit 1
fi
if grep -qaiE 'cmd\.exe|command\.com' "$program"; then
  echo "$program names a command interpreter"
  exit 1
fi
echo "$(wc -l <<<"$imports") imports, none newer than Windows XP SP3; terminal-server aware; DLL search narrowed; no command interpreter"
