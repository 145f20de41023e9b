#include <windows.h>
// placeholder: to be written (program entry)
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
