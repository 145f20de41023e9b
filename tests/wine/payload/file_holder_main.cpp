// Holds a file open without any sharing, from a process of its own, until
// told to let go:  file_holder PATH READY_EVENT RELEASE_EVENT
// Exit code 2 when the file cannot be opened.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 4) return 1;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  if (!ready || !release) return 1;
  if (file == INVALID_HANDLE_VALUE) {
    SetEvent(ready);
    return 2;
  }
  SetEvent(ready);
  WaitForSingleObject(release, 120000);
  CloseHandle(file);
  return 0;
}
