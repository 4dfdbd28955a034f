// Module entry of Kestrine. The plug-in keeps nothing between calls, so
// loading and unloading need no work.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
